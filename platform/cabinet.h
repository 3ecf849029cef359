#pragma once
// Expanding a cabinet file (the archive format that begins with "MSCF"): each stored file is offered
// by name, and written where the caller says with the date, time and attributes stored for it.
// Windows reads cabinets with the system's own expander (FDI of cabinet.dll); the POSIX services
// read them with libmspack.

#include <cstdint>
#include <functional>
#include <string>

namespace velmo::platform {

// The attribute bits a cabinet stores for a file, by the system's numbers.
inline constexpr uint32_t kCabinetReadOnly = 0x01;
inline constexpr uint32_t kCabinetHidden = 0x02;
inline constexpr uint32_t kCabinetSystem = 0x04;
inline constexpr uint32_t kCabinetArchive = 0x20;

// A file stored in a cabinet, as the cabinet describes it. The date and time are local time, as
// the cabinet stores them.
struct CabinetEntry {
    std::string name;  // as stored: '\' between folders
    uint64_t sizeBytes = 0;
    int year = 1980, month = 1, day = 1;
    int hour = 0, minute = 0, second = 0;
    uint32_t attributes = 0;  // the kCabinet* bits above that the cabinet sets
};

// Where an entry goes: a path, or "" to skip it.
using CabinetDestination = std::function<std::string(const CabinetEntry&)>;

// Expands the cabinet at `cabinetPath` in stored order. Every entry `destinationFor` gives a path
// is written there (created, or replaced even when an earlier one made it read-only), then given
// the entry's date, time and attributes where the system can keep them: on Windows all four
// attribute bits; on POSIX the modification time and the read-only bit (the owner's, group's and
// others' write permission taken away), since hidden, system and archive have no counterpart there.
// False when the file is no cabinet, is damaged, or a destination cannot be written; a file
// written only in part is removed again.
[[nodiscard]] bool ExpandCabinet(const std::string& cabinetPath, const CabinetDestination& destinationFor);

}  // namespace velmo::platform
