// The parts of error reporting both targets share: the record of what was shown and the text form.
#include <cstdio>

#include "platform/error_report.h"

namespace velmo::platform {

std::vector<ShownError>& ShownErrors() {
    static std::vector<ShownError> shown;
    return shown;
}

void PrintErrorLine(const std::string& text, const std::string& title) {
    if (title.empty()) std::fprintf(stderr, "%s\n", text.c_str());
    else std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
    std::fflush(stderr);
}

}  // namespace velmo::platform
