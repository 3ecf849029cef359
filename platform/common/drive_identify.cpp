#include "platform/common/drive_identify.h"

namespace velmo::platform {

namespace {

// Word numbers of the identification data.
constexpr size_t kGeneralConfiguration = 0, kDefaultCylinders = 1, kDefaultHeads = 3, kDefaultSectors = 6,
                 kSerialNumber = 10, kBufferSize = 21, kFirmwareRevision = 23, kModelNumber = 27;
constexpr uint16_t kRemovableMedia = 0x0080, kFixedMedia = 0x0040;
constexpr int32_t kBufferUnitBytes = 512;  // the buffer size word counts sectors

uint16_t Word(std::span<const uint8_t> data, size_t index) {
    return static_cast<uint16_t>(data[2 * index] | (data[2 * index + 1] << 8));
}

}  // namespace

std::string IdentifyText(std::span<const uint8_t> data, size_t firstWord, size_t wordCount) {
    std::string text;
    for (size_t i = firstWord; i < firstWord + wordCount && 2 * i + 1 < data.size(); ++i) {
        const uint16_t w = Word(data, i);
        text += static_cast<char>(w >> 8);
        text += static_cast<char>(w & 0xFF);
    }
    text.resize(text.find('\0') == std::string::npos ? text.size() : text.find('\0'));
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::optional<DriveIdentity> ParseIdentifyData(std::span<const uint8_t> data) {
    if (data.size() < kIdentifyDataBytes) return std::nullopt;
    DriveIdentity id;
    id.model = IdentifyText(data, kModelNumber, 20);
    id.serial = IdentifyText(data, kSerialNumber, 10);
    id.revision = IdentifyText(data, kFirmwareRevision, 4);
    const uint16_t config = Word(data, kGeneralConfiguration);
    id.driveType = (config & kRemovableMedia) ? "Removable" : (config & kFixedMedia) ? "Fixed" : "Unknown";
    id.bufferSize = Word(data, kBufferSize) * kBufferUnitBytes;
    id.cylinders = Word(data, kDefaultCylinders);
    id.heads = Word(data, kDefaultHeads);
    id.sectors = Word(data, kDefaultSectors);
    return id;
}

}  // namespace velmo::platform
