// One process runs one application, so the key is process-wide like the settings it comes from.
#include "host/classes/data_key.h"

namespace velmo::host {

namespace {
std::string& Key() {
    static std::string key(kDefaultDataKey);
    return key;
}
}  // namespace

void SetDataKey(std::string ansiKey) { Key() = std::move(ansiKey); }
const std::string& DataKey() { return Key(); }

}  // namespace velmo::host
