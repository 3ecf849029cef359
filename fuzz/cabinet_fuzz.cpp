// Cabinet files: any bytes are expanded or refused without fault, every stored file written to one
// place as the player's cabinet route does, and nothing is written for a refused entry's name.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/cabinet.h"
#include "platform/files.h"
#include "platform/guid.h"
#include "platform/text.h"

using namespace velmo::platform;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A folder of this process's own, so parallel fuzzing jobs never share files.
    static const std::string folder = "/tmp/velmo-cabinet-fuzz-" + Utf16ToAnsi(NewGuidText()) + "/";
    static const bool made = CreateFolder(folder) || FolderExists(folder);
    if (!made) __builtin_trap();
    const std::string cabinet = folder + "in.cab";
    const std::string out = folder + "out";
    if (!WriteWholeFile(cabinet, std::vector<uint8_t>(data, data + size))) __builtin_trap();
    uint64_t offered = 0;
    const bool ok = ExpandCabinet(cabinet, [&](const CabinetEntry& e) {
        offered += e.sizeBytes;
        // Very large stored sizes are decompressed for nothing: skipping keeps each run short.
        return e.sizeBytes <= (1u << 20) ? out : std::string();
    });
    (void)ok;
    (void)DeleteFile(out);
    (void)DeleteFile(cabinet);
    return 0;
}
