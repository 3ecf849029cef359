// The media model over any command strings, one per line, the element files read from the input
// itself (a WAVE header that may be damaged), so that open reaches the header reader: no fault,
// and every failed command has an error text while a reply fits its buffer.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/common/model_media.h"
#include "platform/common/wave_header.h"

using namespace velmo::platform;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> bytes(data, data + size);
    if (const auto wave = ReadWaveHeader(bytes.data(), bytes.size()))
        if (wave->dataBytes > size || !wave->bytesPerSecond) __builtin_trap();
    ModelMedia media([&](const std::string&) -> std::optional<std::vector<uint8_t>> { return bytes; });
    const std::string text(reinterpret_cast<const char*>(data), size);
    size_t start = 0;
    for (int lines = 0; start <= text.size() && lines < 64; ++lines) {
        const size_t end = text.find('\n', start);
        const std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        const MciStringReply reply = media.SendString(line, 64, 0);
        if (reply.error && media.ErrorText(reply.error, 128).empty()) __builtin_trap();
        if (reply.text.size() >= 64) __builtin_trap();
        if (end == std::string::npos) break;
        start = end + 1;
    }
    (void)media.DeviceNames();
    return 0;
}
