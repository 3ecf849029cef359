// Headless, the only reader of movie files is this process, and it reads them through OpenFile:
// the redirection is a check there.
#include "platform/movie_reads.h"

#include <mutex>

#include "platform/files.h"
#include "platform/os/posix/movie_reads_posix.h"

namespace velmo::platform {

namespace {

struct Redirection {
    std::string path;  // made full, to compare with what OpenFile is given
    PlainMovieSource source;
};

std::mutex& Lock() {
    static std::mutex lock;
    return lock;
}
Redirection& Current() {
    static Redirection current;
    return current;
}

class PlainMovieFile final : public File {
public:
    explicit PlainMovieFile(std::unique_ptr<PlainMovie> movie) : movie_(std::move(movie)) {}
    size_t Read(void* buffer, size_t sizeBytes) override {
        const size_t got = movie_->ReadAt(position_, static_cast<uint8_t*>(buffer), sizeBytes);
        position_ += got;
        return got;
    }
    bool Write(const void*, size_t) override { return false; }  // opened for reading only
    int64_t Seek(int64_t offset, SeekFrom from) override {
        const int64_t base = from == SeekFrom::Begin     ? 0
                             : from == SeekFrom::Current ? static_cast<int64_t>(position_)
                                                         : static_cast<int64_t>(movie_->Size());
        if (offset < 0 && -offset > base) return -1;
        position_ = static_cast<uint64_t>(base + offset);
        return static_cast<int64_t>(position_);
    }
    int64_t Size() override { return static_cast<int64_t>(movie_->Size()); }

private:
    std::unique_ptr<PlainMovie> movie_;
    uint64_t position_ = 0;
};

}  // namespace

bool RedirectMovieReads(const std::string&, const std::string& moviePath, PlainMovieSource source) {
    const std::lock_guard<std::mutex> hold(Lock());
    Current() = moviePath.empty() ? Redirection{} : Redirection{FullPath(moviePath), std::move(source)};
    return true;
}

namespace posix {

std::optional<std::unique_ptr<File>> OpenRedirectedMovie(const std::string& path) {
    // The source opens the stored file itself, through OpenFile: that opening is the real one.
    thread_local bool insideSource = false;
    if (insideSource) return std::nullopt;
    PlainMovieSource source;
    {
        const std::lock_guard<std::mutex> hold(Lock());
        if (Current().path.empty() || !SamePath(path, Current().path)) return std::nullopt;
        source = Current().source;
    }
    struct Inside {
        Inside() { insideSource = true; }
        ~Inside() { insideSource = false; }
    };
    std::unique_ptr<PlainMovie> movie;
    {
        const Inside inside;
        if (source) movie = source();
    }
    if (!movie) return std::nullopt;  // not stored enciphered: read as it is
    return std::unique_ptr<File>(std::make_unique<PlainMovieFile>(std::move(movie)));
}

}  // namespace posix

}  // namespace velmo::platform
