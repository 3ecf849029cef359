// Headless files and folders over POSIX calls. The host has no share modes, so the "writers shut
// out" part of FileMode is not enforced here; everything else matches the Windows layer.
#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "platform/last_error.h"
#include "platform/os/posix/host_path.h"
#include "platform/os/posix/movie_reads_posix.h"
#include "platform/os/posix/movie_reads_posix.h"

namespace velmo::platform {

namespace {

class PosixFile final : public File {
public:
    explicit PosixFile(int fd) : fd_(fd) {}
    ~PosixFile() override { ::close(fd_); }

    size_t Read(void* buffer, size_t sizeBytes) override {
        size_t done = 0;
        while (done < sizeBytes) {
            const ssize_t n = ::read(fd_, static_cast<char*>(buffer) + done, sizeBytes - done);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) posix::SetLastErrorFromErrno(errno);
            if (n <= 0) break;
            done += static_cast<size_t>(n);
        }
        return done;
    }

    bool Write(const void* buffer, size_t sizeBytes) override { return posix::WriteAll(fd_, buffer, sizeBytes); }

    int64_t Seek(int64_t offset, SeekFrom from) override {
        const int whence = from == SeekFrom::Begin ? SEEK_SET : from == SeekFrom::Current ? SEEK_CUR : SEEK_END;
        const off_t at = ::lseek(fd_, static_cast<off_t>(offset), whence);
        if (at < 0) posix::SetLastErrorFromErrno(errno);
        return at < 0 ? -1 : static_cast<int64_t>(at);
    }

    int64_t Size() override {
        struct stat st {};
        if (::fstat(fd_, &st) != 0) {
            posix::SetLastErrorFromErrno(errno);
            return -1;
        }
        return static_cast<int64_t>(st.st_size);
    }

private:
    int fd_;
};

bool StatPath(const std::string& path, struct stat& st) { return ::stat(posix::HostPath(path).c_str(), &st) == 0; }

}  // namespace

bool posix::WriteAll(int fd, const void* data, size_t sizeBytes) {
    size_t done = 0;
    while (done < sizeBytes) {
        const ssize_t n = ::write(fd, static_cast<const char*>(data) + done, sizeBytes - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            SetLastErrorFromErrno(n < 0 ? errno : ENOSPC);
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

std::unique_ptr<File> OpenFile(const std::string& path, FileMode mode) {
    if (mode == FileMode::ReadShared)
        if (std::optional<std::unique_ptr<File>> movie = posix::OpenRedirectedMovie(path)) return std::move(*movie);
    const int flags = mode == FileMode::ReadShared ? O_RDONLY : (O_RDWR | O_CREAT | O_TRUNC);
    const int fd = ::open(posix::HostPath(path).c_str(), flags | O_CLOEXEC, 0644);
    if (fd < 0) {
        posix::SetLastErrorFromErrno(errno);
        return nullptr;
    }
    // A folder opens on POSIX but not on Windows; refuse it the same way.
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        SetLastErrorCode(kErrorAccessDenied);
        return nullptr;
    }
    return std::make_unique<PosixFile>(fd);
}

std::string FullPath(const std::string& path) {
    if (path.empty() || path[0] == '/' || path[0] == '\\') return path;
    std::string folder(256, '\0');
    while (!::getcwd(folder.data(), folder.size())) {
        if (errno != ERANGE) {
            posix::SetLastErrorFromErrno(errno);
            return path;  // no current folder to go by: the path as given is the best there is
        }
        folder.resize(folder.size() * 2);
    }
    folder.resize(folder.find('\0'));
    if (folder.empty() || folder.back() != '/') folder += '/';
    return folder + path;
}

bool FileExists(const std::string& path) {
    struct stat st {};
    return StatPath(path, st) && !S_ISDIR(st.st_mode);
}

bool FolderExists(const std::string& path) {
    struct stat st {};
    return StatPath(path, st) && S_ISDIR(st.st_mode);
}

bool PathExists(const std::string& path) {
    struct stat st {};
    return StatPath(path, st);
}

bool CreateFolder(const std::string& path) {
    if (::mkdir(posix::HostPath(path).c_str(), 0755) == 0) return true;
    // A missing parent is a missing path to the system, not a missing file.
    if (errno == ENOENT) SetLastErrorCode(kErrorPathNotFound);
    else posix::SetLastErrorFromErrno(errno);
    return false;
}

bool DeleteFile(const std::string& path) {
    if (FolderExists(path)) {
        SetLastErrorCode(kErrorAccessDenied);
        return false;
    }
    if (::unlink(posix::HostPath(path).c_str()) == 0) return true;
    posix::SetLastErrorFromErrno(errno);
    return false;
}

bool RemoveFolder(const std::string& path) {
    if (::rmdir(posix::HostPath(path).c_str()) == 0) return true;
    posix::SetLastErrorFromErrno(errno);
    return false;
}

bool RenameReplacing(const std::string& from, const std::string& to) {
    if (::rename(posix::HostPath(from).c_str(), posix::HostPath(to).c_str()) == 0) return true;
    posix::SetLastErrorFromErrno(errno);
    return false;
}

std::optional<std::string> FinalPath(const std::string& path) {
    char* resolved = ::realpath(posix::HostPath(path).c_str(), nullptr);
    if (!resolved) return std::nullopt;
    std::string result = resolved;
    std::free(resolved);
    return result;
}

std::vector<FolderEntry> ListFolder(const std::string& folder) {
    std::vector<FolderEntry> entries;
    const std::string host = posix::HostPath(folder);
    DIR* dir = ::opendir(host.c_str());
    if (!dir) {
        posix::SetLastErrorFromErrno(errno);
        return entries;
    }
    while (const dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        struct stat st {};
        // lstat: a link to a folder is removed as a link, never followed out of the tree.
        const bool known = ::lstat((host + "/" + name).c_str(), &st) == 0;
        entries.push_back({name, known && S_ISDIR(st.st_mode), known && S_ISLNK(st.st_mode)});
    }
    ::closedir(dir);
    return entries;
}

}  // namespace velmo::platform
