// The options sheet's values file over any bytes: refused with a located reason or read; what is
// read goes through the real sheet's controls into a settings record, which keeps its limits and
// reads back as it was written.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/common/sheet_values.h"
#include "shell/options_sheet.h"

using namespace velmo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const platform::SheetValuesParse parsed =
        platform::ParseSheetValues(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!parsed.values) {
        if (parsed.error.rfind("line ", 0) != 0) __builtin_trap();
        return 0;
    }
    shell::SettingsRecord settings;
    platform::SheetDescription sheet = shell::MakeOptionsSheet(settings);
    for (const auto& [id, value] : parsed.values->values) {
        const bool known = sheet.Find(id) != nullptr;
        if (platform::SetSheetValue(sheet, id, value) && !known) __builtin_trap();
    }
    shell::ReadOptionsSheet(sheet, settings);
    if (settings.appearance.caption.size() > shell::kMaxOptionText) __builtin_trap();
    if (settings.appearance.clipShapeImage.size() > shell::kMaxOptionText) __builtin_trap();
    if (settings.sizeAndPosition.position > 10) __builtin_trap();
    // Texts are stored as UTF-16 and cut to the path limit when read, which on the headless code
    // page (UTF-8) may differ from the bytes written; ASCII texts must come back exactly.
    shell::SettingsRecord back;
    if (!shell::ReadSettingsRecord(shell::WriteSettingsRecord(settings), back)) __builtin_trap();
    back.regionList = settings.regionList;
    bool ascii = true;
    for (size_t i = 0; i < size; ++i) ascii = ascii && data[i] < 0x80;
    if (ascii && !(back == settings)) __builtin_trap();
    return 0;
}
