#pragma once
// Writes the attached package: the "Application" root folder holding the given items, each file a
// zlib stream followed by the CRC-32 of its data, and the trailer the runtime finds it by. Files
// named by path are read and compressed piece by piece while they are written, so memory stays
// small whatever their size; a folder's size is patched in once its entries are written.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/files.h"

namespace velmo::builder {

struct PackageItem {
    std::string name;  // one path component, in the 8-bit code page
    bool isFolder = false;
    std::vector<uint8_t> data;          // files given in memory
    std::vector<PackageItem> children;  // folders
    std::string sourcePath{};           // files read while the package is written (then `data` is unused)
    uint64_t sizeBytes = 0;             // the size of the file at `sourcePath` when it was collected
};

// Where the package goes: bytes appended in order, and a 32-bit word patched at an earlier offset
// (relative to where the package began).
class PackageSink {
public:
    virtual ~PackageSink() = default;
    virtual void Append(const uint8_t* bytes, size_t sizeBytes) = 0;
    virtual void PatchU32(uint64_t offset, uint32_t value) = 0;
};

// Called after each file, and after each piece of a large one, with the files done and the bytes of
// file data read so far.
using PackageProgress = std::function<void(size_t filesDone, uint64_t bytesDone)>;

// Writes the package to `sink`; returns its size in bytes. Throws std::runtime_error when an item
// name is not a single path component, a file cannot be read or the package would pass the
// format's 4 GiB limit.
uint64_t WritePackage(PackageSink& sink, const std::vector<PackageItem>& rootItems,
                      const PackageProgress& progress = nullptr);
// The package bytes, to be appended behind an image.
std::vector<uint8_t> WritePackage(const std::vector<PackageItem>& rootItems);

// Every file and folder below the host folder `folder`, in name order, files by path (their bytes
// are read when the package is written); throws std::runtime_error when a folder cannot be read.
// `keep(path, relativePath, entry)` says whether an entry (its full path given, and its path from
// `folder` with '/' between components) goes into the package; an entry left out is never read,
// nor, for a folder, entered. A link that is kept is packed as what it points at.
using KeepEntry =
    std::function<bool(const std::string& path, const std::string& relativePath, const platform::FolderEntry& entry)>;
std::vector<PackageItem> CollectFolder(const std::string& folder, const KeepEntry& keep = nullptr);

}  // namespace velmo::builder
