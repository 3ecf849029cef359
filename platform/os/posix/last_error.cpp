// Headless last error: a thread-local Win32 code, with the system's English texts for the codes
// that this layer produces, so messages read the same on both targets.
#include "platform/last_error.h"

#include <cerrno>
#include <cstring>

#include "platform/os/posix/host_path.h"

namespace velmo::platform {

namespace {
thread_local uint32_t lastError = 0;
// Host errors without a Win32 counterpart keep their errno under the "customer code" bit.
constexpr uint32_t kErrnoBit = 0x20000000u;

struct ErrorText {
    uint32_t code;
    const char* text;
};
constexpr ErrorText kTexts[] = {
    {0, "The operation completed successfully."},
    {kErrorFileNotFound, "The system cannot find the file specified."},
    {kErrorPathNotFound, "The system cannot find the path specified."},
    {kErrorAccessDenied, "Access is denied."},
    {kErrorNotEnoughMemory, "Not enough memory resources are available to process this command."},
    {kErrorInvalidData, "The data is invalid."},
    {kErrorHandleEof, "Reached the end of the file."},
    {kErrorFileExists, "The file exists."},
    {112, "There is not enough space on the disk."},
    {kErrorDirNotEmpty, "The directory is not empty."},
    {kErrorAlreadyExists, "Cannot create a file when that file already exists."},
    {kErrorBadExeFormat, "%1 is not a valid Win32 application."},
    {kErrorResourceDataNotFound, "The specified image file did not contain a resource section."},
    {kErrorResourceTypeNotFound, "The specified resource type cannot be found in the image file."},
    {kErrorResourceNameNotFound, "The specified resource name cannot be found in the image file."},
};
}  // namespace

uint32_t LastErrorCode() { return lastError; }
void SetLastErrorCode(uint32_t code) { lastError = code; }

std::string SystemErrorText(uint32_t code) {
    for (const ErrorText& e : kTexts)
        if (e.code == code) return e.text;
    if (code & kErrnoBit) return std::strerror(static_cast<int>(code & ~kErrnoBit));
    return "System error " + std::to_string(code) + ".";
}

namespace posix {
void SetLastErrorFromErrno(int error) {
    switch (error) {
        case ENOENT: SetLastErrorCode(kErrorFileNotFound); break;
        case ENOTDIR: SetLastErrorCode(kErrorPathNotFound); break;
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR: SetLastErrorCode(kErrorAccessDenied); break;
        case ENOMEM: SetLastErrorCode(kErrorNotEnoughMemory); break;
        case EEXIST: SetLastErrorCode(kErrorAlreadyExists); break;
        case ENOSPC: SetLastErrorCode(112); break;
        case ENOTEMPTY: SetLastErrorCode(kErrorDirNotEmpty); break;
        default: SetLastErrorCode(kErrnoBit | static_cast<uint32_t>(error)); break;
    }
}
}  // namespace posix

}  // namespace velmo::platform
