// File helpers built on the File interface, the same on every target.
#include "platform/files.h"

#include <algorithm>

#include "platform/text.h"

namespace velmo::platform {

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes) {
    bytes.clear();
    std::unique_ptr<File> file = OpenFile(path, FileMode::ReadShared);
    if (!file) return false;
    const int64_t size = file->Size();
    if (size < 0) return false;
    bytes.resize(static_cast<size_t>(size));
    return file->Read(bytes.data(), bytes.size()) == bytes.size();
}

bool WriteWholeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::unique_ptr<File> file = OpenFile(path, FileMode::CreateReadWrite);
    return file && file->Write(bytes.data(), bytes.size());
}

namespace {

// The absolute path with "." and ".." components resolved as text (the POSIX FullPath leaves them)
// and every run of separators, of either kind, as one '\'.
std::string ComparablePath(const std::string& path) {
    const std::string full = FullPath(path);
    std::vector<std::string> parts;
    size_t start = 0;
    const bool rooted = !full.empty() && (full[0] == '\\' || full[0] == '/');
    while (start <= full.size()) {
        const size_t end = std::min(full.find_first_of("\\/", start), full.size());
        const std::string part = full.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::string joined = rooted ? "\\" : "";
    for (size_t i = 0; i < parts.size(); ++i) joined += (i ? "\\" : "") + parts[i];
    return joined;
}

}  // namespace

bool SamePath(const std::string& a, const std::string& b) {
    return AnsiEqualNoCase(ComparablePath(a), ComparablePath(b));
}

}  // namespace velmo::platform
