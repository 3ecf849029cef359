#pragma once
// Resource records of the application image: raw resources, and resource blobs (a 16-byte header
// "ZT" 1 0, uncompressed size, compressed size, CRC-32, then one zlib stream).

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace velmo::shell {

inline constexpr size_t kBlobHeaderBytes = 16;
// Deflate never shrinks data by more than this factor, so a blob promising more is damaged.
inline constexpr uint64_t kMaxDeflateRatio = 1032;

// The bytes of a resource as stored. Throws SystemError (last system error) when it is
// missing, empty or unreadable.
std::vector<uint8_t> LoadRawResource(const std::string& name, const std::string& type);

// Decodes a blob. Throws SystemError ("Bad compressed data length" / "Bad compressed
// data header") or CompressionError. The stored CRC-32 is not compared.
std::vector<uint8_t> DecodeResourceBlob(std::span<const uint8_t> bytes);

// Loads and decodes a blob resource. Every failure is reported with ReportError and yields
// nullopt; the caller treats the record as absent.
std::optional<std::vector<uint8_t>> LoadResourceBlob(const std::string& name, const std::string& type);

// As LoadResourceBlob, for resources an application may simply not have (scripts the movie asks
// for by name): when the image has no resource of that type and name the result is nullopt with
// no report; only a resource that is there but damaged is reported.
std::optional<std::vector<uint8_t>> LoadResourceBlobIfPresent(const std::string& name, const std::string& type);

}  // namespace velmo::shell
