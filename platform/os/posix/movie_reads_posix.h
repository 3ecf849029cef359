#pragma once
// OpenFile's side of the movie redirection (platform/movie_reads.h).

#include <memory>
#include <optional>
#include <string>

#include "platform/files.h"

namespace velmo::platform::posix {

// For the redirected movie: the plain movie as a file. None for every other path, and for a movie
// file that is not stored enciphered after all (it is then opened as it is).
std::optional<std::unique_ptr<File>> OpenRedirectedMovie(const std::string& path);

}  // namespace velmo::platform::posix
