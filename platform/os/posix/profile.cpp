// Headless profile: one text file per application (profile_file.h) in $XDG_CONFIG_HOME/velmo/, else
// ~/.config/velmo/, else /tmp/velmo-config/. The file is "<key>#<profile>.profile", both parts folded to
// ASCII lower case (registry keys ignore case) with every byte outside [a-z0-9 ._-] written as %XX, so no
// name can reach another folder. Each write replaces the whole file through a synced temporary file and a
// rename: readers and crashes see the old profile or the new one, never a mix.
#include "platform/profile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/common/profile_file.h"
#include "platform/environment.h"
#include "platform/last_error.h"
#include "platform/os/posix/host_path.h"

namespace velmo::platform {

namespace {

// Keeps "<name>.XXXXXX" of the temporary file within the 255 bytes a host file name may have.
constexpr size_t kMaxFileNameBytes = 200;

std::string EncodeNamePart(const std::string& part) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char raw : part) {
        const char c = raw >= 'A' && raw <= 'Z' ? static_cast<char>(raw - 'A' + 'a') : raw;
        const bool safe =
            (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == ' ' || c == '.' || c == '_' || c == '-';
        if (safe) {
            out += c;
        } else {
            const auto byte = static_cast<uint8_t>(c);
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0x0F];
        }
    }
    return out;
}

// A name too long for the host keeps its start and gains a hash of the whole; '~' is always percent-encoded
// in a name part, so a shortened name never equals an ordinary one.
std::string ProfileFileName(const std::string& registryKey, const std::string& profileName) {
    std::string name = EncodeNamePart(registryKey) + '#' + EncodeNamePart(profileName);
    if (name.size() + 8 <= kMaxFileNameBytes) return name + ".profile";
    uint64_t hash = 14695981039346656037ull;  // FNV-1a
    for (const char c : name) hash = (hash ^ static_cast<uint8_t>(c)) * 1099511628211ull;
    char hashText[17];
    std::snprintf(hashText, sizeof hashText, "%016llx", static_cast<unsigned long long>(hash));
    return name.substr(0, kMaxFileNameBytes - 8 - 17) + '~' + hashText + ".profile";
}

// Relative or empty variables are ignored, as the base-directory convention asks.
std::string ConfigFolder() {
    const auto absolute = [](const std::optional<std::string>& v) { return v && !v->empty() && v->front() == '/'; };
    const std::optional<std::string> config = GetEnvironment("XDG_CONFIG_HOME");
    if (absolute(config)) return *config + "/velmo";
    const std::optional<std::string> home = GetEnvironment("HOME");
    if (absolute(home)) return *home + "/.config/velmo";
    return "/tmp/velmo-config";
}

// Creates `folder` and any missing parents; the profile is private to the user.
bool MakeFolders(const std::string& folder) {
    for (size_t at = 1; at <= folder.size(); ++at) {
        if (at < folder.size() && folder[at] != '/') continue;
        const std::string prefix = folder.substr(0, at);
        if (::mkdir(prefix.c_str(), 0700) == 0 || errno == EEXIST) continue;
        posix::SetLastErrorFromErrno(errno);
        return false;
    }
    return true;
}

// Reads the whole file into `text`; a missing file is an empty profile.
bool ReadProfileFile(const std::string& path, std::string& text) {
    text.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) return true;
        posix::SetLastErrorFromErrno(errno);
        return false;
    }
    char buffer[8192];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) posix::SetLastErrorFromErrno(errno);
        if (n <= 0) {
            ::close(fd);
            return n == 0;
        }
        text.append(buffer, static_cast<size_t>(n));
    }
}

// Replaces `path` by `text`: temporary file, fsync, rename, then fsync of the folder so that the rename
// itself survives a crash.
bool ReplaceFile(const std::string& folder, const std::string& path, const std::string& text) {
    std::string temporary = path + ".XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        posix::SetLastErrorFromErrno(errno);
        return false;
    }
    bool written = posix::WriteAll(fd, text.data(), text.size());
    if (written && ::fsync(fd) != 0) {
        posix::SetLastErrorFromErrno(errno);
        written = false;
    }
    if (::close(fd) != 0 && written) {
        posix::SetLastErrorFromErrno(errno);
        written = false;
    }
    if (written && ::rename(temporary.c_str(), path.c_str()) != 0) {
        posix::SetLastErrorFromErrno(errno);
        written = false;
    }
    if (!written) {
        ::unlink(temporary.c_str());
        return false;
    }
    const int folderFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd >= 0) {
        (void)::fsync(folderFd);  // the data is already in place; this only hastens durability
        ::close(folderFd);
    }
    return true;
}

class FileProfile final : public Profile {
public:
    FileProfile(std::string folder, std::string path) : folder_(std::move(folder)), path_(std::move(path)) {}

    std::optional<std::vector<uint8_t>> ReadBinary(const std::string& section, const std::string& value) override {
        return Read<std::vector<uint8_t>>(section, value);
    }
    bool WriteBinary(const std::string& section, const std::string& value, std::span<const uint8_t> bytes) override {
        return Write(section, value, std::vector<uint8_t>(bytes.begin(), bytes.end()));
    }
    std::optional<std::string> ReadString(const std::string& section, const std::string& value) override {
        return Read<std::string>(section, value);
    }
    bool WriteString(const std::string& section, const std::string& value, const std::string& text) override {
        return Write(section, value, text);
    }
    std::optional<uint32_t> ReadInteger(const std::string& section, const std::string& value) override {
        return Read<uint32_t>(section, value);
    }
    bool WriteInteger(const std::string& section, const std::string& value, uint32_t number) override {
        return Write(section, value, number);
    }

private:
    // The file is read afresh each time, so every open profile of one application sees the latest write, as
    // registry handles do.
    template <typename T>
    std::optional<T> Read(const std::string& section, const std::string& value) {
        std::string text;
        if (!ReadProfileFile(path_, text)) return std::nullopt;
        const ProfileDocument document = ParseProfileText(text);
        const ProfileData* data = document.Find(section, value);
        const T* typed = data ? std::get_if<T>(data) : nullptr;
        if (!typed) {
            SetLastErrorCode(data ? kErrorInvalidData : kErrorFileNotFound);
            return std::nullopt;
        }
        return *typed;
    }

    bool Write(const std::string& section, const std::string& value, ProfileData data) {
        std::string text;
        if (!MakeFolders(folder_) || !ReadProfileFile(path_, text)) return false;
        ProfileDocument document = ParseProfileText(text);
        document.Set(section, value, std::move(data));
        return ReplaceFile(folder_, path_, WriteProfileText(document));
    }

    std::string folder_;
    std::string path_;
};

}  // namespace

std::unique_ptr<Profile> OpenProfile(const std::string& registryKey, const std::string& profileName) {
    std::string folder = ConfigFolder();
    std::string path = folder + '/' + ProfileFileName(registryKey, profileName);
    return std::make_unique<FileProfile>(std::move(folder), std::move(path));
}

}  // namespace velmo::platform
