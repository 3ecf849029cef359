#pragma once
// INI files as the system's private-profile calls see them: "[section]" lines followed by
// "key=value" lines. Section and key names match without regard to ASCII case; a value read back
// has its surrounding blanks trimmed and one pair of matching quotes or apostrophes around it
// removed. Windows does all of this in the system; the other targets keep the same text with
// platform/common/ini_text, so that a file written on either loads on the other. Paths are the
// system's own (files.h).

#include <string>
#include <vector>

namespace velmo::platform {

// The section names in file order (each once, in its first spelling); empty when the file is
// missing or unreadable.
std::vector<std::string> IniSectionNames(const std::string& path);
// The value of `key` in `section`, or `fallback` when either is missing.
std::string IniReadString(const std::string& path, const std::string& section, const std::string& key,
                          const std::string& fallback);
// Sets the value, adding the section (at the end) and the key (at the end of its section) when
// missing; creates the file when needed.
[[nodiscard]] bool IniWriteString(const std::string& path, const std::string& section, const std::string& key,
                                  const std::string& value);
// Removes the section with all its keys; true when nothing of it is left.
[[nodiscard]] bool IniDeleteSection(const std::string& path, const std::string& section);
// Makes every write above reach the file (the system caches profile files).
void IniFlush(const std::string& path);

}  // namespace velmo::platform
