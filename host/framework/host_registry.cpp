#include "host/framework/host_registry.h"

namespace velmo::host {

void RegisterHostClasses(script::Interpreter& interp, std::span<const HostClassEntry> table) {
    for (const HostClassEntry& entry : table) entry.registerClass(interp);
}

}  // namespace velmo::host
