#include "tools/builder/package_filter.h"

#include "platform/text.h"

namespace velmo::builder {

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// `*` and `?` within one component.
bool MatchComponent(std::string_view pattern, std::string_view name) {
    if (pattern.empty()) return name.empty();
    if (pattern[0] == '*') {
        for (size_t skip = 0; skip <= name.size(); ++skip)
            if (MatchComponent(pattern.substr(1), name.substr(skip))) return true;
        return false;
    }
    if (name.empty()) return false;
    if (pattern[0] != '?' && Lower(pattern[0]) != Lower(name[0])) return false;
    return MatchComponent(pattern.substr(1), name.substr(1));
}

std::vector<std::string_view> Components(std::string_view path) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    for (size_t i = 0; i <= path.size(); ++i) {
        if (i < path.size() && path[i] != '/') continue;
        if (i > start) parts.push_back(path.substr(start, i - start));
        start = i + 1;
    }
    return parts;
}

bool MatchComponents(const std::vector<std::string_view>& pattern, size_t p, const std::vector<std::string_view>& path,
                     size_t at) {
    if (p == pattern.size()) return at == path.size();
    if (pattern[p] == "**") {
        for (size_t skip = at; skip <= path.size(); ++skip)
            if (MatchComponents(pattern, p + 1, path, skip)) return true;
        return false;
    }
    return at < path.size() && MatchComponent(pattern[p], path[at]) && MatchComponents(pattern, p + 1, path, at + 1);
}

bool MatchesAny(const std::vector<std::string>& patterns, const std::string& path) {
    for (const std::string& pattern : patterns)
        if (MatchesPackagePattern(pattern, path)) return true;
    return false;
}

}  // namespace

bool IsLeftOutOfPackage(const std::string& name) {
    const auto endsWith = [&](std::string_view tail) {
        return name.size() >= tail.size() &&
               platform::AnsiEqualNoCase(name.substr(name.size() - tail.size()), std::string(tail));
    };
    return name.starts_with('.') || name.ends_with('~') || endsWith(".bak") || endsWith(".swp");
}

bool MatchesPackagePattern(std::string_view pattern, std::string_view path) {
    const std::vector<std::string_view> parts = Components(path);
    if (pattern.find('/') == std::string_view::npos) return !parts.empty() && MatchComponent(pattern, parts.back());
    return MatchComponents(Components(pattern), 0, parts, 0);
}

bool PackageFilter::Keeps(const std::string& relativePath) const {
    if (MatchesAny(exclude_, relativePath)) return false;
    if (MatchesAny(include_, relativePath)) return true;
    const size_t slash = relativePath.rfind('/');
    return !IsLeftOutOfPackage(slash == std::string::npos ? relativePath : relativePath.substr(slash + 1));
}

}  // namespace velmo::builder
