#pragma once
// The standard dialogs the Dialogs object shows: the message box, the open and save file dialogs
// and the folder browser. Win32 shows the system's own; with VELMO_NO_DIALOGS set, and always on
// the headless desktop, each dialog instead takes the next answer of the file VELMO_DIALOG_ANSWERS
// names (platform/common/dialog_answers.h has its form) and records what it was asked as a
// "dialog" action, so that no automated run waits for a click.

#include <cstdint>
#include <string>

#include "platform/window_system.h"

namespace velmo::platform {

// The message box of `type` (the system's MB_* bits); the id of the button pressed.
int ShowMessageBox(WindowHandle owner, const std::string& text, const std::string& caption, uint32_t type);

struct FileDialogRequest {
    bool save = false;
    WindowHandle owner = 0;
    // Pairs of a name and a pattern, each ended by '\0', the list by a further '\0'; empty for none.
    std::string filter;
    std::string defaultExtension;  // empty: none
    std::string initialName;
    uint32_t flags = 0;  // the system's OFN_* bits
    size_t bufferBytes = 261;
};

struct FileDialogAnswer {
    bool chosen = false;
    // What the system wrote into the name buffer: one path, or with multi-select a folder and
    // names each ended by '\0' (a single chosen file is one full path).
    std::string names;
    uint32_t error = 0;  // the dialog's extended error code when not chosen (0: cancelled)
};
FileDialogAnswer ShowFileDialog(const FileDialogRequest& request);

struct FolderAnswer {
    bool chosen = false;
    std::string path;
};
// The folder browser with `flags` (the system's BIF_* bits); a non-empty `initialFolder` is selected
// when it opens.
FolderAnswer ShowFolderBrowser(WindowHandle owner, const std::string& title, const std::string& initialFolder,
                               uint32_t flags);

}  // namespace velmo::platform
