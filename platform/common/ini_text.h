#pragma once
// The text of an INI file as the system's private-profile calls write it, for the targets that have
// no such calls: lines end in CR LF, a section starts with "[name]", a key line is "key=value", and
// nothing else (no blank line) is written between sections. Reading never fails: lines before the
// first section and lines without "=" are kept as they stand but hold no value.

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace velmo::platform {

struct IniLine {
    std::string key;                   // the whole trimmed line when it has no "="
    std::optional<std::string> value;  // as written, trimmed
};

struct IniSection {
    std::string name;  // empty for the lines before the first section
    std::vector<IniLine> lines;
    bool removed = false;
};

class IniDocument {
public:
    IniDocument() : sections_(1) {}
    static IniDocument Parse(std::string_view text);
    std::string Text() const;

    std::vector<std::string> SectionNames() const;
    // The value as the system hands it out: one pair of matching quotes around it removed.
    std::optional<std::string> Read(std::string_view section, std::string_view key) const;
    void Write(std::string_view section, std::string_view key, std::string_view value);
    // True when a section was there to remove.
    bool DeleteSection(std::string_view section);

private:
    IniSection* Find(std::string_view section);
    const IniSection* Find(std::string_view section) const;
    void Add(std::string name);

    std::vector<IniSection> sections_;
    // The live sections of each name folded to lower case, in file order: a file of thousands of
    // sections is read and written without a scan per call.
    std::unordered_map<std::string, std::vector<size_t>> byName_;
};

}  // namespace velmo::platform
