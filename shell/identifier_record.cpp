#include "shell/identifier_record.h"

#include <algorithm>
#include <cstdio>

#include "platform/byte_order.h"
#include "platform/text.h"
#include "shell/digest.h"

namespace velmo::shell {

namespace {

// The identifier's UTF-16 units up to its NUL; the index just past the NUL in `end`, or nullopt
// when no NUL is found.
std::optional<std::u16string> ReadIdentifier(std::span<const uint8_t> bytes, size_t& end) {
    std::u16string units;
    for (size_t at = 0; at + 1 < bytes.size(); at += 2) {
        const char16_t c = platform::LoadU16(&bytes[at]);
        if (c == 0) {
            end = at + 2;
            return units;
        }
        units.push_back(c);
    }
    return std::nullopt;
}

}  // namespace

std::string GuidText(const std::array<uint8_t, 16>& g) {
    char text[40];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned>(platform::LoadU32(&g[0])), platform::LoadU16(&g[4]), platform::LoadU16(&g[6]),
                  g[8], g[9], g[10], g[11], g[12], g[13], g[14], g[15]);
    return text;
}

std::optional<IdentifierRecord> ReadIdentifierRecord(std::span<const uint8_t> bytes,
                                                     const std::string& applicationName) {
    if (bytes.size() < kMinIdentifierRecordBytes) return std::nullopt;
    size_t end = 0;
    const std::optional<std::u16string> identifier = ReadIdentifier(bytes, end);
    if (!identifier || bytes.size() - end < 32) return std::nullopt;

    std::array<uint8_t, 16> guid, digest;
    std::copy_n(bytes.begin() + static_cast<ptrdiff_t>(end), 16, guid.begin());
    std::copy_n(bytes.begin() + static_cast<ptrdiff_t>(end + 16), 16, digest.begin());
    DecipherBlocks(digest);
    if (Md5(bytes.first(end + 16)) != digest) return std::nullopt;
    DecipherBlocks(guid);

    IdentifierRecord record;
    record.identifier = platform::Utf16ToAnsi(*identifier);
    record.guidText = GuidText(guid);
    const size_t slash = record.identifier.find('/');
    record.registryKey = record.identifier.substr(0, slash);
    record.profileName = slash == std::string::npos ? applicationName : record.identifier.substr(slash + 1);
    return record;
}

std::vector<uint8_t> WriteIdentifierRecord(const std::string& identifier, const std::array<uint8_t, 16>& guid) {
    std::vector<uint8_t> out;
    for (char16_t c : platform::AnsiToUtf16(identifier)) platform::AppendU16(out, c);
    platform::AppendU16(out, 0);
    std::array<uint8_t, 16> sealed = guid;
    EncipherBlocks(sealed);
    out.insert(out.end(), sealed.begin(), sealed.end());
    std::array<uint8_t, 16> digest = Md5(out);
    EncipherBlocks(digest);
    out.insert(out.end(), digest.begin(), digest.end());
    return out;
}

std::string MakeDisplayName(const std::string& identifier) {
    std::string name = identifier;
    const size_t at = name.find("\\V");
    if (at != std::string::npos && at + 2 < name.size() && name[at + 2] >= '0' && name[at + 2] <= '9') name[at] = ' ';
    return name;
}

}  // namespace velmo::shell
