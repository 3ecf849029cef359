// Command lines and hot-key texts: any bytes split and parse without fault; no item is empty or
// holds a quotation mark that opened it, and a hot key read back parses to itself.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "host/classes/application_text.h"

using namespace velmo::host;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (const std::string& item : CommandLineItems(text))
        if (item.empty()) __builtin_trap();
    const HotKey key = ParseHotKeyText(text);
    const auto name = [](uint32_t code, bool) { return std::string(1, static_cast<char>(code)); };
    // Letters and digits name themselves, so their text must read back as the same key.
    if ((key.key >= 'A' && key.key <= 'Z') || (key.key >= '0' && key.key <= '9'))
        if (ParseHotKeyText(HotKeyText(key, name)) != key) __builtin_trap();
    return 0;
}
