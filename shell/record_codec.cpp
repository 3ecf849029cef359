#include "shell/record_codec.h"

#include "platform/byte_order.h"
#include "platform/text.h"

namespace velmo::shell {

bool RecordReader::Take(size_t sizeBytes) {
    if (!ok_ || sizeBytes > bytes_.size() - at_) {
        ok_ = false;
        return false;
    }
    return true;
}

uint32_t RecordReader::U32() {
    if (!Take(4)) return 0;
    const uint32_t v = platform::LoadU32(&bytes_[at_]);
    at_ += 4;
    return v;
}

uint16_t RecordReader::U16() {
    if (!Take(2)) return 0;
    const uint16_t v = platform::LoadU16(&bytes_[at_]);
    at_ += 2;
    return v;
}

uint8_t RecordReader::U8() {
    if (!Take(1)) return 0;
    return bytes_[at_++];
}

std::span<const uint8_t> RecordReader::Bytes(size_t sizeBytes) {
    if (!Take(sizeBytes)) return {};
    const std::span<const uint8_t> out = bytes_.subspan(at_, sizeBytes);
    at_ += sizeBytes;
    return out;
}

// The units of a counted string, up to its first NUL; nullopt for count 0 or when it runs short.
std::optional<std::u16string> RecordReader::Units() {
    const uint32_t count = U32();
    if (!ok_ || count == 0) return std::nullopt;
    if (count > Remaining() / 2) {  // checked before anything is sized by it
        ok_ = false;
        return std::nullopt;
    }
    std::u16string units;
    for (uint32_t i = 0; i < count; ++i) {
        const char16_t c = platform::LoadU16(&bytes_[at_ + 2 * i]);
        if (c == 0) break;
        units.push_back(c);
    }
    at_ += 2 * size_t{count};
    return units;
}

Text RecordReader::ReadText() {
    std::optional<std::u16string> units = Units();
    if (!units) return std::nullopt;
    return platform::Utf16ToAnsi(*units);
}

std::string RecordReader::Path(size_t maxChars) {
    std::optional<std::u16string> units = Units();
    if (!units) return {};
    // Cut whole characters only, so the path converts back to the same units.
    if (units->size() > maxChars) units->resize(maxChars);
    std::string path = platform::Utf16ToAnsi(*units);
    while (path.size() > maxChars) {
        units->pop_back();
        if (!units->empty() && units->back() >= 0xD800 && units->back() <= 0xDBFF) units->pop_back();
        path = platform::Utf16ToAnsi(*units);
    }
    return path;
}

LogFont RecordReader::Font() {
    LogFont f;
    f.height = I32();
    f.width = I32();
    f.escapement = I32();
    f.orientation = I32();
    f.weight = I32();
    for (uint8_t* b : {&f.italic, &f.underline, &f.strikeOut, &f.charSet, &f.outPrecision, &f.clipPrecision, &f.quality,
                       &f.pitchAndFamily})
        *b = U8();
    f.faceName = Path(kMaxFaceNameChars);
    return f;
}

SystemTime RecordReader::Time() {
    SystemTime t;
    for (uint16_t* w : {&t.year, &t.month, &t.dayOfWeek, &t.day, &t.hour, &t.minute, &t.second, &t.milliseconds})
        *w = U16();
    return t;
}

void RecordWriter::U32(uint32_t v) { platform::AppendU32(out_, v); }
void RecordWriter::U16(uint16_t v) { platform::AppendU16(out_, v); }

void RecordWriter::WriteText(const Text& text) {
    if (!text) {
        U32(0);
        return;
    }
    const std::u16string units = platform::AnsiToUtf16(*text);
    U32(static_cast<uint32_t>(units.size() + 1));
    for (char16_t c : units) U16(c);
    U16(0);
}

void RecordWriter::Path(const std::string& path) { WriteText(path.empty() ? Text() : Text(path)); }

void RecordWriter::Font(const LogFont& f) {
    for (int32_t v : {f.height, f.width, f.escapement, f.orientation, f.weight}) I32(v);
    for (uint8_t b :
         {f.italic, f.underline, f.strikeOut, f.charSet, f.outPrecision, f.clipPrecision, f.quality, f.pitchAndFamily})
        U8(b);
    Path(f.faceName);
}

void RecordWriter::Time(const SystemTime& t) {
    for (uint16_t w : {t.year, t.month, t.dayOfWeek, t.day, t.hour, t.minute, t.second, t.milliseconds}) U16(w);
}

}  // namespace velmo::shell
