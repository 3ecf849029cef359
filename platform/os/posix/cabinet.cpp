// Cabinet expansion on POSIX systems through libmspack, which reads and writes through the C
// library's files, so every path crosses to the host's form here.
#include "platform/cabinet.h"

#include <fcntl.h>
#include <mspack.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <memory>

#include "platform/os/posix/host_path.h"

// libmspack's own file access, which its header leaves undeclared; the library exports it.
extern "C" mspack_system* mspack_default_system;

namespace velmo::platform {

namespace {

// The library's file access without its messages: a damaged cabinet is reported by the result
// alone, not by lines on standard error.
void NoMessage(mspack_file*, const char*, ...) {}

mspack_system* QuietSystem() {
    static mspack_system quiet = [] {
        mspack_system s = *mspack_default_system;
        s.message = &NoMessage;
        return s;
    }();
    return &quiet;
}

struct DecompressorDeleter {
    void operator()(mscab_decompressor* d) const { mspack_destroy_cab_decompressor(d); }
};
using Decompressor = std::unique_ptr<mscab_decompressor, DecompressorDeleter>;

class OpenCabinet {
public:
    OpenCabinet(mscab_decompressor& d, const std::string& hostPath) : d_(d), cab_(d.open(&d, hostPath.c_str())) {}
    ~OpenCabinet() {
        if (cab_) d_.close(&d_, cab_);
    }
    OpenCabinet(const OpenCabinet&) = delete;
    OpenCabinet& operator=(const OpenCabinet&) = delete;
    mscabd_cabinet* Get() const { return cab_; }

private:
    mscab_decompressor& d_;
    mscabd_cabinet* cab_;
};

CabinetEntry Describe(const mscabd_file& f) {
    CabinetEntry e;
    e.name = f.filename ? f.filename : "";
    e.sizeBytes = f.length;
    e.year = f.date_y;
    e.month = f.date_m;
    e.day = f.date_d;
    e.hour = f.time_h;
    e.minute = f.time_m;
    e.second = f.time_s;
    e.attributes =
        static_cast<uint32_t>(f.attribs) & (kCabinetReadOnly | kCabinetHidden | kCabinetSystem | kCabinetArchive);
    return e;
}

// The stored time is local time, as the system that packed the cabinet kept it.
bool Stamp(const std::string& hostPath, const CabinetEntry& e) {
    std::tm local{};
    local.tm_year = e.year - 1900;
    local.tm_mon = e.month - 1;
    local.tm_mday = e.day;
    local.tm_hour = e.hour;
    local.tm_min = e.minute;
    local.tm_sec = e.second;
    local.tm_isdst = -1;
    const std::time_t when = std::mktime(&local);
    if (when != static_cast<std::time_t>(-1)) {
        const timespec times[2] = {{0, UTIME_OMIT}, {when, 0}};
        if (::utimensat(AT_FDCWD, hostPath.c_str(), times, 0) != 0) return false;
    }
    if (e.attributes & kCabinetReadOnly) {
        struct stat st {};
        if (::stat(hostPath.c_str(), &st) != 0) return false;
        if (::chmod(hostPath.c_str(), st.st_mode & ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH)) != 0)
            return false;
    }
    return true;
}

}  // namespace

bool ExpandCabinet(const std::string& cabinetPath, const CabinetDestination& destinationFor) {
    int selfTest = MSPACK_ERR_OK;
    MSPACK_SYS_SELFTEST(selfTest);
    if (selfTest != MSPACK_ERR_OK) return false;
    const Decompressor d(mspack_create_cab_decompressor(QuietSystem()));
    if (!d) return false;
    // The library keeps the name and opens the file again by it for each file's data.
    const std::string hostCabinet = posix::HostPath(cabinetPath);
    const OpenCabinet cab(*d, hostCabinet);
    if (!cab.Get()) return false;
    for (mscabd_file* f = cab.Get()->files; f; f = f->next) {
        const CabinetEntry entry = Describe(*f);
        const std::string destination = destinationFor(entry);
        if (destination.empty()) continue;
        const std::string host = posix::HostPath(destination);
        // Replacing, not rewriting: an earlier entry may have left a read-only file there.
        if (::unlink(host.c_str()) != 0 && errno != ENOENT) return false;
        if (d->extract(d.get(), f, host.c_str()) != MSPACK_ERR_OK) {
            ::unlink(host.c_str());
            return false;
        }
        if (!Stamp(host, entry)) return false;
    }
    return true;
}

}  // namespace velmo::platform
