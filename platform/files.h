#pragma once
// Files and folders. Paths are the system's own: '\' separates components on both targets (the
// headless layer maps them to the host file system in one place). Every failing call sets the
// last error (last_error.h).

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace velmo::platform {

enum class FileMode {
    ReadShared,      // existing file, read only; other writers are shut out where the system can do that
    CreateReadWrite  // create or truncate, read and write; other writers shut out
};

enum class SeekFrom { Begin, Current, End };

// An open file. Destroying it closes it.
class File {
public:
    virtual ~File() = default;
    // Reads up to `sizeBytes`; returns the count read, 0 at the end or on failure.
    virtual size_t Read(void* buffer, size_t sizeBytes) = 0;
    [[nodiscard]] virtual bool Write(const void* buffer, size_t sizeBytes) = 0;
    // Returns the new position, or -1 on failure (a position before the start fails).
    virtual int64_t Seek(int64_t offset, SeekFrom from) = 0;
    virtual int64_t Size() = 0;
};

// Opens `path`; null on failure.
std::unique_ptr<File> OpenFile(const std::string& path, FileMode mode);

// Reads a whole file; false when it cannot be opened or read.
[[nodiscard]] bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes);
[[nodiscard]] bool WriteWholeFile(const std::string& path, const std::vector<uint8_t>& bytes);

// `path` made absolute against the current folder (no symbolic link is resolved and nothing need
// exist there); an absolute path comes back as it is, an empty one stays empty.
std::string FullPath(const std::string& path);
// Whether two paths name the same place once made absolute, whichever separators they use and
// however many in a row; letters compare without regard to case (as the system's file names do
// on Windows; on POSIX this errs on the side of "the same", which is the safe side for refusing to
// overwrite something).
bool SamePath(const std::string& a, const std::string& b);

bool FileExists(const std::string& path);  // an existing file that is not a folder
bool FolderExists(const std::string& path);
bool PathExists(const std::string& path);  // a file or a folder

// Creates one folder; false (last error kErrorAlreadyExists) when something exists there already.
[[nodiscard]] bool CreateFolder(const std::string& path);
[[nodiscard]] bool DeleteFile(const std::string& path);
[[nodiscard]] bool RemoveFolder(const std::string& path);  // an empty folder only
// Gives the file `from` the name `to`, replacing a file there in one step, so that `to` is always
// either the old file or the whole new one.
[[nodiscard]] bool RenameReplacing(const std::string& from, const std::string& to);

struct FolderEntry {
    std::string name;
    bool isFolder = false;  // false for a link to a folder, which is listed as a link
    bool isLink = false;    // a symbolic link, junction or other reparse point
};
// The absolute path `path` names once every link in it is followed; none when it does not exist.
std::optional<std::string> FinalPath(const std::string& path);
// Every entry of `folder` except "." and "..", in no particular order; empty when it cannot be read.
std::vector<FolderEntry> ListFolder(const std::string& folder);

}  // namespace velmo::platform
