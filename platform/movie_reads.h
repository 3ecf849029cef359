#pragma once
// Enciphered movies: the package holds the movie enciphered, and whoever reads that file for the
// movie (the control, the libraries it reads through, this program) must see the plain bytes, while
// the plain movie never lands on disk. Once a redirection is set, opening the movie file for reading
// yields a file whose bytes, size and positions are the plain movie's; every other file, and a
// movie opened for writing, behaves as before.
//
// On Windows the redirection sits in the import tables of the modules that read movies (this
// program, the control file, and the system's URL and shell helper libraries), over the system's
// file functions and the lookups of their addresses. Headless it sits in OpenFile itself.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace velmo::platform {

// The plain bytes of a movie, read at any offset.
class PlainMovie {
public:
    virtual ~PlainMovie() = default;
    virtual uint64_t Size() = 0;
    // Reads up to `size` bytes at `offset`; the count read, 0 at the end or on failure.
    virtual size_t ReadAt(uint64_t offset, uint8_t* buffer, size_t size) = 0;
};

// What makes a fresh reader of the plain movie for each opening; null when the file is not stored
// enciphered (a script may load a plain movie later), and the opening then reads it as it is.
using PlainMovieSource = std::function<std::unique_ptr<PlainMovie>()>;

// From now on, openings of `moviePath` read `source`'s bytes; `controlFile` names the control's
// own module when it was loaded from a file (empty otherwise). A second call replaces the first;
// an empty movie path ends the redirection. False when the redirection could not be set up.
bool RedirectMovieReads(const std::string& controlFile, const std::string& moviePath, PlainMovieSource source);

}  // namespace velmo::platform
