#pragma once
// The attached package: an archive appended behind the executable image and the extraction of its
// items into the run folder's "_extra\" folder, each file at most once per run.
//
// Layout (little-endian u32s, UTF-16LE names): "QVR\0", then the root folder entry "Application";
// the file ends with the package length (magic plus root entry) and a non-zero flag. An entry is
// type (0 file, else folder), name length in code units with the NUL, the name, content size, then
// the content: the child entries of a folder, or a zlib stream and the CRC-32 of the data for a file.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/files.h"

namespace velmo::shell {

inline constexpr size_t kMaxEntryNameChars = 259;
// Files inflate through one input and one output buffer of these fixed sizes, so memory stays
// bounded whatever a file's size. With 4 KiB each, extracting a large text-like file ran at about
// 60 % of the throughput of inflating it in memory: zlib's fast loop stops some 258 bytes short
// of every output buffer's end, each call copies its output into zlib's 32 KiB window, and every
// 4 KiB cost a read or write call. These sizes bring extraction above 80 % (docs/package-speed.md
// has the figures and how to measure); larger ones were no faster. The output buffer still fits
// a core's L2 cache, from which the CRC and the write read it back.
inline constexpr size_t kInflateInputBytes = 64 * 1024;
inline constexpr size_t kInflateOutputBytes = 256 * 1024;
// Folders nested deeper than any path the system can open are not extracted.
inline constexpr int kMaxPackageDepth = 64;

// The local path of the file or folder at `packagePath` ('\' or '/' between components, any case),
// extracted on first use; "" when the package lacks it or it is damaged. With no package in
// `archiveFile` (default: the executable) the item is looked for beside the executable instead.
std::string ExtractPackageFile(const std::string& packagePath, const std::string& archiveFile = "");

// Searches the `available` bytes of folder content at the file position for an entry named
// `name`. Returns its type and leaves the position at its content, or -1 when it is not there or
// the folder is damaged. `storedName`, if given, receives the entry's own spelling of the name.
int64_t FindPackageEntry(platform::File& file, const std::string& name, uint32_t& size, int64_t available,
                         std::string* storedName = nullptr);

// Extracts the folder content of `folderSize` bytes at the file position into `destination`
// (ending in '\'); returns `destination`.
std::string ExtractPackageFolder(const std::string& destination, platform::File& file, uint32_t folderSize);

// Inflates the file entry content of `entrySize` bytes at the file position to `destination`.
// Returns `destination`, or "" (and no file left behind) when the data is damaged or cannot be
// written. Throws CompressionError when zlib fails.
std::string InflateEntryToFile(const std::string& destination, platform::File& file, uint32_t entrySize);

// The path of `relativePath` in the executable's folder if a file or folder is there, else "".
std::string FindBesideExecutable(const std::string& relativePath);

struct PackageListing {
    std::string path;  // package path, '\' between components
    bool isFolder = false;
    uint32_t storedBytes = 0;  // content size as stored (compressed data and CRC for files)
};
// Every entry of the package in `archiveFile`, depth first; nullopt when it has no package or its
// directory is damaged.
std::optional<std::vector<PackageListing>> ListPackage(const std::string& archiveFile);

// The same look with the reason when it fails, for tools that report on applications. Not ok and
// no damage: the file carries no package. Damage is named also where the runtime treats the file
// as carrying none (a trailer that points at no package, a root not named "Application"), since a
// user inspecting the file wants to know. File data is not inflated: a bad CRC goes unnoticed.
struct PackageReport {
    bool isOk = false;
    std::string damage;                   // what is wrong; empty when ok or when there is no package
    std::vector<PackageListing> entries;  // depth first, when ok
};
PackageReport InspectPackage(const std::string& archiveFile);

// Whether `name` may be used as one component of a local path: not empty, not made only of dots
// and spaces, not a Windows device name (CON, NUL, COM1, ... with any extension), no separators,
// drive colons or NULs. Entries with other names are never found.
bool IsSafeEntryName(const std::string& name);

}  // namespace velmo::shell
