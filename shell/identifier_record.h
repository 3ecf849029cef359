#pragma once
// The identifier record "ID": the application identifier (UTF-16LE, NUL-terminated) naming the
// profile's registry key and profile name, the application GUID enciphered with our Triple-DES key,
// and the enciphered MD5 digest of everything before it. The key lives only in the .cpp file, shared
// by the runtime's reader and the builder's writer.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace velmo::shell {

inline constexpr size_t kMinIdentifierRecordBytes = 33;

struct IdentifierRecord {
    std::string identifier;   // as stored, in the 8-bit code page
    std::string guidText;     // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"
    std::string registryKey;  // before the first '/', or the whole identifier
    std::string profileName;  // after the first '/', or `applicationName`
};

// Decodes and checks the record; nullopt when it is shorter than 33 bytes, has no NUL-terminated
// identifier followed by 32 bytes, or its digest does not match.
std::optional<IdentifierRecord> ReadIdentifierRecord(std::span<const uint8_t> bytes,
                                                     const std::string& applicationName);

// Builds a record for `identifier` and the 16 GUID bytes (in memory order: u32, u16, u16, 8 bytes).
std::vector<uint8_t> WriteIdentifierRecord(const std::string& identifier, const std::array<uint8_t, 16>& guid);

// The GUID text of 16 bytes in memory order, as the system formats it.
std::string GuidText(const std::array<uint8_t, 16>& guid);

// Turns the first "\V" that is followed by a digit into " V": "Product\V1.1" shows as "Product V1.1".
std::string MakeDisplayName(const std::string& identifier);

}  // namespace velmo::shell
