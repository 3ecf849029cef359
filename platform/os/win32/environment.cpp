// Win32 environment: the process's variables, the Windows directory and the module's path.
#include "platform/environment.h"

#include <windows.h>

#include <vector>

#include "platform/common/image_file_resources.h"
#include "platform/files.h"
#include "platform/os/win32/application_image.h"

namespace velmo::platform {

std::string& win32::ChosenApplicationImage() {
    static std::string path;
    return path;
}

std::optional<std::string> GetEnvironment(const std::string& name) {
    std::vector<char> buffer(256);
    for (;;) {
        ::SetLastError(ERROR_SUCCESS);
        const DWORD n = ::GetEnvironmentVariableA(name.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
        // An empty value and a missing variable both give 0; only the last error tells them apart.
        if (n == 0) {
            if (::GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
            return std::string();
        }
        if (n < buffer.size()) return std::string(buffer.data(), n);
        buffer.resize(n);  // n counts the terminating NUL when the buffer was too small
    }
}

bool SetEnvironment(const std::string& name, const std::optional<std::string>& value) {
    return ::SetEnvironmentVariableA(name.c_str(), value ? value->c_str() : nullptr) != 0;
}

std::string WindowsDirectory() {
    char buffer[MAX_PATH + 1];
    const UINT n = ::GetWindowsDirectoryA(buffer, sizeof buffer);
    if (n == 0 || n >= sizeof buffer) return "C:\\Windows";
    return std::string(buffer, n);
}

std::string ModuleFileName() {
    if (!win32::ChosenApplicationImage().empty()) return win32::ChosenApplicationImage();
    std::vector<char> buffer(MAX_PATH);
    for (;;) {
        const DWORD n = ::GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return std::string();
        // A full buffer means the path may have been cut short.
        if (n < buffer.size()) return std::string(buffer.data(), n);
        if (buffer.size() >= 32768) return std::string();
        buffer.resize(buffer.size() * 2);
    }
}

void UseApplicationImage(const std::string& path) {
    win32::ChosenApplicationImage() = FullPath(path);
    ForgetImageFileResources();
}

namespace {
std::string commandLineOverride;
}

std::string ProcessCommandLine() {
    if (!commandLineOverride.empty()) return commandLineOverride;
    const char* line = ::GetCommandLineA();
    return line ? line : "";
}

void SetProcessCommandLine(std::string line) { commandLineOverride = std::move(line); }

}  // namespace velmo::platform
