#pragma once
// The one place where a system path ('\' between components) becomes a path of the host file system.

#include <cstddef>
#include <string>

namespace velmo::platform::posix {

inline std::string HostPath(const std::string& path) {
    std::string host = path;
    for (char& c : host)
        if (c == '\\') c = '/';
    return host;
}

// Writes all `sizeBytes` to the descriptor, retrying interrupted and partial writes; false (with
// the last error set) when the system refuses.
bool WriteAll(int fd, const void* data, size_t sizeBytes);

// Sets the last error from the C library's errno after a failed host call.
void SetLastErrorFromErrno(int error);

}  // namespace velmo::platform::posix
