// Headless error reports go to standard error as "title: text" and into a list tests can read.
#include "platform/error_report.h"

#include <cstdio>

namespace velmo::platform {

std::vector<ShownError>& ShownErrors() {
    static std::vector<ShownError> shown;
    return shown;
}

void ShowError(const std::string& text, const std::string& title) {
    ShownErrors().push_back({text, title});
    if (title.empty())
        std::fprintf(stderr, "%s\n", text.c_str());
    else
        std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
}

}  // namespace velmo::platform
