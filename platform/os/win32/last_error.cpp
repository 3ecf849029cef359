// Win32 last error: the thread's own GetLastError value and the system's message text for it.
#include "platform/last_error.h"

#include <windows.h>

#include "platform/os/win32/handles.h"

namespace velmo::platform {

namespace {
constexpr size_t kMaxErrorText = 255;
}

uint32_t LastErrorCode() { return ::GetLastError(); }
void SetLastErrorCode(uint32_t code) { ::SetLastError(code); }

std::string SystemErrorText(uint32_t code) {
    const DWORD saved = ::GetLastError();
    char* buffer = nullptr;
    const DWORD length =
        ::FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                         nullptr, code, ::GetSystemDefaultLangID(), reinterpret_cast<char*>(&buffer), 0, nullptr);
    win32::LocalMemory owner(buffer);
    std::string text = length && buffer ? std::string(buffer, length) : std::string();
    // Asking for the text is not itself a failure the caller should see.
    ::SetLastError(saved);
    if (text.empty()) return "System error " + std::to_string(code) + ".";
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    if (text.size() > kMaxErrorText) text.resize(kMaxErrorText);
    return text;
}

}  // namespace velmo::platform
