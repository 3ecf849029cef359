#include "tests/support/scratch.h"

#include <stdexcept>

#include "platform/environment.h"
#include "platform/files.h"
#include "platform/guid.h"
#include "platform/text.h"
#include "shell/run_folder.h"

namespace velmo::testing {

namespace {
// Windows: the user's temporary folder (tests change TMP, so TEMP is asked first).
std::string TemporaryFolder() {
#ifdef _WIN32
    for (const char* name : {"TEMP", "TMP"})
        if (const std::optional<std::string> v = platform::GetEnvironment(name); v && !v->empty())
            return v->back() == '\\' ? *v : *v + '\\';
    return platform::WindowsDirectory() + "\\Temp\\";
#else
    return "/tmp/";
#endif
}
}  // namespace

ScratchFolder::ScratchFolder() {
    path_ = TemporaryFolder() + "velmo-test-" + platform::Utf16ToAnsi(platform::NewGuidText());
    if (!platform::CreateFolder(path_)) throw std::runtime_error("cannot create " + path_);
    path_ += '\\';
}

ScratchFolder::~ScratchFolder() { shell::RemoveFolderTree(path_); }

std::string ScratchFolder::Write(const std::string& name, const std::vector<uint8_t>& bytes) const {
    const std::string path = path_ + name;
    if (!platform::WriteWholeFile(path, bytes)) throw std::runtime_error("cannot write " + path);
    return path;
}

ScopedEnvironment::ScopedEnvironment(std::string name, const std::optional<std::string>& value)
    : name_(std::move(name)), saved_(platform::GetEnvironment(name_)) {
    platform::SetEnvironment(name_, value);
}

ScopedEnvironment::~ScopedEnvironment() { platform::SetEnvironment(name_, saved_); }

std::vector<uint8_t> Bytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

std::string ReadText(const std::string& path) {
    std::vector<uint8_t> bytes;
    if (!platform::ReadWholeFile(path, bytes)) return "<unreadable>";
    return std::string(bytes.begin(), bytes.end());
}

}  // namespace velmo::testing
