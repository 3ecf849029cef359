// A drive's identification data as any bytes: texts never exceed their fields nor keep the
// padding blanks, the type is one of the three names, and short data gives nothing.
#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/common/drive_identify.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace velmo::platform;
    const std::span<const uint8_t> bytes(data, size);
    const auto id = ParseIdentifyData(bytes);
    if (id.has_value() != (size >= kIdentifyDataBytes)) __builtin_trap();
    if (!id) return 0;
    if (id->model.size() > 40 || id->serial.size() > 20 || id->revision.size() > 8) __builtin_trap();
    for (const std::string* text : {&id->model, &id->serial, &id->revision})
        if (!text->empty() && (text->front() == ' ' || text->back() == ' ')) __builtin_trap();
    if (id->driveType != "Fixed" && id->driveType != "Removable" && id->driveType != "Unknown") __builtin_trap();
    if (id->bufferSize < 0 || id->cylinders < 0 || id->heads < 0 || id->sectors < 0) __builtin_trap();
    return 0;
}
