// INI files through the system's private-profile calls. The calls answer with a count that stops
// two (lists) or one (strings) short of the buffer when the text did not fit, so the buffer grows
// until it is larger than what came back.
#include "platform/ini_file.h"

#include <windows.h>

namespace velmo::platform {

namespace {

constexpr DWORD kFirstBuffer = 1024;
constexpr DWORD kLargestBuffer = 64u << 20;

}  // namespace

std::vector<std::string> IniSectionNames(const std::string& path) {
    std::vector<std::string> names;
    for (DWORD size = kFirstBuffer; size <= kLargestBuffer; size *= 2) {
        std::string buffer(size, '\0');
        const DWORD got = GetPrivateProfileSectionNamesA(buffer.data(), size, path.c_str());
        if (got + 2 >= size && size < kLargestBuffer) continue;
        for (size_t at = 0; at < got && buffer[at] != '\0';) {
            const size_t end = buffer.find('\0', at);
            names.push_back(buffer.substr(at, end - at));
            at = end + 1;
        }
        break;
    }
    return names;
}

std::string IniReadString(const std::string& path, const std::string& section, const std::string& key,
                          const std::string& fallback) {
    for (DWORD size = kFirstBuffer;; size *= 2) {
        std::string buffer(size, '\0');
        const DWORD got =
            GetPrivateProfileStringA(section.c_str(), key.c_str(), fallback.c_str(), buffer.data(), size, path.c_str());
        if (got + 1 >= size && size < kLargestBuffer) continue;
        buffer.resize(got);
        return buffer;
    }
}

bool IniWriteString(const std::string& path, const std::string& section, const std::string& key,
                    const std::string& value) {
    return WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), path.c_str()) != FALSE;
}

bool IniDeleteSection(const std::string& path, const std::string& section) {
    return WritePrivateProfileStringA(section.c_str(), nullptr, nullptr, path.c_str()) != FALSE;
}

void IniFlush(const std::string& path) { (void)WritePrivateProfileStringA(nullptr, nullptr, nullptr, path.c_str()); }

}  // namespace velmo::platform
