// Headless program start: nothing is started, so that a movie's "exec" in a
// test or under the player can never run a program of the host; the request is
// shown on standard error instead.
#include "platform/program_start.h"

#include <cstdio>

namespace velmo::platform {

std::string SystemDirectory() { return "/usr/bin"; }

bool StartProgram(const std::string& path, const std::string& parameters, const std::string& folder) {
    std::fprintf(stderr, "start \"%s\" with \"%s\" in \"%s\"\n", path.c_str(), parameters.c_str(), folder.c_str());
    return true;
}

}  // namespace velmo::platform
