#pragma once
// The builder's side of the "ML", "RG" and "FP" records; the settings record has its writer in the
// shell, beside its reader. Paths and texts are in the 8-bit code page and stored as UTF-16.

#include <cstdint>
#include <string>
#include <vector>

#include "shell/movie_list.h"
#include "tools/builder/manifest.h"

namespace velmo::builder {

inline constexpr size_t kFlashPlayerRecordBytes = 276;

// Movie flags, the movie's package path, then the 260 protection bytes.
std::vector<uint8_t> WriteMovieList(const shell::MovieListRecord& list);

struct RegionImage {
    std::string name;  // without ".msk"
    std::vector<uint8_t> data;
};

// A count, then per image its name, size and bytes; no images gives a count of 0.
std::vector<uint8_t> WriteRegionImages(const std::vector<RegionImage>& images);

// Four version numbers, then the installer's package path NUL-terminated in a 260-byte field.
// Throws std::runtime_error when the path does not fit.
std::vector<uint8_t> WriteFlashPlayerRecord(const FlashPlayerRequirement& requirement);

}  // namespace velmo::builder
