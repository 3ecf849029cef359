// Win32 profile: the registry under HKEY_CURRENT_USER\Software\<key>\<profile>\<section>, as the
// application framework lays it out. The registry compares names without case and persists every
// write itself. Registry calls return their error instead of setting it; it is passed on to the
// last error here.
#include "platform/profile.h"

#include <windows.h>

#include "platform/last_error.h"
#include "platform/os/win32/handles.h"
#include "platform/os/win32/registry.h"

namespace velmo::platform {

namespace {

class RegistryProfile final : public Profile {
public:
    explicit RegistryProfile(std::string path) : path_(std::move(path)) {}

    std::optional<std::vector<uint8_t>> ReadBinary(const std::string& section, const std::string& value) override {
        return Read(section, value, REG_BINARY);
    }
    bool WriteBinary(const std::string& section, const std::string& value, std::span<const uint8_t> bytes) override {
        return Write(section, value, REG_BINARY, bytes);
    }
    std::optional<std::string> ReadString(const std::string& section, const std::string& value) override {
        std::optional<std::vector<uint8_t>> data = Read(section, value, REG_SZ);
        if (!data) return std::nullopt;
        // The stored terminator is not part of the text; a value written without one has none.
        std::string text(data->begin(), data->end());
        const size_t end = text.find('\0');
        if (end != std::string::npos) text.resize(end);
        return text;
    }
    bool WriteString(const std::string& section, const std::string& value, const std::string& text) override {
        const auto* begin = reinterpret_cast<const uint8_t*>(text.c_str());
        return Write(section, value, REG_SZ, std::span<const uint8_t>(begin, text.size() + 1));
    }
    std::optional<uint32_t> ReadInteger(const std::string& section, const std::string& value) override {
        std::optional<std::vector<uint8_t>> data = Read(section, value, REG_DWORD);
        if (!data) return std::nullopt;
        if (data->size() != sizeof(uint32_t)) {
            SetLastErrorCode(kErrorInvalidData);
            return std::nullopt;
        }
        return static_cast<uint32_t>((*data)[0]) | (static_cast<uint32_t>((*data)[1]) << 8) |
               (static_cast<uint32_t>((*data)[2]) << 16) | (static_cast<uint32_t>((*data)[3]) << 24);
    }
    bool WriteInteger(const std::string& section, const std::string& value, uint32_t number) override {
        const uint8_t bytes[4] = {static_cast<uint8_t>(number), static_cast<uint8_t>(number >> 8),
                                  static_cast<uint8_t>(number >> 16), static_cast<uint8_t>(number >> 24)};
        return Write(section, value, REG_DWORD, bytes);
    }

private:
    static bool Failed(LSTATUS status) {
        if (status == ERROR_SUCCESS) return false;
        SetLastErrorCode(static_cast<uint32_t>(status));
        return true;
    }

    // A value of another type reads as missing: the caller's default applies, as for no value.
    std::optional<std::vector<uint8_t>> Read(const std::string& section, const std::string& value, DWORD type) {
        win32::RegistryKey key;
        if (Failed(::RegOpenKeyExA(HKEY_CURRENT_USER, (path_ + section).c_str(), 0, KEY_QUERY_VALUE, key.Receive())))
            return std::nullopt;
        // The value may grow between asking for its size and reading it; then ask again.
        for (;;) {
            DWORD storedType = 0, size = 0;
            if (Failed(::RegQueryValueExA(key.Get(), value.c_str(), nullptr, &storedType, nullptr, &size)))
                return std::nullopt;
            if (storedType != type) {
                SetLastErrorCode(kErrorInvalidData);
                return std::nullopt;
            }
            std::vector<uint8_t> data(size);
            const LSTATUS status =
                ::RegQueryValueExA(key.Get(), value.c_str(), nullptr, &storedType, data.data(), &size);
            if (status == ERROR_MORE_DATA) continue;
            if (Failed(status)) return std::nullopt;
            data.resize(size);
            return data;
        }
    }

    bool Write(const std::string& section, const std::string& value, DWORD type, std::span<const uint8_t> bytes) {
        if (bytes.size() > MAXDWORD) {
            SetLastErrorCode(kErrorNotEnoughMemory);
            return false;
        }
        win32::RegistryKey key;
        if (Failed(::RegCreateKeyExA(HKEY_CURRENT_USER, (path_ + section).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                     KEY_SET_VALUE, nullptr, key.Receive(), nullptr)))
            return false;
        return !Failed(
            ::RegSetValueExA(key.Get(), value.c_str(), 0, type, bytes.data(), static_cast<DWORD>(bytes.size())));
    }

    std::string path_;  // "Software\<key>\<profile>\", the section name follows
};

}  // namespace

std::unique_ptr<Profile> OpenProfile(const std::string& registryKey, const std::string& profileName) {
    return std::make_unique<RegistryProfile>("Software\\" + registryKey + '\\' + profileName + '\\');
}

bool win32::RemoveUserSoftwareKey(const std::string& key) {
    if (key.empty()) {
        SetLastErrorCode(ERROR_INVALID_PARAMETER);
        return false;
    }
    const LSTATUS status = ::RegDeleteTreeA(HKEY_CURRENT_USER, ("Software\\" + key).c_str());
    if (status == ERROR_SUCCESS) return true;
    SetLastErrorCode(static_cast<uint32_t>(status));
    return false;
}

}  // namespace velmo::platform
