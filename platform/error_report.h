#pragma once
// Reports an error to the user: a message box with the error icon on Windows, a line on standard
// error headless (where the reports are also kept for tests to read).

#include <string>
#include <vector>

namespace velmo::platform {

void ShowError(const std::string& text, const std::string& title);

// Writes a report as one "title: text" line (just the text without a title) on standard error.
void PrintErrorLine(const std::string& text, const std::string& title);

struct ShownError {
    std::string text;
    std::string title;
};
// Every report shown so far in this process, oldest first; tests clear it between cases.
std::vector<ShownError>& ShownErrors();

}  // namespace velmo::platform
