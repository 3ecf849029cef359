// Headless program start: nothing is started, so that a movie's "exec" in a
// test or under the player can never run a program of the host; the request is
// shown on standard error instead.
#include "platform/program_start.h"

#include <spawn.h>
#include <sys/wait.h>
#include <time.h>

#include <cerrno>
#include <chrono>
#include <cstdio>

#include "platform/os/posix/host_path.h"

extern char** environ;

namespace velmo::platform {

std::string SystemDirectory() { return "/usr/bin"; }

bool StartProgram(const std::string& path, const std::string& parameters, const std::string& folder) {
    std::fprintf(stderr, "start \"%s\" with \"%s\" in \"%s\"\n", path.c_str(), parameters.c_str(), folder.c_str());
    return true;
}

// Waiting with a limit has no call of its own here: the child is polled every
// 10 ms. A child left running at the limit is never reaped; it becomes the
// system's to reap when this process ends.
ProgramWait RunProgramAndWait(const std::string& path, const std::vector<std::string>& arguments, uint32_t limitMs) {
    const std::string host = posix::HostPath(path);
    std::vector<std::string> words{host};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    pid_t child = 0;
    if (::posix_spawn(&child, host.c_str(), nullptr, nullptr, argv.data(), environ) != 0)
        return ProgramWait::NotStarted;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    for (;;) {
        int status = 0;
        const pid_t done = ::waitpid(child, &status, WNOHANG);
        if (done == child || (done < 0 && errno != EINTR)) return ProgramWait::Ended;
        if (std::chrono::steady_clock::now() >= deadline) return ProgramWait::TimedOut;
        const timespec pause{0, 10 * 1000 * 1000};
        ::nanosleep(&pause, nullptr);
    }
}

}  // namespace velmo::platform
