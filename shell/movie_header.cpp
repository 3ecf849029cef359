#include "shell/movie_header.h"

#include <zlib.h>

#include <array>
#include <vector>

#include "platform/files.h"

namespace velmo::shell {

namespace {

constexpr size_t kSignatureBytes = 8;  // signature, version, uncompressed length
// The frame rectangle takes at most 5 + 4 x 31 bits, then come the rate and the count.
constexpr size_t kBodyBytes = 17 + 4;
// Enough compressed input to inflate kBodyBytes from, with room for an unusual encoder.
constexpr size_t kReadBytes = 4096;

class BitReader {
public:
    explicit BitReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}
    bool Unsigned(int count, uint32_t& value) {
        value = 0;
        for (int i = 0; i < count; ++i, ++bit_) {
            if (bit_ / 8 >= bytes_.size()) return false;
            value = (value << 1) | ((bytes_[bit_ / 8] >> (7 - bit_ % 8)) & 1u);
        }
        return true;
    }
    bool Signed(int count, int32_t& value) {
        uint32_t raw = 0;
        if (!Unsigned(count, raw)) return false;
        // Sign-extend from `count` bits (count is at most 31 here).
        const uint32_t sign = count ? 1u << (count - 1) : 0;
        value = static_cast<int32_t>((raw ^ sign) - sign);
        return true;
    }
    size_t NextByte() const { return (bit_ + 7) / 8; }

private:
    std::span<const uint8_t> bytes_;
    size_t bit_ = 0;
};

// Inflates the start of a compressed movie's body; fewer bytes than asked when the stream is short.
std::vector<uint8_t> InflatePrefix(std::span<const uint8_t> input, size_t wanted) {
    std::vector<uint8_t> out(wanted);
    z_stream z{};
    if (inflateInit(&z) != Z_OK) return {};
    z.next_in = const_cast<Bytef*>(input.data());
    z.avail_in = static_cast<uInt>(input.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    const int status = inflate(&z, Z_SYNC_FLUSH);
    const size_t produced = out.size() - z.avail_out;
    inflateEnd(&z);
    if (status != Z_OK && status != Z_STREAM_END && status != Z_BUF_ERROR) return {};
    out.resize(produced);
    return out;
}

}  // namespace

std::optional<MovieHeader> ParseMovieHeader(std::span<const uint8_t> bytes) {
    if (bytes.size() < kSignatureBytes || bytes[1] != 'W' || bytes[2] != 'S') return std::nullopt;
    MovieHeader header;
    header.version = bytes[3];
    std::vector<uint8_t> inflated;
    std::span<const uint8_t> body = bytes.subspan(kSignatureBytes);
    if (bytes[0] == 'C') {
        header.compressed = true;
        inflated = InflatePrefix(body, kBodyBytes);
        body = inflated;
    } else if (bytes[0] != 'F') {
        return std::nullopt;
    }
    BitReader bits(body);
    uint32_t width = 0;
    if (!bits.Unsigned(5, width)) return std::nullopt;
    const int n = static_cast<int>(width);
    if (!bits.Signed(n, header.xMin) || !bits.Signed(n, header.xMax) || !bits.Signed(n, header.yMin) ||
        !bits.Signed(n, header.yMax))
        return std::nullopt;
    const size_t at = bits.NextByte();
    if (body.size() < at + 4) return std::nullopt;
    header.frameRate = body[at + 1] + body[at] / 256.0;
    header.frameCount = static_cast<uint16_t>(body[at + 2] | body[at + 3] << 8);
    return header;
}

std::optional<MovieHeader> ReadMovieHeader(const std::string& path) {
    const std::unique_ptr<platform::File> file = platform::OpenFile(path, platform::FileMode::ReadShared);
    if (!file) return std::nullopt;
    std::array<uint8_t, kReadBytes> buffer;
    size_t have = 0;
    while (have < buffer.size()) {
        const size_t got = file->Read(buffer.data() + have, buffer.size() - have);
        if (got == 0) break;
        have += got;
    }
    return ParseMovieHeader(std::span<const uint8_t>(buffer.data(), have));
}

}  // namespace velmo::shell
