#pragma once
// The calling thread's last operating-system error, as a Win32 error code on both targets, and the
// system's text for such a code. Platform calls that fail set it; shell errors read it.

#include <cstdint>
#include <string>

namespace velmo::platform {

// A few Win32 codes that the headless layer produces and callers compare against.
inline constexpr uint32_t kErrorFileNotFound = 2;
inline constexpr uint32_t kErrorPathNotFound = 3;
inline constexpr uint32_t kErrorAccessDenied = 5;
inline constexpr uint32_t kErrorNotEnoughMemory = 8;
inline constexpr uint32_t kErrorInvalidData = 13;
inline constexpr uint32_t kErrorHandleEof = 38;
inline constexpr uint32_t kErrorFileExists = 80;
inline constexpr uint32_t kErrorAlreadyExists = 183;
inline constexpr uint32_t kErrorBadExeFormat = 193;
inline constexpr uint32_t kErrorDirNotEmpty = 145;
inline constexpr uint32_t kErrorResourceDataNotFound = 1812;
inline constexpr uint32_t kErrorResourceTypeNotFound = 1813;
inline constexpr uint32_t kErrorResourceNameNotFound = 1814;

uint32_t LastErrorCode();
void SetLastErrorCode(uint32_t code);

// The system's message for `code`, without the trailing line break, at most 255 characters.
std::string SystemErrorText(uint32_t code);

}  // namespace velmo::platform
