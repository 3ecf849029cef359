#include "shell/resource_blob.h"

#include <zlib.h>

#include "platform/byte_order.h"
#include "platform/last_error.h"
#include "platform/resources.h"
#include "shell/shell_error.h"

namespace velmo::shell {

std::vector<uint8_t> LoadRawResource(const std::string& name, const std::string& type) {
    std::optional<std::vector<uint8_t>> bytes = platform::LoadImageResource(name, type);
    if (!bytes) throw SystemError::FromLastError();
    return std::move(*bytes);
}

std::vector<uint8_t> DecodeResourceBlob(std::span<const uint8_t> bytes) {
    using platform::LoadU32;
    if (bytes.size() <= kBlobHeaderBytes) throw SystemError("Bad compressed data length");
    if (bytes[0] != 'Z' || bytes[1] != 'T' || bytes[2] != 1 || bytes[3] != 0)
        throw SystemError("Bad compressed data header");
    const uint32_t uncompressedSize = LoadU32(&bytes[4]);
    const uint32_t compressedSize = LoadU32(&bytes[8]);
    if (bytes.size() < uint64_t{compressedSize} + kBlobHeaderBytes) throw SystemError("Bad compressed data length");
    // Refuse before allocating: no zlib stream of this length can expand that far.
    if (uncompressedSize > uint64_t{compressedSize} * kMaxDeflateRatio + 64)
        throw SystemError("Bad compressed data length");
    std::vector<uint8_t> data(uncompressedSize);
    uLongf destLength = uncompressedSize;
    const int rc = uncompress(data.data(), &destLength, bytes.data() + kBlobHeaderBytes, compressedSize);
    if (rc != Z_OK) throw CompressionError(rc);
    data.resize(destLength);
    return data;
}

std::optional<std::vector<uint8_t>> LoadResourceBlob(const std::string& name, const std::string& type) {
    try {
        return DecodeResourceBlob(LoadRawResource(name, type));
    } catch (const ShellError& error) {
        ReportError(error);
        return std::nullopt;
    }
}

std::optional<std::vector<uint8_t>> LoadResourceBlobIfPresent(const std::string& name, const std::string& type) {
    std::optional<std::vector<uint8_t>> raw = platform::LoadImageResource(name, type);
    if (!raw) {
        const uint32_t code = platform::LastErrorCode();
        if (code == platform::kErrorResourceTypeNotFound || code == platform::kErrorResourceNameNotFound)
            return std::nullopt;
        ReportError(SystemError::FromLastError());
        return std::nullopt;
    }
    try {
        return DecodeResourceBlob(*raw);
    } catch (const ShellError& error) {
        ReportError(error);
        return std::nullopt;
    }
}

}  // namespace velmo::shell
