// Headless dialogs: every one answered from the answer file (platform/common/scripted_dialogs.h).
#include "platform/dialogs.h"

#include "platform/common/scripted_dialogs.h"

namespace velmo::platform {

int ShowMessageBox(WindowHandle, const std::string& text, const std::string& caption, uint32_t type) {
    return ProcessScriptedDialogs().Message(text, caption, type);
}

FileDialogAnswer ShowFileDialog(const FileDialogRequest& request) {
    return ProcessScriptedDialogs().FileDialog(request);
}

FolderAnswer ShowFolderBrowser(WindowHandle, const std::string& title, const std::string& initialFolder,
                               uint32_t flags) {
    return ProcessScriptedDialogs().FolderBrowser(title, initialFolder, flags);
}

}  // namespace velmo::platform
