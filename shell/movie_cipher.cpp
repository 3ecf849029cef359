// The protection key below is this program's own, distinct from the record key: the builder
// enciphers movie keys with it and the runtime deciphers them, so it exists in this one place.
#include "shell/movie_cipher.h"

#include <algorithm>

#include "platform/files.h"

namespace velmo::shell {

namespace {

constexpr TripleDesKey kProtectionKey = {0xA1, 0x5C, 0x37, 0xE0, 0x92, 0x4B, 0x6E, 0x08, 0xD9, 0x71, 0x2F, 0xB4,
                                         0x13, 0xC8, 0x65, 0x9A, 0x4E, 0xF1, 0x0D, 0x86, 0x3B, 0xE7, 0x52, 0xAC};
// The enciphered part of the field: whole blocks; the last four bytes stay zero.
constexpr size_t kKeyBlockBytes = kProtectionBytes / 8 * 8;
constexpr size_t kBlock = 8;
constexpr size_t kLengthBytes = 8;

class EncipheredMovie final : public platform::PlainMovie {
public:
    EncipheredMovie(std::unique_ptr<platform::File> file, uint64_t plainSize, const BlowfishKey& key)
        : file_(std::move(file)), plainSize_(plainSize), key_(key) {}

    uint64_t Size() override { return plainSize_; }

    size_t ReadAt(uint64_t offset, uint8_t* buffer, size_t size) override {
        if (offset >= plainSize_) return 0;
        size = static_cast<size_t>(std::min<uint64_t>(size, plainSize_ - offset));
        size_t done = 0;
        while (done < size) {
            // Whole blocks around what is asked, a few at a time.
            const uint64_t at = offset + done;
            const uint64_t first = at / kBlock * kBlock;
            const size_t span = static_cast<size_t>(
                std::min<uint64_t>((at - first + (size - done) + kBlock - 1) / kBlock * kBlock, chunk_.size()));
            if (file_->Seek(static_cast<int64_t>(first), platform::SeekFrom::Begin) < 0) break;
            size_t got = 0;
            while (got < span) {
                const size_t n = file_->Read(chunk_.data() + got, span - got);
                if (n == 0) break;
                got += n;
            }
            if (got < span) break;  // the file changed under us
            BlowfishBlocks(std::span<uint8_t>(chunk_.data(), span), key_, false);
            const size_t skip = static_cast<size_t>(at - first);
            const size_t take = std::min(span - skip, size - done);
            std::copy_n(chunk_.data() + skip, take, buffer + done);
            done += take;
        }
        return done;
    }

private:
    std::unique_ptr<platform::File> file_;
    uint64_t plainSize_;
    BlowfishKey key_;
    std::array<uint8_t, 4096> chunk_{};
};

}  // namespace

std::string MovieKeyFromProtection(std::span<const uint8_t, kProtectionBytes> protection) {
    if (std::all_of(protection.begin(), protection.end(), [](uint8_t b) { return b == 0; })) return {};
    std::array<uint8_t, kKeyBlockBytes> text;
    std::copy_n(protection.begin(), text.size(), text.begin());
    TripleDesBlocks(text, kProtectionKey, false);
    const auto end = std::find(text.begin(), text.end(), uint8_t{0});
    if (end == text.end()) return {};
    return std::string(text.begin(), end);
}

std::array<uint8_t, kProtectionBytes> ProtectionForKey(std::string_view key) {
    std::array<uint8_t, kProtectionBytes> field{};
    if (key.empty()) return field;
    std::copy_n(key.data(), std::min(key.size(), kKeyBlockBytes - 1), field.begin());
    TripleDesBlocks(std::span<uint8_t>(field.data(), kKeyBlockBytes), kProtectionKey, true);
    return field;
}

std::vector<uint8_t> EncipherMovie(std::span<const uint8_t> plain, std::string_view key) {
    std::vector<uint8_t> stored(plain.begin(), plain.end());
    stored.resize((plain.size() + kBlock - 1) / kBlock * kBlock, 0);
    BlowfishBlocks(stored, BlowfishKeyFor(key), true);
    for (size_t i = 0; i < kLengthBytes; ++i) stored.push_back(static_cast<uint8_t>(uint64_t{plain.size()} >> (8 * i)));
    return stored;
}

std::unique_ptr<platform::PlainMovie> OpenEncipheredMovie(const std::string& path, std::string_view key) {
    std::unique_ptr<platform::File> file = platform::OpenFile(path, platform::FileMode::ReadShared);
    if (!file) return nullptr;
    const int64_t size = file->Size();
    std::array<uint8_t, kLengthBytes> word{};
    if (size < static_cast<int64_t>(kLengthBytes) || file->Seek(size - kLengthBytes, platform::SeekFrom::Begin) < 0 ||
        file->Read(word.data(), word.size()) != word.size())
        return nullptr;
    uint64_t plainSize = 0;
    for (size_t i = 0; i < kLengthBytes; ++i) plainSize |= uint64_t{word[i]} << (8 * i);
    const uint64_t body = static_cast<uint64_t>(size) - kLengthBytes;
    if (plainSize > body || (plainSize + kBlock - 1) / kBlock * kBlock != body) return nullptr;
    return std::make_unique<EncipheredMovie>(std::move(file), plainSize, BlowfishKeyFor(key));
}

}  // namespace velmo::shell
