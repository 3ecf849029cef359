#include "shell/movie_header.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <memory>
#include <vector>

#include "platform/files.h"

namespace velmo::shell {

namespace {

constexpr size_t kSignatureBytes = 8;  // signature, version, uncompressed length
constexpr size_t kTrailerBytes = 8;    // what follows a movie appended to a player program
constexpr uint16_t kEndTag = 0;
constexpr uint16_t kSetBackgroundColorTag = 9;

// A forward-only reader of a movie's bytes: the plain bytes of a span or a file region, or the
// inflated body of a compressed movie. Movies can be large, so nothing holds them whole.
class Stream {
public:
    virtual ~Stream() = default;
    // Fills up to `size` bytes; fewer only at the end of the stream or on damage.
    virtual size_t Read(uint8_t* buffer, size_t size) = 0;

    bool ReadExactly(uint8_t* buffer, size_t size) { return Read(buffer, size) == size; }
    bool Skip(uint64_t count) {
        std::array<uint8_t, 4096> scratch;
        while (count > 0) {
            const size_t step = static_cast<size_t>(std::min<uint64_t>(count, scratch.size()));
            if (Read(scratch.data(), step) != step) return false;
            count -= step;
        }
        return true;
    }
};

class SpanStream final : public Stream {
public:
    explicit SpanStream(std::span<const uint8_t> bytes) : bytes_(bytes) {}
    size_t Read(uint8_t* buffer, size_t size) override {
        const size_t count = std::min(size, bytes_.size() - at_);
        std::copy_n(bytes_.data() + at_, count, buffer);
        at_ += count;
        return count;
    }

private:
    std::span<const uint8_t> bytes_;
    size_t at_ = 0;
};

class RegionStream final : public Stream {
public:
    RegionStream(platform::PlainMovie& bytes, uint64_t offset, uint64_t length)
        : bytes_(bytes), at_(offset), end_(offset + length) {}
    size_t Read(uint8_t* buffer, size_t size) override {
        size_t total = 0;
        while (total < size && at_ < end_) {
            const size_t want = static_cast<size_t>(std::min<uint64_t>(size - total, end_ - at_));
            const size_t got = bytes_.ReadAt(at_, buffer + total, want);
            if (got == 0) break;
            total += got;
            at_ += got;
        }
        return total;
    }

private:
    platform::PlainMovie& bytes_;
    uint64_t at_;
    uint64_t end_;
};

class InflateStream final : public Stream {
public:
    explicit InflateStream(Stream& source) : source_(source) { ok_ = inflateInit(&z_) == Z_OK; }
    ~InflateStream() override {
        if (ok_) inflateEnd(&z_);
    }
    size_t Read(uint8_t* buffer, size_t size) override {
        if (!ok_ || size == 0) return 0;
        z_.next_out = buffer;
        z_.avail_out = static_cast<uInt>(size);
        while (z_.avail_out > 0 && !ended_) {
            if (z_.avail_in == 0) {
                z_.next_in = input_.data();
                z_.avail_in = static_cast<uInt>(source_.Read(input_.data(), input_.size()));
            }
            const uInt before = z_.avail_out;
            const int status = inflate(&z_, Z_NO_FLUSH);
            if (status == Z_STREAM_END) ended_ = true;
            else if (status != Z_OK && status != Z_BUF_ERROR) break;
            // No input left and nothing produced: the stream was cut short.
            if (z_.avail_in == 0 && z_.avail_out == before && status == Z_BUF_ERROR) break;
        }
        return size - z_.avail_out;
    }

private:
    Stream& source_;
    z_stream z_{};
    std::array<uint8_t, 4096> input_{};
    bool ok_ = false;
    bool ended_ = false;
};

class BitReader {
public:
    explicit BitReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}
    uint32_t Unsigned(int count) {
        uint32_t value = 0;
        for (int i = 0; i < count; ++i, ++bit_) value = (value << 1) | ((bytes_[bit_ / 8] >> (7 - bit_ % 8)) & 1u);
        return value;
    }
    int32_t Signed(int count) {
        const uint32_t raw = Unsigned(count);
        // Sign-extend from `count` bits (count is at most 31 here).
        const uint32_t sign = count ? 1u << (count - 1) : 0;
        return static_cast<int32_t>((raw ^ sign) - sign);
    }

private:
    std::span<const uint8_t> bytes_;
    size_t bit_ = 0;
};

// The first SetBackgroundColor tag's colour, walking the tags until it, the end tag or the end of
// the bytes; -1 when there is none. A damaged tag stream keeps what the header said.
int32_t FindBackgroundColor(Stream& body) {
    for (;;) {
        std::array<uint8_t, 4> word;
        if (!body.ReadExactly(word.data(), 2)) return -1;
        const uint16_t codeAndLength = static_cast<uint16_t>(word[0] | word[1] << 8);
        const uint16_t code = codeAndLength >> 6;
        uint32_t length = codeAndLength & 0x3F;
        if (length == 0x3F) {  // the long form: the length follows as its own word
            if (!body.ReadExactly(word.data(), 4)) return -1;
            length = static_cast<uint32_t>(word[0] | word[1] << 8 | word[2] << 16) | uint32_t{word[3]} << 24;
        }
        if (code == kEndTag) return -1;
        if (code == kSetBackgroundColorTag) {
            if (length < 3 || !body.ReadExactly(word.data(), 3)) return -1;
            return word[0] << 16 | word[1] << 8 | word[2];
        }
        if (!body.Skip(length)) return -1;
    }
}

std::optional<MovieHeader> Parse(Stream& file) {
    std::array<uint8_t, kSignatureBytes> signature;
    if (!file.ReadExactly(signature.data(), signature.size())) return std::nullopt;
    if ((signature[0] != 'F' && signature[0] != 'C') || signature[1] != 'W' || signature[2] != 'S') return std::nullopt;
    MovieHeader header;
    header.version = signature[3];
    header.compressed = signature[0] == 'C';
    header.fileLength =
        static_cast<uint32_t>(signature[4] | signature[5] << 8 | signature[6] << 16) | uint32_t{signature[7]} << 24;
    std::unique_ptr<InflateStream> inflated;
    if (header.compressed) inflated = std::make_unique<InflateStream>(file);
    Stream& body = inflated ? static_cast<Stream&>(*inflated) : file;

    // The frame rectangle: a 5-bit field width n, then four n-bit signed values.
    std::array<uint8_t, 17> rect{};
    if (!body.ReadExactly(rect.data(), 1)) return std::nullopt;
    const int n = rect[0] >> 3;
    const size_t rectBytes = (5 + 4 * static_cast<size_t>(n) + 7) / 8;
    if (!body.ReadExactly(rect.data() + 1, rectBytes - 1)) return std::nullopt;
    BitReader bits(std::span<const uint8_t>(rect.data(), rectBytes));
    (void)bits.Unsigned(5);
    header.xMin = bits.Signed(n);
    header.xMax = bits.Signed(n);
    header.yMin = bits.Signed(n);
    header.yMax = bits.Signed(n);

    std::array<uint8_t, 4> rateAndCount;
    if (!body.ReadExactly(rateAndCount.data(), rateAndCount.size())) return std::nullopt;
    header.frameRate = rateAndCount[1] + rateAndCount[0] / 256.0;
    header.frameCount = static_cast<uint16_t>(rateAndCount[2] | rateAndCount[3] << 8);
    header.backgroundRgb = FindBackgroundColor(body);
    return header;
}

class FileBytes final : public platform::PlainMovie {
public:
    explicit FileBytes(std::unique_ptr<platform::File> file) : file_(std::move(file)) {}
    uint64_t Size() override {
        const int64_t size = file_->Size();
        return size > 0 ? static_cast<uint64_t>(size) : 0;
    }
    size_t ReadAt(uint64_t offset, uint8_t* buffer, size_t size) override {
        if (offset > static_cast<uint64_t>(INT64_MAX) ||
            file_->Seek(static_cast<int64_t>(offset), platform::SeekFrom::Begin) < 0)
            return 0;
        return file_->Read(buffer, size);
    }

private:
    std::unique_ptr<platform::File> file_;
};

}  // namespace

std::optional<MovieHeader> ParseMovieHeader(std::span<const uint8_t> bytes) {
    SpanStream stream(bytes);
    return Parse(stream);
}

std::optional<MovieHeader> ReadMovieHeader(platform::PlainMovie& bytes) {
    const uint64_t size = bytes.Size();
    RegionStream whole(bytes, 0, size);
    if (std::optional<MovieHeader> header = Parse(whole)) return header;

    // A player program with the movie appended: the movie's length closes the file.
    std::array<uint8_t, 4> word;
    if (size < kTrailerBytes || bytes.ReadAt(size - 4, word.data(), 4) != 4) return std::nullopt;
    const uint64_t length = static_cast<uint32_t>(word[0] | word[1] << 8 | word[2] << 16) | uint64_t{word[3]} << 24;
    if (length + kTrailerBytes > size) return std::nullopt;
    RegionStream appended(bytes, size - kTrailerBytes - length, length);
    return Parse(appended);
}

std::optional<MovieHeader> ReadMovieHeader(const std::string& path) {
    std::unique_ptr<platform::File> file = platform::OpenFile(path, platform::FileMode::ReadShared);
    if (!file) return std::nullopt;
    FileBytes bytes(std::move(file));
    return ReadMovieHeader(bytes);
}

}  // namespace velmo::shell
