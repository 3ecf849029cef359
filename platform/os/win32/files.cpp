// Win32 files and folders over the system's ANSI file calls; the system sets the last error.
#include "platform/files.h"

#include <windows.h>
#undef DeleteFile  // windows.h maps the name to DeleteFileA; ours is platform::DeleteFile

#include <algorithm>

#include "platform/os/win32/handles.h"

namespace velmo::platform {

namespace {

// ReadFile and WriteFile move at most a DWORD per call.
constexpr size_t kMaxChunk = 1u << 30;

class Win32File final : public File {
public:
    explicit Win32File(win32::FileHandle handle) : handle_(std::move(handle)) {}

    size_t Read(void* buffer, size_t sizeBytes) override {
        size_t done = 0;
        while (done < sizeBytes) {
            DWORD got = 0;
            const auto chunk = static_cast<DWORD>(std::min(sizeBytes - done, kMaxChunk));
            if (!::ReadFile(handle_.Get(), static_cast<char*>(buffer) + done, chunk, &got, nullptr) || got == 0) break;
            done += got;
        }
        return done;
    }

    bool Write(const void* buffer, size_t sizeBytes) override {
        size_t done = 0;
        while (done < sizeBytes) {
            DWORD put = 0;
            const auto chunk = static_cast<DWORD>(std::min(sizeBytes - done, kMaxChunk));
            if (!::WriteFile(handle_.Get(), static_cast<const char*>(buffer) + done, chunk, &put, nullptr))
                return false;
            if (put == 0) {
                ::SetLastError(ERROR_DISK_FULL);
                return false;
            }
            done += put;
        }
        return true;
    }

    int64_t Seek(int64_t offset, SeekFrom from) override {
        const DWORD method = from == SeekFrom::Begin ? FILE_BEGIN : from == SeekFrom::Current ? FILE_CURRENT : FILE_END;
        LARGE_INTEGER distance{}, at{};
        distance.QuadPart = offset;
        if (!::SetFilePointerEx(handle_.Get(), distance, &at, method)) return -1;
        return at.QuadPart;
    }

    int64_t Size() override {
        LARGE_INTEGER size{};
        if (!::GetFileSizeEx(handle_.Get(), &size)) return -1;
        return size.QuadPart;
    }

private:
    win32::FileHandle handle_;
};

DWORD Attributes(const std::string& path) { return ::GetFileAttributesA(path.c_str()); }

}  // namespace

std::unique_ptr<File> OpenFile(const std::string& path, FileMode mode) {
    const bool read = mode == FileMode::ReadShared;
    win32::FileHandle handle(::CreateFileA(path.c_str(), read ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE,
                                           read ? FILE_SHARE_READ : 0, nullptr, read ? OPEN_EXISTING : CREATE_ALWAYS,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle) return nullptr;
    return std::make_unique<Win32File>(std::move(handle));
}

std::string FullPath(const std::string& path) {
    if (path.empty()) return path;
    std::vector<char> buffer(MAX_PATH);
    for (;;) {
        char* name = nullptr;
        const DWORD n = ::GetFullPathNameA(path.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), &name);
        if (n == 0) return path;  // the system refused it; the path as given is the best there is
        if (n < buffer.size()) return std::string(buffer.data(), n);
        buffer.resize(n);  // n counts the terminating NUL when the buffer was too small
    }
}

bool FileExists(const std::string& path) {
    const DWORD a = Attributes(path);
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const std::string& path) {
    const DWORD a = Attributes(path);
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool PathExists(const std::string& path) { return Attributes(path) != INVALID_FILE_ATTRIBUTES; }

bool CreateFolder(const std::string& path) { return ::CreateDirectoryA(path.c_str(), nullptr) != 0; }

bool DeleteFile(const std::string& path) {
    // A link to a folder is listed as a file (see ListFolder); the system removes such links as folders.
    const DWORD a = Attributes(path);
    const DWORD linkToFolder = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
    if (a != INVALID_FILE_ATTRIBUTES && (a & linkToFolder) == linkToFolder)
        return ::RemoveDirectoryA(path.c_str()) != 0;
    return ::DeleteFileA(path.c_str()) != 0;
}

bool RemoveFolder(const std::string& path) { return ::RemoveDirectoryA(path.c_str()) != 0; }

bool RenameReplacing(const std::string& from, const std::string& to) {
    return ::MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

std::optional<std::string> FinalPath(const std::string& path) {
    // Opening with backup semantics opens folders too; the handle's final path has every link
    // resolved.
    win32::FileHandle file(::CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                         nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file) return std::nullopt;
    char buffer[MAX_PATH * 4];
    const DWORD length = ::GetFinalPathNameByHandleA(file.Get(), buffer, sizeof buffer, FILE_NAME_NORMALIZED);
    if (length == 0 || length >= sizeof buffer) return std::nullopt;
    std::string result(buffer, length);
    if (result.rfind("\\\\?\\", 0) == 0) result.erase(0, 4);  // the "\\?\" prefix
    return result;
}

std::vector<FolderEntry> ListFolder(const std::string& folder) {
    std::vector<FolderEntry> entries;
    std::string pattern = folder;
    if (!pattern.empty() && pattern.back() != '\\' && pattern.back() != '/') pattern += '\\';
    pattern += "*.*";
    WIN32_FIND_DATAA data{};
    win32::FindHandle find(::FindFirstFileA(pattern.c_str(), &data));
    if (!find) return entries;
    do {
        const std::string name = data.cFileName;
        if (name == "." || name == "..") continue;
        // A junction or symbolic link to a folder counts as a file, so that removing a tree deletes
        // the link and never follows it out of the tree.
        const bool isLink = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        const bool isFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !isLink;
        entries.push_back({name, isFolder, isLink});
    } while (::FindNextFileA(find.Get(), &data));
    return entries;
}

}  // namespace velmo::platform
