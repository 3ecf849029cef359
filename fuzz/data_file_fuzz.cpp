// The data-file reader over any bytes: the INI text itself, then every section's path and texts as
// DataFile.load reads them, and the texts written back must parse to the same sections.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "host/classes/data_file_text.h"
#include "platform/common/ini_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace velmo;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const platform::IniDocument doc = platform::IniDocument::Parse(text);
    const platform::IniDocument again = platform::IniDocument::Parse(doc.Text());
    if (again.SectionNames() != doc.SectionNames()) __builtin_trap();
    for (const std::string& section : doc.SectionNames()) {
        (void)host::SplitSectionPath(section);
        const std::string value = doc.Read(section, "value").value_or("");
        (void)host::StringFromValueText(value);
        (void)host::ReadFloatText(value);
        (void)host::ReadIntegerText(value);
        if (doc.Read(section, "value") != again.Read(section, "value")) __builtin_trap();
    }
    return 0;
}
