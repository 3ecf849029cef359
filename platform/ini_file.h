#pragma once
// INI files as the system's private-profile calls see them: "[section]" lines followed by
// "key=value" lines. Section and key names match without regard to ASCII case; a value read back
// has its surrounding blanks trimmed and one pair of matching quotes or apostrophes around it
// removed. Windows does all of this in the system; the other targets keep the same text with
// platform/common/ini_text, so that a file written on either loads on the other. Paths are the
// system's own (files.h).

#include <memory>
#include <string>
#include <vector>

namespace velmo::platform {

// One INI file, open for a run of reads and writes. On Windows every call is the system's own
// (which keeps the file cached); elsewhere the file is read when opened and written back by Flush,
// so a run of calls costs one read and one write of the file, not one of each per call.
class IniFile {
public:
    virtual ~IniFile() = default;
    // The section names in file order (each once, in its first spelling); empty when the file is
    // missing or unreadable.
    virtual std::vector<std::string> SectionNames() = 0;
    // The value of `key` in `section`, or `fallback` when either is missing.
    virtual std::string ReadString(const std::string& section, const std::string& key, const std::string& fallback) = 0;
    // Sets the value, adding the section (at the end) and the key (at the end of its section) when
    // missing.
    [[nodiscard]] virtual bool WriteString(const std::string& section, const std::string& key,
                                           const std::string& value) = 0;
    // Removes the section with all its keys.
    [[nodiscard]] virtual bool DeleteSection(const std::string& section) = 0;
    // Makes every write reach the file (creating it when needed); false when that failed.
    [[nodiscard]] virtual bool Flush() = 0;
};

std::unique_ptr<IniFile> OpenIniFile(const std::string& path);

}  // namespace velmo::platform
