#include "tests/support/cabinet_writer.h"

#include <algorithm>
#include <cstddef>

#include "platform/byte_order.h"

namespace velmo::testing {

std::vector<uint8_t> WriteCabinet(const std::vector<CabinetFile>& files) {
    constexpr size_t kHeaderBytes = 36, kFolderBytes = 8, kBlockBytes = 32768;
    std::vector<uint8_t> entries;
    std::vector<uint8_t> folderData;
    for (const CabinetFile& f : files) {
        platform::AppendU32(entries, static_cast<uint32_t>(f.data.size()));
        platform::AppendU32(entries, static_cast<uint32_t>(folderData.size()));
        platform::AppendU16(entries, 0);  // folder 0
        platform::AppendU16(entries, f.dosDate);
        platform::AppendU16(entries, f.dosTime);
        platform::AppendU16(entries, f.attributes);
        entries.insert(entries.end(), f.name.begin(), f.name.end());
        entries.push_back(0);
        folderData.insert(folderData.end(), f.data.begin(), f.data.end());
    }
    std::vector<uint8_t> blocks;
    uint16_t blockCount = 0;
    for (size_t at = 0; at < folderData.size(); at += kBlockBytes, ++blockCount) {
        const size_t n = std::min(kBlockBytes, folderData.size() - at);
        platform::AppendU32(blocks, 0);  // no checksum
        platform::AppendU16(blocks, static_cast<uint16_t>(n));
        platform::AppendU16(blocks, static_cast<uint16_t>(n));
        blocks.insert(blocks.end(), folderData.begin() + static_cast<std::ptrdiff_t>(at),
                      folderData.begin() + static_cast<std::ptrdiff_t>(at + n));
    }
    const size_t filesAt = kHeaderBytes + kFolderBytes;
    const size_t dataAt = filesAt + entries.size();
    std::vector<uint8_t> cab = {'M', 'S', 'C', 'F'};
    platform::AppendU32(cab, 0);
    platform::AppendU32(cab, static_cast<uint32_t>(dataAt + blocks.size()));
    platform::AppendU32(cab, 0);
    platform::AppendU32(cab, static_cast<uint32_t>(filesAt));
    platform::AppendU32(cab, 0);
    cab.push_back(3);  // format 1.3
    cab.push_back(1);
    platform::AppendU16(cab, 1);  // folders
    platform::AppendU16(cab, static_cast<uint16_t>(files.size()));
    platform::AppendU16(cab, 0);  // flags
    platform::AppendU16(cab, 0x1234);
    platform::AppendU16(cab, 0);  // first of its set
    platform::AppendU32(cab, static_cast<uint32_t>(dataAt));
    platform::AppendU16(cab, blockCount);
    platform::AppendU16(cab, 0);  // stored
    cab.insert(cab.end(), entries.begin(), entries.end());
    cab.insert(cab.end(), blocks.begin(), blocks.end());
    return cab;
}

}  // namespace velmo::testing
