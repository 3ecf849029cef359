// Package reader: the input is an archive file; listing it, looking up a path and extracting the
// whole root must stay inside the extra folder and never crash.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/environment.h"
#include "platform/files.h"
#include "shell/package.h"
#include "shell/run_folder.h"
#include "shell/shell_error.h"

using namespace velmo;

namespace {
struct Setup {
    std::string archive;
    Setup() {
        (void)platform::SetEnvironment("TMP", "/dev/shm");
        if (!platform::FolderExists("/dev/shm")) (void)platform::SetEnvironment("TMP", "/tmp");
        shell::CreateRunFolder();
        archive = shell::RunFolder() + "archive.bin";
    }
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Setup setup;
    if (!platform::WriteWholeFile(setup.archive, std::vector<uint8_t>(data, data + size))) return 0;
    (void)shell::ListPackage(setup.archive);
    for (const char* path : {"data/level1.xml", ""}) {
        try {
            (void)shell::ExtractPackageFile(path, setup.archive);
        } catch (const shell::ShellError&) {}
    }
    // Only the extra folder and the archive may exist in the run folder.
    for (const platform::FolderEntry& e : platform::ListFolder(shell::RunFolder()))
        if (e.name != "_extra" && e.name != "archive.bin") __builtin_trap();
    shell::RemoveFolderTree(shell::ExtraFolder());
    return 0;
}
