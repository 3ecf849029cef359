#pragma once
// The encodings inside the settings records: little-endian integers, texts and paths (a u32 count
// of UTF-16 units including the NUL, 0 for none, then the units), fonts and times. The reader
// never reads past its buffer: the first field that does not fit makes every later read fail.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "shell/settings_record.h"

namespace velmo::shell {

class RecordReader {
public:
    explicit RecordReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}

    bool Ok() const { return ok_; }
    size_t Remaining() const { return ok_ ? bytes_.size() - at_ : 0; }

    uint32_t U32();
    uint16_t U16();
    int32_t I32() { return static_cast<int32_t>(U32()); }
    uint8_t U8();
    Text ReadText();                                    // nullopt for count 0
    std::string Path(size_t maxChars = kMaxPathChars);  // cut to `maxChars`
    LogFont Font();
    SystemTime Time();
    std::span<const uint8_t> Bytes(size_t sizeBytes);  // empty (and failed) when short

private:
    bool Take(size_t sizeBytes);
    std::optional<std::u16string> Units();

    std::span<const uint8_t> bytes_;
    size_t at_ = 0;
    bool ok_ = true;
};

class RecordWriter {
public:
    void U32(uint32_t v);
    void U16(uint16_t v);
    void I32(int32_t v) { U32(static_cast<uint32_t>(v)); }
    void U8(uint8_t v) { out_.push_back(v); }
    void WriteText(const Text& text);    // absent: count 0; present: with its NUL counted
    void Path(const std::string& path);  // empty: count 0
    void Font(const LogFont& font);
    void Time(const SystemTime& time);
    void Bytes(std::span<const uint8_t> bytes) { out_.insert(out_.end(), bytes.begin(), bytes.end()); }

    std::vector<uint8_t> Take() { return std::move(out_); }

private:
    std::vector<uint8_t> out_;
};

}  // namespace velmo::shell
