#pragma once
// The identification of the computer's physical drives 0 to 3: model, serial number and firmware
// revision texts, whether the medium is removable, the drive's buffer size and its default
// geometry. Windows asks each drive for its identification data (docs/desktop-objects.md says
// where the other systems find the same facts and what stays empty there).

#include <cstdint>
#include <optional>
#include <string>

namespace velmo::platform {

inline constexpr int kIdentifiedDrives = 4;

struct DriveIdentity {
    std::string model;       // at most 40 characters
    std::string serial;      // at most 20
    std::string revision;    // at most 8
    std::string driveType;   // "Removable", "Fixed" or "Unknown"
    int32_t bufferSize = 0;  // bytes
    int32_t cylinders = 0, heads = 0, sectors = 0;
};

// Drive `drive` (0 to 3) as the system identifies it; none when there is no such drive or it
// does not answer. Asked of the system each time: callers keep what they need.
std::optional<DriveIdentity> ReadDriveIdentity(int drive);

}  // namespace velmo::platform
