#pragma once
// Readers of module bytes from memory or a file. They check the framing only (an optional leading
// "#" line, the magic, the directory, section bounds); the contents are VerifyModule's business.
// A refused input gives nothing and no message.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "script/runtime/module.h"

namespace velmo::script {

// Refuses: a "#" line without LF; fewer than 8 bytes after it; a wrong magic; a directory running
// past the end; a kind other than 0-3 or a kind given twice; a section reaching past the end,
// starting inside the header or overlapping another non-empty section.
[[nodiscard]] std::optional<Module> ReadModuleMemory(const uint8_t* data, size_t sizeBytes);
[[nodiscard]] std::optional<Module> ReadModuleMemory(const std::vector<uint8_t>& bytes);
// The same for the whole file at `path`; a file that cannot be read is refused.
[[nodiscard]] std::optional<Module> ReadModuleFile(const std::string& path);

}  // namespace velmo::script
