#pragma once
// The movie list record "ML" and the window region images "RG".

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace velmo::shell {

inline constexpr size_t kProtectionBytes = 260;

struct MovieListRecord {
    uint32_t movieFlags = 0;
    std::string movieName;                               // package path of the movie
    std::array<uint8_t, kProtectionBytes> protection{};  // stored enciphered, passed on unread
    std::string iconFile;                                // empty after loading
    std::string secondPath;                              // empty after loading
    bool operator==(const MovieListRecord&) const = default;
};

// Decodes "ML": movie flags (u32), movie name (path), 260 protection bytes. On a short record the
// list is reset to zero and false comes back.
[[nodiscard]] bool ReadMovieList(std::span<const uint8_t> bytes, MovieListRecord& list);

// Decodes "RG": a count, then per image a name (text), a size and that many bytes. Each image with
// data is written to name + ".msk" in `runFolder`; every name is appended to `regionList`. A record
// that runs short is checked whole first: it writes and lists nothing and returns false. Names that
// are not a single safe path component are listed but their images are never written.
[[nodiscard]] bool ReadRegionImages(std::span<const uint8_t> bytes, const std::string& runFolder,
                                    std::vector<std::string>& regionList);

}  // namespace velmo::shell
