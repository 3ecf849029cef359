// Win32 dialogs: the system's message box, common file dialogs and folder browser, owned by the
// window a script names. With VELMO_NO_DIALOGS set they are answered from the answer file instead
// (platform/common/scripted_dialogs.h), so that automated runs never wait for a click.
#include "platform/dialogs.h"

#include <windows.h>
// commdlg.h and shlobj.h need the declarations of windows.h.
#include <commdlg.h>
#include <shlobj.h>

#include <vector>

#include "platform/common/scripted_dialogs.h"
#include "platform/environment.h"

namespace velmo::platform {

namespace {

bool Scripted() { return GetEnvironment("VELMO_NO_DIALOGS").has_value(); }

HWND Owner(WindowHandle owner) {
    return ::IsWindow(reinterpret_cast<HWND>(owner)) ? reinterpret_cast<HWND>(owner) : nullptr;
}

// The save dialog's hook: present only because its flags ask for one; the dialog keeps its own
// behaviour.
UINT_PTR CALLBACK KeepDefaults(HWND, UINT, WPARAM, LPARAM) { return 0; }

// Selects the initial folder when the browser opens and shows each selected path as status text.
int CALLBACK BrowseEvents(HWND dialog, UINT message, LPARAM lParam, LPARAM initial) {
    if (message == BFFM_INITIALIZED) {
        ::SendMessageA(dialog, BFFM_SETSELECTIONA, TRUE, initial);
    } else if (message == BFFM_SELCHANGED) {
        char path[MAX_PATH] = {};
        if (::SHGetPathFromIDListA(reinterpret_cast<LPCITEMIDLIST>(lParam), path))
            ::SendMessageA(dialog, BFFM_SETSTATUSTEXTA, 0, reinterpret_cast<LPARAM>(path));
    }
    return 0;
}

}  // namespace

int ShowMessageBox(WindowHandle owner, const std::string& text, const std::string& caption, uint32_t type) {
    if (Scripted()) return ProcessScriptedDialogs().Message(text, caption, type);
    return ::MessageBoxA(Owner(owner), text.c_str(), caption.c_str(), type);
}

FileDialogAnswer ShowFileDialog(const FileDialogRequest& request) {
    if (Scripted()) return ProcessScriptedDialogs().FileDialog(request);
    std::vector<char> names(request.bufferBytes < 2 ? 2 : request.bufferBytes, '\0');
    request.initialName.copy(names.data(), names.size() - 1);
    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = Owner(request.owner);
    // The filter list ends with two zeros: the string's own terminator is the second.
    ofn.lpstrFilter = request.filter.empty() ? nullptr : request.filter.c_str();
    ofn.lpstrFile = names.data();
    ofn.nMaxFile = static_cast<DWORD>(names.size());
    ofn.lpstrDefExt = request.defaultExtension.empty() ? nullptr : request.defaultExtension.c_str();
    ofn.Flags = request.flags;
    if (ofn.Flags & OFN_ENABLEHOOK) ofn.lpfnHook = &KeepDefaults;
    FileDialogAnswer answer;
    answer.chosen = request.save ? ::GetSaveFileNameA(&ofn) : ::GetOpenFileNameA(&ofn);
    if (!answer.chosen) {
        answer.error = ::CommDlgExtendedError();
        return answer;
    }
    // The list ends at the first pair of zeros.
    size_t end = 0;
    while (end + 1 < names.size() && !(names[end] == '\0' && names[end + 1] == '\0')) ++end;
    answer.names.assign(names.data(), end);
    return answer;
}

FolderAnswer ShowFolderBrowser(WindowHandle owner, const std::string& title, const std::string& initialFolder,
                               uint32_t flags) {
    if (Scripted()) return ProcessScriptedDialogs().FolderBrowser(title, initialFolder, flags);
    // The browser needs COM on this thread; it is left as it was found.
    const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    char display[MAX_PATH] = {};
    BROWSEINFOA info{};
    info.hwndOwner = Owner(owner);
    info.pszDisplayName = display;
    info.lpszTitle = title.c_str();
    info.ulFlags = flags;
    if (!initialFolder.empty()) {
        info.lpfn = &BrowseEvents;
        info.lParam = reinterpret_cast<LPARAM>(initialFolder.c_str());
    }
    FolderAnswer answer;
    if (LPITEMIDLIST chosen = ::SHBrowseForFolderA(&info)) {
        char path[MAX_PATH] = {};
        if (::SHGetPathFromIDListA(chosen, path)) {
            answer.chosen = true;
            answer.path = path;
        }
        ::CoTaskMemFree(chosen);
    }
    if (SUCCEEDED(com)) ::CoUninitialize();
    return answer;
}

}  // namespace velmo::platform
