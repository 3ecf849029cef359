// Headless environment. The "Windows directory" is /tmp: the temporary-folder rule falls back to
// it when neither TMP nor TEMP is set, which is the usual case on Linux.
#include "platform/environment.h"

#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "platform/common/image_file_resources.h"
#include "platform/files.h"
#include "platform/os/posix/host_path.h"

namespace velmo::platform {

namespace {
std::string applicationImage;
std::string commandLineOverride;
}  // namespace

std::optional<std::string> GetEnvironment(const std::string& name) {
    const char* value = std::getenv(name.c_str());
    if (!value) return std::nullopt;
    return std::string(value);
}

bool SetEnvironment(const std::string& name, const std::optional<std::string>& value) {
    return (value ? ::setenv(name.c_str(), value->c_str(), 1) : ::unsetenv(name.c_str())) == 0;
}

std::string WindowsDirectory() { return "/tmp"; }

std::string ModuleFileName() {
    if (!applicationImage.empty()) return applicationImage;
    char buffer[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string();
}

void UseApplicationImage(const std::string& path) {
    applicationImage = FullPath(path);
    ForgetImageFileResources();
}

std::string ProcessCommandLine() {
    if (!commandLineOverride.empty()) return commandLineOverride;
    std::ifstream in("/proc/self/cmdline", std::ios::binary);
    const std::string raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string line;
    size_t start = 0;
    while (start < raw.size()) {
        size_t end = raw.find('\0', start);
        if (end == std::string::npos) end = raw.size();
        const std::string item = raw.substr(start, end - start);
        if (!line.empty()) line += ' ';
        const bool quote = item.empty() || item.find_first_of(" \t") != std::string::npos;
        line += quote ? '"' + item + '"' : item;
        start = end + 1;
    }
    return line;
}

void SetProcessCommandLine(std::string line) { commandLineOverride = std::move(line); }

}  // namespace velmo::platform
