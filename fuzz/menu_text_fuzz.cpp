// The text form of menu definitions: any text is read or refused with a located error, and what
// was read goes through the runtime's stream unchanged.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "shell/menu_definition.h"
#include "tools/builder/manifest.h"
#include "tools/builder/menu_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    try {
        const auto items = velmo::builder::ParseMenuText(text, "fuzz.menu");
        const auto read = velmo::shell::ReadMenuDefinition(velmo::shell::WriteMenuDefinition(items));
        if (!read || *read != items) __builtin_trap();
    } catch (const velmo::builder::ManifestError&) {}
    return 0;
}
