#include "shell/run_folder.h"

#include <optional>

#include "platform/environment.h"
#include "platform/files.h"
#include "platform/guid.h"
#include "platform/text.h"
#include "shell/shell_error.h"

namespace velmo::shell {

namespace {

std::string& RunFolderPath() {
    static std::string path;
    return path;
}

std::optional<std::string> UsableTempVariable(const char* name) {
    std::optional<std::string> value = platform::GetEnvironment(name);
    if (!value || value->empty() || value->size() >= kMaxTempBaseChars) return std::nullopt;
    return value;
}

}  // namespace

std::string TempBaseFolder() {
    std::optional<std::string> base = UsableTempVariable("TMP");
    if (!base) base = UsableTempVariable("TEMP");
    std::string folder = base ? *base : platform::WindowsDirectory();
    if (!folder.empty() && folder.back() == '/') folder.back() = '\\';
    if (folder.empty() || folder.back() != '\\') folder.push_back('\\');
    return folder;
}

void CreateRunFolder() {
    std::string& path = RunFolderPath();
    path.clear();
    const std::string folder = TempBaseFolder() + platform::Utf16ToAnsi(platform::NewGuidText());
    if (!platform::CreateFolder(folder)) throw SystemError::FromLastError();
    path = folder + '\\';
}

const std::string& RunFolder() { return RunFolderPath(); }

std::string ExtraFolder() {
    const std::string& run = RunFolderPath();
    return run.empty() ? std::string() : run + "_extra\\";
}

void RemoveFolderTree(const std::string& folder) {
    if (folder.empty() || !platform::PathExists(folder)) return;
    std::string base = folder;
    if (base.back() != '\\' && base.back() != '/') base.push_back('\\');
    for (const platform::FolderEntry& entry : platform::ListFolder(base)) {
        if (entry.isFolder) RemoveFolderTree(base + entry.name);
        else (void)platform::DeleteFile(base + entry.name);  // what cannot be deleted stays; nothing to report to
    }
    (void)platform::RemoveFolder(base);
}

void RemoveRunFolder() {
    RemoveFolderTree(RunFolderPath());
    RunFolderPath().clear();
}

}  // namespace velmo::shell
