// Win32 shell services: CreateProcessA with the start-up information a script gives, the shell's
// execute call, and the special folders through the shell (and the registry for the recorded
// program files folder).
#include "platform/shell_services.h"

#include <windows.h>
// shellapi.h and shlobj.h need the declarations of windows.h.
#include <shellapi.h>
#include <shlobj.h>

#include <vector>

#include "platform/os/win32/handles.h"

namespace velmo::platform {

namespace {

BOOL CALLBACK FirstMainWindow(HWND window, LPARAM found) {
    if (::GetWindowLongA(window, GWL_STYLE) & WS_POPUP) return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

std::optional<std::string> Sized(const char* buffer, UINT length) {
    if (length == 0 || length >= MAX_PATH) return std::nullopt;
    return std::string(buffer, length);
}

}  // namespace

ProcessStarted StartProcess(const ProcessStart& start, uint32_t idleWaitMs) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    if (start.showCommand) {
        startup.dwFlags |= STARTF_USESHOWWINDOW;
        startup.wShowWindow = static_cast<WORD>(*start.showCommand);
    }
    if (start.position) {
        startup.dwFlags |= STARTF_USEPOSITION;
        startup.dwX = static_cast<DWORD>(start.position->x);
        startup.dwY = static_cast<DWORD>(start.position->y);
    }
    if (start.size) {
        startup.dwFlags |= STARTF_USESIZE;
        startup.dwXSize = static_cast<DWORD>(start.size->width);
        startup.dwYSize = static_cast<DWORD>(start.size->height);
    }
    // CreateProcessA may write into the command line, so it gets a copy of its own.
    std::vector<char> line(start.commandLine.begin(), start.commandLine.end());
    line.push_back('\0');
    PROCESS_INFORMATION process{};
    ProcessStarted result;
    if (!::CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr, nullptr,
                          &startup, &process)) {
        result.error = ::GetLastError();
        return result;
    }
    const win32::ProcessHandle processHandle(process.hProcess);
    const win32::ProcessHandle threadHandle(process.hThread);
    result.started = true;
    ::WaitForInputIdle(process.hProcess, idleWaitMs);
    HWND found = nullptr;
    ::EnumThreadWindows(process.dwThreadId, &FirstMainWindow, reinterpret_cast<LPARAM>(&found));
    result.window = reinterpret_cast<WindowHandle>(found);
    return result;
}

bool ShellExecuteVerb(const std::string& verb, const std::string& file, const std::string& parameters,
                      const std::string& folder, WindowHandle owner) {
    const HINSTANCE result = ::ShellExecuteA(reinterpret_cast<HWND>(owner), verb.c_str(), file.c_str(),
                                             parameters.empty() ? nullptr : parameters.c_str(),
                                             folder.empty() ? nullptr : folder.c_str(), SW_SHOWNORMAL);
    // Values above 32 mean success; the handle is only a status code here.
    return reinterpret_cast<intptr_t>(result) > 32;
}

std::optional<std::string> SpecialFolderPath(int id) {
    char buffer[MAX_PATH + 1] = {};
    switch (id) {
        case kFolderWindows: return Sized(buffer, ::GetWindowsDirectoryA(buffer, MAX_PATH));
        case kFolderSystem: return Sized(buffer, ::GetSystemDirectoryA(buffer, MAX_PATH));
        case kFolderProgramFilesRecord: {
            HKEY key = nullptr;
            if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "software\\microsoft\\windows\\currentversion", 0, KEY_READ,
                                &key) != ERROR_SUCCESS)
                return std::nullopt;
            DWORD type = 0, size = MAX_PATH;
            const LONG status =
                ::RegQueryValueExA(key, "ProgramFilesDir", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
            ::RegCloseKey(key);
            if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return std::nullopt;
            buffer[MAX_PATH] = '\0';
            return std::string(buffer);
        }
        default:
            if (!::SHGetSpecialFolderPathA(nullptr, buffer, id, FALSE)) return std::nullopt;
            return std::string(buffer);
    }
}

}  // namespace velmo::platform
