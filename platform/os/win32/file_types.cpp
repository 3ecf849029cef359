// File types in HKEY_CLASSES_ROOT, each key's default REG_SZ value. Registry calls return their
// error instead of setting it; it is passed on to the last error here.
#include "platform/file_types.h"

#include <windows.h>

#include <vector>

#include "platform/last_error.h"
#include "platform/os/win32/handles.h"

namespace velmo::platform {

namespace {
// The extension's value is read with a buffer of this size, as the association has always read it.
constexpr DWORD kMaxValueBytes = 520;

bool Failed(LSTATUS status) {
    if (status == ERROR_SUCCESS) return false;
    SetLastErrorCode(static_cast<uint32_t>(status));
    return true;
}
}  // namespace

std::optional<std::string> ReadFileTypeValue(const std::string& keyPath) {
    win32::RegistryKey key;
    if (Failed(::RegOpenKeyExA(HKEY_CLASSES_ROOT, keyPath.c_str(), 0, KEY_QUERY_VALUE, key.Receive())))
        return std::nullopt;
    std::vector<char> data(kMaxValueBytes + 1, '\0');
    DWORD type = 0, size = kMaxValueBytes;
    if (Failed(::RegQueryValueExA(key.Get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size)))
        return std::nullopt;
    if (type != REG_SZ && type != REG_EXPAND_SZ) {
        SetLastErrorCode(kErrorInvalidData);
        return std::nullopt;
    }
    // A value stored without its terminator still ends inside the zeroed buffer.
    return std::string(data.data());
}

bool WriteFileTypeValue(const std::string& keyPath, const std::string& text) {
    win32::RegistryKey key;
    if (Failed(::RegCreateKeyExA(HKEY_CLASSES_ROOT, keyPath.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE,
                                 nullptr, key.Receive(), nullptr)))
        return false;
    return !Failed(::RegSetValueExA(key.Get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                    static_cast<DWORD>(text.size() + 1)));
}

}  // namespace velmo::platform
