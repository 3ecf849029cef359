#include "tools/builder/package_writer.h"

#include <zlib.h>

#include <algorithm>
#include <stdexcept>

#include "platform/byte_order.h"
#include "platform/files.h"
#include "platform/path.h"
#include "platform/text.h"

namespace velmo::builder {

namespace {

using platform::AppendU32;

constexpr uint64_t kMaxPackageBytes = 0xFFFFFFF0u;

bool IsSingleComponent(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find_first_of("\\/:") == std::string::npos;
}

std::vector<uint8_t> CompressFile(const std::vector<uint8_t>& data) {
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    std::vector<uint8_t> out(size + 4);
    if (compress2(out.data(), &size, data.data(), static_cast<uLong>(data.size()), Z_BEST_COMPRESSION) != Z_OK)
        throw std::runtime_error("zlib could not compress a package file");
    out.resize(size);
    AppendU32(out, static_cast<uint32_t>(crc32(0, data.data(), static_cast<uInt>(data.size()))));
    return out;
}

void AppendEntry(std::vector<uint8_t>& out, const PackageItem& item);

std::vector<uint8_t> EntryContent(const PackageItem& item) {
    if (!item.isFolder) return CompressFile(item.data);
    std::vector<uint8_t> content;
    for (const PackageItem& child : item.children) AppendEntry(content, child);
    return content;
}

void AppendEntry(std::vector<uint8_t>& out, const PackageItem& item) {
    if (!IsSingleComponent(item.name)) throw std::runtime_error("bad package item name \"" + item.name + "\"");
    const std::u16string name16 = platform::AnsiToUtf16(item.name);
    const std::vector<uint8_t> content = EntryContent(item);
    if (out.size() + content.size() + 2 * name16.size() > kMaxPackageBytes)
        throw std::runtime_error("the package would be larger than 4 GiB");
    AppendU32(out, item.isFolder ? 1 : 0);
    AppendU32(out, static_cast<uint32_t>(name16.size() + 1));
    for (char16_t c : name16) platform::AppendU16(out, c);
    platform::AppendU16(out, 0);
    AppendU32(out, static_cast<uint32_t>(content.size()));
    out.insert(out.end(), content.begin(), content.end());
}

}  // namespace

std::vector<uint8_t> WritePackage(const std::vector<PackageItem>& rootItems) {
    PackageItem root{"Application", true, {}, rootItems};
    std::vector<uint8_t> out = {'Q', 'V', 'R', 0};
    AppendEntry(out, root);
    AppendU32(out, static_cast<uint32_t>(out.size()));
    AppendU32(out, 1);
    return out;
}

std::vector<PackageItem> CollectFolder(const std::string& folder, const KeepEntry& keep) {
    std::vector<platform::FolderEntry> entries = platform::ListFolder(folder);
    std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
    std::vector<PackageItem> items;
    for (const platform::FolderEntry& entry : entries) {
        const std::string path = platform::JoinPath(folder, entry.name);
        if (keep && !keep(path, entry)) continue;
        PackageItem item{entry.name, entry.isFolder, {}, {}};
        if (entry.isFolder) item.children = CollectFolder(path, keep);
        else if (!platform::ReadWholeFile(path, item.data)) throw std::runtime_error("cannot read " + path);
        items.push_back(std::move(item));
    }
    return items;
}

}  // namespace velmo::builder
