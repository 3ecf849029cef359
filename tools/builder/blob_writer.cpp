#include "tools/builder/blob_writer.h"

#include <zlib.h>

#include <stdexcept>

#include "platform/byte_order.h"

namespace velmo::builder {

std::vector<uint8_t> EncodeResourceBlob(std::span<const uint8_t> data) {
    uLongf compressedSize = compressBound(static_cast<uLong>(data.size()));
    std::vector<uint8_t> blob(16 + compressedSize);
    if (compress2(blob.data() + 16, &compressedSize, data.data(), static_cast<uLong>(data.size()),
                  Z_BEST_COMPRESSION) != Z_OK)
        throw std::runtime_error("zlib could not compress a resource");
    blob.resize(16 + compressedSize);
    blob[0] = 'Z';
    blob[1] = 'T';
    blob[2] = 1;
    blob[3] = 0;
    platform::StoreU32(&blob[4], static_cast<uint32_t>(data.size()));
    platform::StoreU32(&blob[8], static_cast<uint32_t>(compressedSize));
    platform::StoreU32(&blob[12], static_cast<uint32_t>(crc32(0, data.data(), static_cast<uInt>(data.size()))));
    return blob;
}

}  // namespace velmo::builder
