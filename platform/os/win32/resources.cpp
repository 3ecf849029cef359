// Win32 resources: the running module's, through the system's resource functions; or, once
// UseApplicationImage chose a file, that file's (platform/common/image_file_resources.h).
#include "platform/resources.h"

#include <windows.h>

#include <cstring>

#include "platform/common/image_file_resources.h"
#include "platform/last_error.h"
#include "platform/os/win32/application_image.h"

namespace velmo::platform {

namespace {

// "#n" stands for the number n, as MAKEINTRESOURCE; the system parses that form itself, but only
// for decimal numbers, which is the only form the portable reader accepts too.
std::optional<std::vector<uint8_t>> LoadFromRunningModule(const std::string& name, const std::string& type) {
    HRSRC found = ::FindResourceA(nullptr, name.c_str(), type.c_str());
    if (!found) return std::nullopt;
    const DWORD size = ::SizeofResource(nullptr, found);
    HGLOBAL loaded = size ? ::LoadResource(nullptr, found) : nullptr;
    const void* data = loaded ? ::LockResource(loaded) : nullptr;
    if (!data) {
        SetLastErrorCode(kErrorInvalidData);
        return std::nullopt;
    }
    // The module's resource memory is read-only and lives as long as the module; callers get a copy
    // they may keep and change.
    std::vector<uint8_t> bytes(size);
    std::memcpy(bytes.data(), data, size);
    return bytes;
}

}  // namespace

std::optional<std::vector<uint8_t>> LoadImageResource(const std::string& name, const std::string& type) {
    const std::string& chosen = win32::ChosenApplicationImage();
    if (!chosen.empty()) return LoadImageFileResource(chosen, name, type);
    return LoadFromRunningModule(name, type);
}

}  // namespace velmo::platform
