// Win32 error reports: a message box with the error icon. With VELMO_NO_DIALOGS set, the report
// goes to standard error instead, so that scripted and automated runs never wait for a click.
#include "platform/error_report.h"

#include <windows.h>

#include "platform/environment.h"

namespace velmo::platform {

void ShowError(const std::string& text, const std::string& title) {
    ShownErrors().push_back({text, title});
    if (!GetEnvironment("VELMO_NO_DIALOGS")) {
        ::MessageBoxA(nullptr, text.c_str(), title.c_str(), MB_OK | MB_ICONERROR);
        return;
    }
    PrintErrorLine(text, title);
}

}  // namespace velmo::platform
