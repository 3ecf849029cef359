#pragma once
// Dialogs answered from the answer file (dialog_answers.h) instead of a user: the headless
// desktop's dialogs, and the Win32 ones under VELMO_NO_DIALOGS. The file named by
// VELMO_DIALOG_ANSWERS is read at the first dialog; each dialog takes the next answer. With none
// left (or no file), or with an answer of another kind than the dialog (a "folder" for a message
// box), a message box gives its default button and the other dialogs are cancelled. Every dialog
// is recorded as a "dialog" action: what was asked and what was answered.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/common/dialog_answers.h"
#include "platform/dialogs.h"

namespace velmo::platform {

class ScriptedDialogs {
public:
    // Answers read from `answers` instead of the file, for tests.
    void UseAnswers(std::vector<DialogAnswer> answers);

    int Message(const std::string& text, const std::string& caption, uint32_t type);
    FileDialogAnswer FileDialog(const FileDialogRequest& request);
    FolderAnswer FolderBrowser(const std::string& title, const std::string& initialFolder, uint32_t flags);

private:
    // The next answer; a Cancel with `missing` set when there is none left.
    DialogAnswer Next(bool& missing);

    bool loaded_ = false;
    std::vector<DialogAnswer> answers_;
    size_t next_ = 0;
};

// The process's scripted dialogs.
ScriptedDialogs& ProcessScriptedDialogs();

}  // namespace velmo::platform
