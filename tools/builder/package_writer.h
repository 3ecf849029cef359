#pragma once
// Writes the attached package: the "Application" root folder holding the given items, each file a
// zlib stream followed by the CRC-32 of its data, and the trailer the runtime finds it by.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/files.h"

namespace velmo::builder {

struct PackageItem {
    std::string name;  // one path component, in the 8-bit code page
    bool isFolder = false;
    std::vector<uint8_t> data;          // files
    std::vector<PackageItem> children;  // folders
};

// The package bytes, to be appended behind an image. Throws std::runtime_error when an item name is
// not a single path component or the package would pass the format's 4 GiB limit.
std::vector<uint8_t> WritePackage(const std::vector<PackageItem>& rootItems);

// Every file and folder below the host folder `folder`, in name order; throws std::runtime_error
// when something cannot be read.
// `keep(path, entry)` says whether an entry of the folder (its full path given) goes into the
// package; an entry left out is never read, nor, for a folder, entered.
using KeepEntry = std::function<bool(const std::string& path, const platform::FolderEntry& entry)>;
std::vector<PackageItem> CollectFolder(const std::string& folder, const KeepEntry& keep = nullptr);

}  // namespace velmo::builder
