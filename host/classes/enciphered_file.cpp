// Both directions stream in 4,096-byte chunks, so a file of any size costs one chunk of memory.
#include "host/classes/enciphered_file.h"

#include <array>
#include <memory>

#include "platform/files.h"
#include "shell/ciphers.h"

namespace velmo::host {

namespace {

constexpr size_t kChunkBytes = 4096;
constexpr size_t kBlock = 8;
constexpr size_t kLengthBytes = 8;

size_t ReadFull(platform::File& file, uint8_t* buffer, size_t size) {
    size_t got = 0;
    while (got < size) {
        const size_t n = file.Read(buffer + got, size - got);
        if (n == 0) break;
        got += n;
    }
    return got;
}

// The plain length recorded in an enciphered file, when it fits the file's size.
std::optional<uint64_t> PlainLength(platform::File& file) {
    const int64_t size = file.Size();
    std::array<uint8_t, kLengthBytes> word{};
    if (size < static_cast<int64_t>(kLengthBytes) ||
        file.Seek(size - static_cast<int64_t>(kLengthBytes), platform::SeekFrom::Begin) < 0 ||
        ReadFull(file, word.data(), word.size()) != word.size() || file.Seek(0, platform::SeekFrom::Begin) < 0)
        return std::nullopt;
    uint64_t length = 0;
    for (size_t i = 0; i < kLengthBytes; ++i) length |= uint64_t{word[i]} << (8 * i);
    const uint64_t body = static_cast<uint64_t>(size) - kLengthBytes;
    if (length > body || (length + kBlock - 1) / kBlock * kBlock != body) return std::nullopt;
    return length;
}

// Deciphers the body of `file` chunk by chunk, handing each chunk's plain bytes (cut at the
// recorded length) to `sink`; false when reading or the sink fails. `paddingClean` tells whether
// the bytes past the length deciphered to zeros.
template <class Sink>
bool DecipherBody(platform::File& file, uint64_t length, const shell::BlowfishKey& key, bool& paddingClean,
                  Sink&& sink) {
    std::array<uint8_t, kChunkBytes> chunk{};
    const uint64_t body = (length + kBlock - 1) / kBlock * kBlock;
    paddingClean = true;
    for (uint64_t at = 0; at < body;) {
        const size_t span = static_cast<size_t>(std::min<uint64_t>(chunk.size(), body - at));
        if (ReadFull(file, chunk.data(), span) != span) return false;
        shell::BlowfishBlocks(std::span<uint8_t>(chunk.data(), span), key, false);
        const size_t keep = static_cast<size_t>(std::min<uint64_t>(span, length - std::min(length, at)));
        for (size_t i = keep; i < span; ++i) paddingClean = paddingClean && chunk[i] == 0;
        if (keep > 0 && !sink(chunk.data(), keep)) return false;
        at += span;
    }
    return true;
}

}  // namespace

bool EncipherFile(const std::string& source, const std::string& destination, std::string_view key) {
    std::unique_ptr<platform::File> in = platform::OpenFile(source, platform::FileMode::ReadShared);
    if (!in) return false;
    std::unique_ptr<platform::File> out = platform::OpenFile(destination, platform::FileMode::CreateReadWrite);
    if (!out) return false;
    const shell::BlowfishKey cipherKey = shell::BlowfishKeyFor(key);
    std::array<uint8_t, kChunkBytes> chunk{};
    uint64_t length = 0;
    bool ok = true;
    for (;;) {
        const size_t got = ReadFull(*in, chunk.data(), chunk.size());
        if (got == 0) break;
        length += got;
        const size_t padded = (got + kBlock - 1) / kBlock * kBlock;
        std::fill(chunk.begin() + static_cast<std::ptrdiff_t>(got), chunk.begin() + static_cast<std::ptrdiff_t>(padded),
                  uint8_t{0});
        shell::BlowfishBlocks(std::span<uint8_t>(chunk.data(), padded), cipherKey, true);
        ok = ok && out->Write(chunk.data(), padded);
        if (got < chunk.size()) break;
    }
    std::array<uint8_t, kLengthBytes> word{};
    for (size_t i = 0; i < kLengthBytes; ++i) word[i] = static_cast<uint8_t>(length >> (8 * i));
    ok = ok && out->Write(word.data(), word.size());
    out.reset();
    if (!ok) (void)platform::DeleteFile(destination);
    return ok;
}

bool DecipherFile(const std::string& source, const std::string& destination, std::string_view key) {
    std::unique_ptr<platform::File> in = platform::OpenFile(source, platform::FileMode::ReadShared);
    if (!in) return false;
    const std::optional<uint64_t> length = PlainLength(*in);
    if (!length) return false;
    std::unique_ptr<platform::File> out = platform::OpenFile(destination, platform::FileMode::CreateReadWrite);
    if (!out) return false;
    bool paddingClean = true;
    const bool ok = DecipherBody(*in, *length, shell::BlowfishKeyFor(key), paddingClean,
                                 [&](const uint8_t* bytes, size_t size) { return out->Write(bytes, size); });
    out.reset();
    if (!ok) (void)platform::DeleteFile(destination);
    return ok;
}

std::optional<DecipheredBytes> DecipherFileBytes(const std::string& path, std::string_view key) {
    std::unique_ptr<platform::File> in = platform::OpenFile(path, platform::FileMode::ReadShared);
    if (!in) return std::nullopt;
    const std::optional<uint64_t> length = PlainLength(*in);
    if (!length) return std::nullopt;
    DecipheredBytes result;
    const bool ok = DecipherBody(*in, *length, shell::BlowfishKeyFor(key), result.paddingClean,
                                 [&](const uint8_t* bytes, size_t size) {
                                     result.plain.insert(result.plain.end(), bytes, bytes + size);
                                     return true;
                                 });
    if (!ok) return std::nullopt;
    return result;
}

}  // namespace velmo::host
