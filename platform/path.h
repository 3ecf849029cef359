#pragma once
// Splitting and joining paths as the system writes them: components separated by '\', with '/'
// accepted as well (both targets take either). Pure text work; nothing here looks at the disk.

#include <string>
#include <string_view>

namespace velmo::platform {

inline bool IsPathSeparator(char c) { return c == '\\' || c == '/'; }

// Everything before the last separator, without it; "" when there is none.
inline std::string_view FolderPart(std::string_view path) {
    const size_t slash = path.find_last_of("\\/");
    return slash == std::string_view::npos ? std::string_view() : path.substr(0, slash);
}

// Everything after the last separator.
inline std::string_view FileNamePart(std::string_view path) {
    const size_t slash = path.find_last_of("\\/");
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// The file name without its extension. A name's leading dot starts no extension (".profile" is all
// stem), so a name never comes back empty because of its dot.
inline std::string_view StemPart(std::string_view path) {
    const std::string_view name = FileNamePart(path);
    const size_t dot = name.rfind('.');
    return dot == std::string_view::npos || dot == 0 ? name : name.substr(0, dot);
}

// The extension with its dot, "" when the file name has none; StemPart + ExtensionPart is the name.
inline std::string_view ExtensionPart(std::string_view path) {
    const std::string_view name = FileNamePart(path);
    return name.substr(StemPart(name).size());
}

// `folder` and `relative` with exactly one '\' between them; either may be empty.
inline std::string JoinPath(std::string_view folder, std::string_view relative) {
    while (!relative.empty() && IsPathSeparator(relative.front())) relative.remove_prefix(1);
    std::string joined(folder);
    if (!joined.empty() && !IsPathSeparator(joined.back()) && !relative.empty()) joined += '\\';
    joined += relative;
    return joined;
}

}  // namespace velmo::platform
