// Win32 program start through the shell, so that documents open with their
// associated program too.
#include "platform/program_start.h"

#include <windows.h>
// shellapi.h needs the declarations of windows.h.
#include <shellapi.h>

#include <cstdint>
#include <vector>

#include "platform/os/win32/handles.h"

namespace velmo::platform {

std::string SystemDirectory() {
    char buffer[MAX_PATH + 1];
    const UINT n = ::GetSystemDirectoryA(buffer, sizeof buffer);
    if (n == 0 || n >= sizeof buffer) return "C:\\Windows\\System32";
    return std::string(buffer, n);
}

// No owner window is passed: a raw window handle never leaves this layer, and
// the shell only uses the owner to parent its own error dialogs.
bool StartProgram(const std::string& path, const std::string& parameters, const std::string& folder) {
    const HINSTANCE result =
        ::ShellExecuteA(nullptr, "Open", path.c_str(), parameters.empty() ? nullptr : parameters.c_str(),
                        folder.empty() ? nullptr : folder.c_str(), SW_SHOWNORMAL);
    // Values above 32 mean success; the handle is only a status code here.
    return reinterpret_cast<intptr_t>(result) > 32;
}

ProgramWait RunProgramAndWait(const std::string& path, const std::vector<std::string>& arguments, uint32_t limitMs) {
    std::string commandLine = "\"" + path + "\"";
    for (const std::string& argument : arguments) commandLine += " " + argument;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    // CreateProcessA may write into the command line, so it gets a copy of its own.
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    if (!::CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return ProgramWait::NotStarted;
    const win32::ProcessHandle processHandle(process.hProcess);
    const win32::ProcessHandle threadHandle(process.hThread);
    return ::WaitForSingleObject(process.hProcess, limitMs) == WAIT_OBJECT_0 ? ProgramWait::Ended
                                                                             : ProgramWait::TimedOut;
}

}  // namespace velmo::platform
