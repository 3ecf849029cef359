#include "shell/settings_loader.h"

#include "platform/resources.h"
#include "shell/resource_blob.h"

namespace velmo::shell {

namespace {

constexpr const char* kRecordType = "MOVORA";
constexpr const char* kSection = "Settings";

// A record absent from the build is silently empty; one that is there but damaged is reported by
// the blob reader.
std::optional<std::vector<uint8_t>> LoadOptionalBlob(const std::string& name) {
    if (!platform::LoadImageResource(name, kRecordType)) return std::nullopt;
    return LoadResourceBlob(name, kRecordType);
}

}  // namespace

SettingsSource LoadSettings(platform::Profile& profile, const std::string& runFolder, SettingsRecord& settings,
                            MovieListRecord& movies) {
    const std::optional<std::vector<uint8_t>> fingerprint = platform::LoadImageResource("CS", kRecordType);
    const std::optional<std::vector<uint8_t>> storedCrc = profile.ReadBinary(kSection, "crc");
    const bool current = fingerprint && storedCrc && *fingerprint == *storedCrc;
    if (fingerprint && !current) (void)profile.WriteBinary(kSection, "crc", *fingerprint);

    SettingsSource source = SettingsSource::Defaults;
    std::optional<std::vector<uint8_t>> options;
    if (current) options = profile.ReadBinary(kSection, "Options");
    if (options && ReadSettingsRecord(*options, settings)) {
        source = SettingsSource::StoredOptions;
    } else if (const auto builtIn = LoadOptionalBlob("ST"); builtIn && ReadSettingsRecord(*builtIn, settings)) {
        // Only settings that decoded are stored: a damaged "ST" must not become the user's options.
        (void)StoreOptions(profile, settings);
        source = SettingsSource::BuiltIn;
    }

    if (const auto regions = LoadOptionalBlob("RG")) (void)ReadRegionImages(*regions, runFolder, settings.regionList);
    if (movies.movieName.empty()) {
        if (const auto list = LoadOptionalBlob("ML")) (void)ReadMovieList(*list, movies);
    }
    return source;
}

bool StoreOptions(platform::Profile& profile, const SettingsRecord& settings) {
    return profile.WriteBinary(kSection, "Options", WriteSettingsRecord(settings));
}

}  // namespace velmo::shell
