// The manifest reader on arbitrary text: it either throws ManifestError or yields records that the
// runtime reads back exactly as the builder writes them.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "shell/movie_list.h"
#include "shell/settings_record.h"
#include "tools/builder/manifest.h"
#include "tools/builder/records_writer.h"

using namespace velmo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    builder::Manifest manifest;
    try {
        manifest = builder::ParseManifest(std::string_view(reinterpret_cast<const char*>(data), size), "Fuzz");
    } catch (const builder::ManifestError&) {
        return 0;
    }
    shell::SettingsRecord settings;
    if (!shell::ReadSettingsRecord(shell::WriteSettingsRecord(manifest.settings), settings)) __builtin_trap();
    settings.regionList = manifest.settings.regionList;
    if (!(settings == manifest.settings)) __builtin_trap();
    shell::MovieListRecord list;
    if (!shell::ReadMovieList(builder::WriteMovieList(manifest.movieList), list)) __builtin_trap();
    if (!(list == manifest.movieList)) __builtin_trap();
    if (manifest.flashPlayer && builder::WriteFlashPlayerRecord(*manifest.flashPlayer).size() != 276) __builtin_trap();
    return 0;
}
