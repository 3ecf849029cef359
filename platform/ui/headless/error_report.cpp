// Headless error reports go to standard error as "title: text" and into a list tests can read.
#include "platform/error_report.h"

namespace velmo::platform {

void ShowError(const std::string& text, const std::string& title) {
    ShownErrors().push_back({text, title});
    PrintErrorLine(text, title);
}

}  // namespace velmo::platform
