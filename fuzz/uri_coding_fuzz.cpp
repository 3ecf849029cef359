// The URI functions' coding over any UTF-16 text (the input's bytes taken in pairs): what decodes
// and then encodes (text outside escapes may hold lone surrogates, which do not) decodes back to
// the same; what encodes decodes back to the input.
#include <cstddef>
#include <cstdint>
#include <string>

#include "host/classes/uri_coding.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace velmo::host;
    std::u16string text;
    for (size_t i = 0; i + 1 < size; i += 2) text += static_cast<char16_t>(data[i] | data[i + 1] << 8);
    if (const auto decoded = DecodeUriText(text, {})) {
        const auto again = EncodeUriText(*decoded, kUriUnescapedSet);
        if (again && DecodeUriText(*again, {}) != decoded) __builtin_trap();
    }
    (void)DecodeUriText(text, kUriReservedSet);
    if (const auto encoded = EncodeUriText(text, kUriUnescapedSet)) {
        if (DecodeUriText(*encoded, {}) != text) __builtin_trap();
    }
    return 0;
}
