#pragma once
// The per-user profile of one application: HKEY_CURRENT_USER\Software\<key>\<profile>\<section>, holding
// binary, string and 32-bit integer values. Section and value names match without regard to ASCII case. Every
// write is persisted before it returns; failures set the last error.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace velmo::platform {

// A read of a missing value, or of a value stored with another type, is nullopt.
class Profile {
public:
    virtual ~Profile() = default;
    virtual std::optional<std::vector<uint8_t>> ReadBinary(const std::string& section, const std::string& value) = 0;
    [[nodiscard]] virtual bool WriteBinary(const std::string& section, const std::string& value,
                                           std::span<const uint8_t> bytes) = 0;
    virtual std::optional<std::string> ReadString(const std::string& section, const std::string& value) = 0;
    [[nodiscard]] virtual bool WriteString(const std::string& section, const std::string& value,
                                           const std::string& text) = 0;
    virtual std::optional<uint32_t> ReadInteger(const std::string& section, const std::string& value) = 0;
    [[nodiscard]] virtual bool WriteInteger(const std::string& section, const std::string& value, uint32_t number) = 0;
};

// The profile of one application; registry key and profile name as the identifier record gives them.
std::unique_ptr<Profile> OpenProfile(const std::string& registryKey, const std::string& profileName);

}  // namespace velmo::platform
