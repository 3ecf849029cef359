// Settings, movie list, region and identifier decoders on the same input. A settings record that
// decodes must survive writing and decoding again unchanged.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/environment.h"
#include "platform/files.h"
#include "shell/identifier_record.h"
#include "shell/movie_list.h"
#include "shell/run_folder.h"
#include "shell/settings_record.h"

using namespace velmo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = [] {
        (void)platform::SetEnvironment("TMP", platform::FolderExists("/dev/shm") ? "/dev/shm" : "/tmp");
        shell::CreateRunFolder();
        return true;
    }();
    (void)ready;
    const std::span<const uint8_t> bytes(data, size);

    shell::SettingsRecord settings;
    if (shell::ReadSettingsRecord(bytes, settings)) {
        shell::SettingsRecord again;
        if (!shell::ReadSettingsRecord(shell::WriteSettingsRecord(settings), again)) __builtin_trap();
        // Reserved words are written as zero; everything else must match.
        settings.misc.reserved = again.misc.reserved;
        settings.aboutBox.reserved = again.aboutBox.reserved;
        if (!(again == settings)) __builtin_trap();
    }
    shell::MovieListRecord list;
    (void)shell::ReadMovieList(bytes, list);
    std::vector<std::string> regions;
    (void)shell::ReadRegionImages(bytes, shell::RunFolder(), regions);
    (void)shell::ReadIdentifierRecord(bytes, "app");
    for (const platform::FolderEntry& e : platform::ListFolder(shell::RunFolder()))
        (void)platform::DeleteFile(shell::RunFolder() + e.name);
    return 0;
}
