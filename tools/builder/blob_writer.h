#pragma once
// Writes resource blobs: the header the runtime checks ("ZT" 1 0, sizes, CRC-32) and one zlib stream.

#include <cstdint>
#include <span>
#include <vector>

namespace velmo::builder {

std::vector<uint8_t> EncodeResourceBlob(std::span<const uint8_t> data);

}  // namespace velmo::builder
