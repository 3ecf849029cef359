#pragma once
// The one place where a system path ('\' between components) becomes a path of the host file system.

#include <string>

namespace velmo::platform::headless {

inline std::string HostPath(const std::string& path) {
    std::string host = path;
    for (char& c : host)
        if (c == '\\') c = '/';
    return host;
}

// Sets the last error from the C library's errno after a failed host call.
void SetLastErrorFromErrno(int error);

}  // namespace velmo::platform::headless
