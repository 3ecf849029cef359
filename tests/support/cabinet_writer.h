#pragma once
// Test support: cabinet files written byte by byte, their data stored uncompressed, so that tests
// choose every stored name, date, time and attribute, and can damage any field afterwards.

#include <cstdint>
#include <string>
#include <vector>

namespace velmo::testing {

struct CabinetFile {
    std::string name;
    std::vector<uint8_t> data;
    uint16_t dosDate = (2009 - 1980) << 9 | 6 << 5 | 15;  // 2009-06-15
    uint16_t dosTime = 13 << 11 | 45 << 5 | 30 / 2;       // 13:45:30
    uint16_t attributes = 0x20;                           // archive
};

// One folder without compression, data blocks of at most 32 KiB, no checksums.
std::vector<uint8_t> WriteCabinet(const std::vector<CabinetFile>& files);

}  // namespace velmo::testing
