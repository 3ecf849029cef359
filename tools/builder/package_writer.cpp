#include "tools/builder/package_writer.h"

#include <zlib.h>

#include <algorithm>
#include <memory>
#include <stdexcept>

#include "platform/byte_order.h"
#include "platform/files.h"
#include "platform/last_error.h"
#include "platform/path.h"
#include "platform/text.h"

namespace velmo::builder {

namespace {
// ": " and the system's text for the failure just seen, for messages that name a file.
std::string SystemReason() { return ": " + platform::SystemErrorText(platform::LastErrorCode()); }
}  // namespace

namespace {

constexpr uint64_t kMaxPackageBytes = 0xFFFFFFF0u;
// Files are read and compressed in pieces of this size; the compressed output goes out in pieces
// of the same size.
constexpr size_t kChunkBytes = 256 * 1024;

bool IsSingleComponent(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find_first_of("\\/:") == std::string::npos;
}

class MemorySink final : public PackageSink {
public:
    void Append(const uint8_t* bytes, size_t sizeBytes) override { out.insert(out.end(), bytes, bytes + sizeBytes); }
    void PatchU32(uint64_t offset, uint32_t value) override {
        for (int i = 0; i < 4; ++i) out[offset + i] = static_cast<uint8_t>(value >> (8 * i));
    }
    std::vector<uint8_t> out;
};

// Deflate's state, released however the compression ends.
struct Deflater {
    Deflater() {
        if (deflateInit(&stream, Z_BEST_COMPRESSION) != Z_OK) throw std::runtime_error("zlib cannot start compressing");
    }
    ~Deflater() { deflateEnd(&stream); }
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;
    z_stream stream{};
};

class Writer {
public:
    Writer(PackageSink& sink, const PackageProgress& progress) : sink_(sink), progress_(progress) {}

    void Entry(const PackageItem& item) {
        if (!IsSingleComponent(item.name)) throw std::runtime_error("bad package item name \"" + item.name + "\"");
        U32(item.isFolder ? 1 : 0);
        const std::u16string name16 = platform::AnsiToUtf16(item.name);
        U32(static_cast<uint32_t>(name16.size() + 1));
        for (char16_t c : name16) U16(c);
        U16(0);
        const uint64_t sizeAt = position_;
        U32(0);  // the content size, patched below
        if (item.isFolder) {
            for (const PackageItem& child : item.children) Entry(child);
        } else {
            File(item);
        }
        sink_.PatchU32(sizeAt, static_cast<uint32_t>(position_ - sizeAt - 4));
    }

    void Bytes(const uint8_t* bytes, size_t sizeBytes) {
        if (position_ + sizeBytes > kMaxPackageBytes)
            throw std::runtime_error("the package would be larger than 4 GiB");
        sink_.Append(bytes, sizeBytes);
        position_ += sizeBytes;
    }
    void U32(uint32_t v) {
        const uint8_t b[4] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
                              static_cast<uint8_t>(v >> 24)};
        Bytes(b, 4);
    }
    uint64_t Position() const { return position_; }

private:
    void U16(uint16_t v) {
        const uint8_t b[2] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)};
        Bytes(b, 2);
    }

    // The zlib stream of the file's data, then the CRC-32 of the data.
    void File(const PackageItem& item) {
        std::unique_ptr<platform::File> source;
        if (!item.sourcePath.empty()) {
            source = platform::OpenFile(item.sourcePath, platform::FileMode::ReadShared);
            if (!source) throw std::runtime_error("cannot read " + item.sourcePath + SystemReason());
        }
        Deflater deflater;
        std::vector<uint8_t> in(source ? kChunkBytes : 0), out(kChunkBytes);
        uLong crc = crc32(0, nullptr, 0);
        size_t memoryAt = 0;
        int flush = Z_NO_FLUSH;
        while (flush != Z_FINISH) {
            const uint8_t* piece = nullptr;
            size_t pieceBytes = 0;
            if (source) {
                pieceBytes = source->Read(in.data(), in.size());
                piece = in.data();
                if (pieceBytes == 0) flush = Z_FINISH;
            } else {
                pieceBytes = std::min(kChunkBytes, item.data.size() - memoryAt);
                piece = item.data.data() + memoryAt;
                memoryAt += pieceBytes;
                if (memoryAt == item.data.size()) flush = Z_FINISH;
            }
            crc = crc32(crc, piece, static_cast<uInt>(pieceBytes));
            bytesDone_ += pieceBytes;
            Deflate(deflater.stream, piece, pieceBytes, flush, out);
            if (progress_ && flush != Z_FINISH) progress_(filesDone_, bytesDone_);  // a large file moves too
        }
        U32(static_cast<uint32_t>(crc));
        ++filesDone_;
        if (progress_) progress_(filesDone_, bytesDone_);
    }

    void Deflate(z_stream& z, const uint8_t* piece, size_t pieceBytes, int flush, std::vector<uint8_t>& out) {
        z.next_in = const_cast<Bytef*>(piece);
        z.avail_in = static_cast<uInt>(pieceBytes);
        int status = Z_OK;
        do {
            z.next_out = out.data();
            z.avail_out = static_cast<uInt>(out.size());
            status = deflate(&z, flush);
            if (status == Z_STREAM_ERROR) throw std::runtime_error("zlib could not compress a package file");
            Bytes(out.data(), out.size() - z.avail_out);
        } while (z.avail_out == 0 || (flush == Z_FINISH && status != Z_STREAM_END));
    }

    PackageSink& sink_;
    const PackageProgress& progress_;
    uint64_t position_ = 0;
    size_t filesDone_ = 0;
    uint64_t bytesDone_ = 0;
};

}  // namespace

uint64_t WritePackage(PackageSink& sink, const std::vector<PackageItem>& rootItems, const PackageProgress& progress) {
    Writer writer(sink, progress);
    const uint8_t magic[4] = {'Q', 'V', 'R', 0};
    writer.Bytes(magic, 4);
    PackageItem root{"Application", true, {}, rootItems, {}, 0};
    writer.Entry(root);
    writer.U32(static_cast<uint32_t>(writer.Position()));
    writer.U32(1);
    return writer.Position();
}

std::vector<uint8_t> WritePackage(const std::vector<PackageItem>& rootItems) {
    MemorySink sink;
    WritePackage(sink, rootItems);
    return std::move(sink.out);
}

namespace {

std::vector<PackageItem> Collect(const std::string& folder, const std::string& relativeFolder, const KeepEntry& keep) {
    std::vector<platform::FolderEntry> entries = platform::ListFolder(folder);
    if (entries.empty() && !platform::FolderExists(folder))
        throw std::runtime_error("cannot read the folder " + folder + SystemReason());
    std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
    std::vector<PackageItem> items;
    for (const platform::FolderEntry& entry : entries) {
        const std::string path = platform::JoinPath(folder, entry.name);
        const std::string relativePath = relativeFolder.empty() ? entry.name : relativeFolder + "/" + entry.name;
        if (keep && !keep(path, relativePath, entry)) continue;
        const bool isFolder = entry.isFolder || (entry.isLink && platform::FolderExists(path));
        PackageItem item{entry.name, isFolder, {}, {}, {}, 0};
        if (isFolder) {
            item.children = Collect(path, relativePath, keep);
        } else {
            std::unique_ptr<platform::File> file = platform::OpenFile(path, platform::FileMode::ReadShared);
            if (!file) throw std::runtime_error("cannot read " + path + SystemReason());
            item.sourcePath = path;
            item.sizeBytes = static_cast<uint64_t>(std::max<int64_t>(file->Size(), 0));
        }
        items.push_back(std::move(item));
    }
    return items;
}

}  // namespace

std::vector<PackageItem> CollectFolder(const std::string& folder, const KeepEntry& keep) {
    return Collect(folder, "", keep);
}

}  // namespace velmo::builder
