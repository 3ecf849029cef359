// The steps of an association, the same on every system; only the store of the keys differs.
#include "platform/file_types.h"

namespace velmo::platform {

bool AssociateFileType(const std::string& extension, const std::string& typeName, const std::string& exePath) {
    if (!WriteFileTypeValue(typeName + "\\DefaultIcon", exePath + ",1")) return false;
    if (!WriteFileTypeValue(typeName + "\\shell\\open\\command", exePath + " \"%1\"")) return false;
    // An extension some other program already claims keeps its owner; one that names only itself
    // (as some installers leave it) is taken over.
    const std::optional<std::string> current = ReadFileTypeValue(extension);
    if (current && !current->empty() && *current != extension) return true;
    return WriteFileTypeValue(extension, typeName);
}

}  // namespace velmo::platform
