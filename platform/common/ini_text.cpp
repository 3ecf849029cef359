// Matching follows the system: names compare without ASCII case, the first spelling stays. Values
// are trimmed when written too (as the system we compare against does), so a value read back never
// depends on which target wrote it.
#include "platform/common/ini_text.h"

#include <algorithm>

namespace velmo::platform {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

char Fold(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string Folded(std::string_view name) {
    std::string out(name);
    for (char& c : out) c = Fold(c);
    return out;
}

bool NamesEqual(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Fold(x) == Fold(y); });
}

}  // namespace

IniDocument IniDocument::Parse(std::string_view text) {
    IniDocument doc;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        const std::string_view line = Trim(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        if (line.empty()) continue;
        if (line.front() == '[') {
            const size_t close = line.rfind(']');
            const std::string_view name =
                Trim(close == std::string_view::npos || close == 0 ? line.substr(1) : line.substr(1, close - 1));
            doc.Add(std::string(name));
            continue;
        }
        const size_t equals = line.find('=');
        if (equals == std::string_view::npos) {
            doc.sections_.back().lines.push_back({std::string(line), std::nullopt});
        } else {
            doc.sections_.back().lines.push_back(
                {std::string(Trim(line.substr(0, equals))), std::string(Trim(line.substr(equals + 1)))});
        }
    }
    return doc;
}

std::string IniDocument::Text() const {
    std::string out;
    for (size_t i = 0; i < sections_.size(); ++i) {
        if (sections_[i].removed) continue;
        if (i > 0) out += "[" + sections_[i].name + "]\r\n";
        for (const IniLine& line : sections_[i].lines) {
            out += line.key;
            if (line.value) out += "=" + *line.value;
            out += "\r\n";
        }
    }
    return out;
}

std::vector<std::string> IniDocument::SectionNames() const {
    std::vector<std::string> names;
    for (size_t i = 1; i < sections_.size(); ++i) {
        if (sections_[i].removed) continue;
        const auto found = byName_.find(Folded(sections_[i].name));
        if (found != byName_.end() && found->second.front() == i) names.push_back(sections_[i].name);
    }
    return names;
}

void IniDocument::Add(std::string name) {
    byName_[Folded(name)].push_back(sections_.size());
    sections_.push_back({std::move(name), {}, false});
}

IniSection* IniDocument::Find(std::string_view section) {
    const auto found = byName_.find(Folded(section));
    return found == byName_.end() ? nullptr : &sections_[found->second.front()];
}

const IniSection* IniDocument::Find(std::string_view section) const {
    return const_cast<IniDocument*>(this)->Find(section);
}

std::optional<std::string> IniDocument::Read(std::string_view section, std::string_view key) const {
    const IniSection* found = Find(section);
    if (!found) return std::nullopt;
    for (const IniLine& line : found->lines) {
        if (!line.value || !NamesEqual(line.key, key)) continue;
        std::string_view value = *line.value;
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        return std::string(value);
    }
    return std::nullopt;
}

void IniDocument::Write(std::string_view section, std::string_view key, std::string_view value) {
    IniSection* found = Find(section);
    if (!found) {
        Add(std::string(Trim(section)));
        found = &sections_.back();
    }
    for (IniLine& line : found->lines) {
        if (line.value && NamesEqual(line.key, key)) {
            line.value = std::string(Trim(value));
            return;
        }
    }
    found->lines.push_back({std::string(Trim(key)), std::string(Trim(value))});
}

bool IniDocument::DeleteSection(std::string_view section) {
    const auto found = byName_.find(Folded(section));
    if (found == byName_.end()) return false;
    for (const size_t i : found->second) sections_[i].removed = true;
    byName_.erase(found);
    return true;
}

}  // namespace velmo::platform
