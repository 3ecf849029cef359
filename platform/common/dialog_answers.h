#pragma once
// The answer file of scripted dialogs: one answer per line, taken in order, one per dialog shown.
//
//   button N | button NAME   a message box: the button id, or ok, cancel, abort, retry, ignore, yes,
//                            no, close, help, try, continue
//   file PATH                a file dialog chose PATH
//   files FOLDER|NAME|...    a multi-select file dialog chose these names in FOLDER
//   folder PATH              the folder browser chose PATH
//   cancel                   any dialog was cancelled
//   error N                  a file dialog failed with extended error code N
//
// Blank lines and lines starting with '#' are skipped; keywords are matched without case and the
// rest of the line is taken as it stands (no trailing CR). A line that is none of these stands for
// a cancel, so that the answers after it still meet their dialogs, and says why in `problem`.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velmo::platform {

enum class DialogAnswerKind { Button, File, Files, Folder, Cancel, Error };

struct DialogAnswer {
    DialogAnswerKind kind = DialogAnswerKind::Cancel;
    int button = 0;                  // Button
    uint32_t error = 0;              // Error
    std::string path;                // File, Folder
    std::vector<std::string> names;  // Files: the folder first
    int line = 0;                    // where it was read, from 1
    std::string problem;             // why a line that was not understood became a cancel
};

std::vector<DialogAnswer> ParseDialogAnswers(std::string_view text);

// Message-box buttons: the ids of the buttons a box of `type` shows, in order, and the one that is
// the default (pressed by Enter); the answer to Escape (cancel, or OK for a box with OK alone; none
// where the box cannot be cancelled, -1).
std::vector<int> MessageBoxButtons(uint32_t type);
int DefaultMessageBoxButton(uint32_t type);
int CancelMessageBoxButton(uint32_t type);

}  // namespace velmo::platform
