// Pool records: integers big-endian (high half first), floats little-endian, strings and patterns
// as UTF-16LE of the 8-bit text, names as their bytes and a 0.
#include "script/compiler/constant_pool.h"

#include <cstdio>
#include <cstring>

#include "platform/text.h"
#include "script/runtime/module.h"
#include "script/runtime/name_hash.h"

namespace velmo::script::compiler {

namespace {

void AppendUtf16LE(std::vector<uint8_t>& out, std::string_view ansi) {
    const std::u16string text16 = platform::AnsiToUtf16(ansi);
    AppendU32BE(out, static_cast<uint32_t>(text16.size() * 2));
    for (char16_t c : text16) {
        out.push_back(static_cast<uint8_t>(c));
        out.push_back(static_cast<uint8_t>(c >> 8));
    }
}

uint64_t DoubleBits(double d) {
    uint64_t bits = 0;
    std::memcpy(&bits, &d, sizeof bits);
    return bits;
}

// The bit pattern tells every double apart, -0 from 0 and tiny values from each other, which a
// fixed-precision decimal text does not.
std::string FloatKey(double d) {
    char text[24];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(DoubleBits(d)));
    return text;
}

// Flags first and a separator: pattern + flag letters alone would give /ag/ and /a/g one entry.
std::string RegExpKey(const Constant& c) {
    std::string key;
    if (c.regexpFlags & 1) key += 'g';
    if (c.regexpFlags & 2) key += 'i';
    if (c.regexpFlags & 4) key += 'm';
    key += '/';
    key += c.text;
    return key;
}

}  // namespace

uint32_t ConstantPool::Intern(std::string key, uint8_t kind, bool& isNew) {
    std::vector<Entry>& bucket = buckets_[NameHash(key) % kBuckets];
    for (const Entry& e : bucket) {
        if (e.kind == kind && e.key == key) {
            isNew = false;
            return e.index;
        }
    }
    isNew = true;
    bucket.push_back({std::move(key), kind, count_});
    return count_++;
}

uint32_t ConstantPool::InternName(std::string_view name) {
    bool isNew = false;
    const uint32_t index = Intern(std::string(name), static_cast<uint8_t>(PoolKind::Name), isNew);
    if (isNew) {
        bytes_.push_back(static_cast<uint8_t>(PoolKind::Name));
        bytes_.insert(bytes_.end(), name.begin(), name.end());
        bytes_.push_back(0);
    }
    return index;
}

uint32_t ConstantPool::InternConstant(const Constant& c) {
    std::string key;
    switch (c.kind) {
        case Constant::Kind::Integer: key = std::to_string(c.integer); break;
        case Constant::Kind::String: key = c.text; break;
        case Constant::Kind::Float: key = FloatKey(c.number); break;
        case Constant::Kind::RegExp: key = RegExpKey(c); break;
    }
    bool isNew = false;
    const uint8_t kind = static_cast<uint8_t>(c.kind);
    const uint32_t index = Intern(std::move(key), kind, isNew);
    if (!isNew) return index;
    bytes_.push_back(kind);
    switch (c.kind) {
        case Constant::Kind::Integer: {
            const uint64_t v = static_cast<uint64_t>(c.integer);
            AppendU32BE(bytes_, static_cast<uint32_t>(v >> 32));
            AppendU32BE(bytes_, static_cast<uint32_t>(v));
            break;
        }
        case Constant::Kind::String: AppendUtf16LE(bytes_, c.text); break;
        case Constant::Kind::Float: {
            const uint64_t bits = DoubleBits(c.number);
            for (int i = 0; i < 8; ++i) bytes_.push_back(static_cast<uint8_t>(bits >> (8 * i)));
            break;
        }
        case Constant::Kind::RegExp:
            bytes_.push_back(c.regexpFlags);
            AppendUtf16LE(bytes_, c.text);
            break;
    }
    return index;
}

}  // namespace velmo::script::compiler
