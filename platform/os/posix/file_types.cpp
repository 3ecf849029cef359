// Headless file types: the keys of HKEY_CLASSES_ROOT kept in a profile of their own, which writes
// each change safely (profile.cpp), one section per key path.
#include "platform/file_types.h"

#include "platform/profile.h"

namespace velmo::platform {

// Opened afresh for each key, so that it follows the configuration folder as the profile does.
std::optional<std::string> ReadFileTypeValue(const std::string& keyPath) {
    return OpenProfile("Velmo", "File types")->ReadString(keyPath, "");
}

bool WriteFileTypeValue(const std::string& keyPath, const std::string& text) {
    return OpenProfile("Velmo", "File types")->WriteString(keyPath, "", text);
}

}  // namespace velmo::platform
