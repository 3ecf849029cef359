#pragma once
// The project manifest `velmo.toml`: a strict subset of TOML (tables, basic and literal strings,
// integers, booleans, one-line arrays) mapped onto the records the builder writes. Unknown tables
// and keys are errors, and every error names the file and line. docs/builder.md lists every key.

#include <array>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "shell/movie_list.h"
#include "shell/settings_record.h"

namespace velmo::builder {

// "velmo.toml:12: unknown key 'colour' in [appearance]"; line 0 leaves the line number out.
class ManifestError : public std::runtime_error {
public:
    ManifestError(const std::string& fileName, int line, const std::string& message);
    int Line() const { return line_; }

private:
    int line_;
};

// A file of the project folder that the manifest names. `path` is relative to the project folder
// with '\' between components, which is also its path inside the attached package.
struct NamedFile {
    std::string path;
    std::string namedBy;  // "[movie] file"
    int line = 0;
};

struct FlashPlayerRequirement {
    std::array<uint32_t, 4> version{};
    std::string installer;  // package path, at most 259 bytes in the 8-bit code page
};

struct ScriptResource {
    std::string name;  // resource name of type "VELMO"
    NamedFile file;    // precompiled module bytes
};

struct MenuResource {
    std::string name;  // resource name of type "MENUS": the name scripts load it by
    NamedFile file;    // the definition's text form (tools/builder/menu_text.h)
};

struct Manifest {
    shell::SettingsRecord settings;  // the build record's time is filled in only when given
    shell::MovieListRecord movieList;
    std::string movieKey;  // [movie] key: the movie is packed enciphered under it
    std::string identifier;
    std::array<uint8_t, 16> guid{};  // memory order: u32, u16, u16, 8 bytes
    std::optional<FlashPlayerRequirement> flashPlayer;
    std::vector<NamedFile> regionImages;       // ".msk" files; each is named by its file stem
    std::optional<NamedFile> aboutBackground;  // a BMP file for the "BK" record
    std::vector<ScriptResource> scripts;
    std::vector<MenuResource> menus;
    bool hasBuildTime = false;          // [build] time was given; otherwise the builder uses the current time
    std::vector<NamedFile> namedFiles;  // every file above, the movie and every other path setting
    // [package]: glob patterns over project paths ('/' between components) that bring entries the
    // default rule leaves out back in, and that leave more out.
    std::vector<std::string> packageInclude;
    std::vector<std::string> packageExclude;
};

inline constexpr const char* kManifestFileName = "velmo.toml";
inline constexpr uint32_t kDefaultMovieFlags = 14;
inline constexpr uint16_t kDefaultBuildPort = 80;

// Parses `text` (UTF-8) for the project folder called `projectName`, which supplies the default
// product name and identifier. Throws ManifestError.
Manifest ParseManifest(std::string_view text, const std::string& projectName,
                       const std::string& fileName = kManifestFileName);

// The name a region image gets in the "RG" record: the stem of its file name ("masks\round.msk" is
// "round"), as the runtime appends ".msk" when it writes the image out.
std::string RegionImageName(const std::string& path);

// The GUID the builder gives an identifier that has none configured: its MD5 digest, marked as a
// name-based (version 3) GUID, so that a project keeps its GUID from build to build.
std::array<uint8_t, 16> DerivedGuid(const std::string& identifier);

}  // namespace velmo::builder
