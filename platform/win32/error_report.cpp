// Win32 error reports: a message box with the error icon. With VELMO_NO_DIALOGS set, the report
// goes to standard error instead, so that scripted and automated runs never wait for a click.
#include "platform/error_report.h"

#include <windows.h>

#include <cstdio>

#include "platform/environment.h"

namespace velmo::platform {

std::vector<ShownError>& ShownErrors() {
    static std::vector<ShownError> shown;
    return shown;
}

void ShowError(const std::string& text, const std::string& title) {
    ShownErrors().push_back({text, title});
    if (!GetEnvironment("VELMO_NO_DIALOGS")) {
        ::MessageBoxA(nullptr, text.c_str(), title.c_str(), MB_OK | MB_ICONERROR);
        return;
    }
    if (title.empty())
        std::fprintf(stderr, "%s\n", text.c_str());
    else
        std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
    std::fflush(stderr);
}

}  // namespace velmo::platform
