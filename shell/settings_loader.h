#pragma once
// Loading the settings at start-up: the built-in records, unless the user's stored options are
// still current for this build (the profile's "Settings"/"crc" equals the "CS" fingerprint).

#include <string>

#include "platform/profile.h"
#include "shell/movie_list.h"
#include "shell/settings_record.h"

namespace velmo::shell {

enum class SettingsSource { StoredOptions, BuiltIn, Defaults };

// Decodes the settings, the region images (into `runFolder`) and, when the movie list has no movie
// name yet, the movie list. Missing "CS", "ST", "ML" or "RG" resources count as empty records.
SettingsSource LoadSettings(platform::Profile& profile, const std::string& runFolder, SettingsRecord& settings,
                            MovieListRecord& movies);

// Keeps `settings` as the user's options ("Settings"/"Options"), in the layout LoadSettings reads
// back; false when the profile refuses the write.
[[nodiscard]] bool StoreOptions(platform::Profile& profile, const SettingsRecord& settings);

}  // namespace velmo::shell
