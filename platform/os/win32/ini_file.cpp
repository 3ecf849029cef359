// INI files through the system's private-profile calls. The calls answer with a count that stops
// two (lists) or one (strings) short of the buffer when the text did not fit, so the buffer grows
// until it is larger than what came back.
#include "platform/ini_file.h"

#include <windows.h>

namespace velmo::platform {

namespace {

constexpr DWORD kFirstBuffer = 1024;
constexpr DWORD kLargestBuffer = 64u << 20;

class ProfileIniFile final : public IniFile {
public:
    explicit ProfileIniFile(std::string path) : path_(std::move(path)) {}

    std::vector<std::string> SectionNames() override {
        std::vector<std::string> names;
        for (DWORD size = kFirstBuffer;; size *= 2) {
            std::string buffer(size, '\0');
            const DWORD got = GetPrivateProfileSectionNamesA(buffer.data(), size, path_.c_str());
            if (got + 2 >= size && size < kLargestBuffer) continue;
            for (size_t at = 0; at < got && buffer[at] != '\0';) {
                const size_t end = buffer.find('\0', at);
                names.push_back(buffer.substr(at, end - at));
                at = end + 1;
            }
            return names;
        }
    }

    std::string ReadString(const std::string& section, const std::string& key, const std::string& fallback) override {
        for (DWORD size = kFirstBuffer;; size *= 2) {
            std::string buffer(size, '\0');
            const DWORD got = GetPrivateProfileStringA(section.c_str(), key.c_str(), fallback.c_str(), buffer.data(),
                                                       size, path_.c_str());
            if (got + 1 >= size && size < kLargestBuffer) continue;
            buffer.resize(got);
            return buffer;
        }
    }

    bool WriteString(const std::string& section, const std::string& key, const std::string& value) override {
        return WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), path_.c_str()) != FALSE;
    }

    bool DeleteSection(const std::string& section) override {
        return WritePrivateProfileStringA(section.c_str(), nullptr, nullptr, path_.c_str()) != FALSE;
    }

    // Writing nothing to no section of the file flushes the system's cache of it; the call answers
    // FALSE whenever it flushed, so there is no failure to tell.
    bool Flush() override {
        (void)WritePrivateProfileStringA(nullptr, nullptr, nullptr, path_.c_str());
        return true;
    }

private:
    std::string path_;
};

}  // namespace

std::unique_ptr<IniFile> OpenIniFile(const std::string& path) { return std::make_unique<ProfileIniFile>(path); }

}  // namespace velmo::platform
