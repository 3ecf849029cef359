#include "host/classes/movie_values.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <string>

#include "script/runtime/strings.h"

namespace velmo::host {

using script::Value;

Value MovieTextValue(script::Interpreter& interp, std::u16string_view text) {
    if (text == u"true") return Value::Boolean(true);
    if (text == u"false") return Value::Boolean(false);
    if (text == u"undefined") return Value::Undefined();
    // The readers see ASCII only: any other character (or a NUL, which would end their text
    // early) makes the text a String.
    std::string narrow;
    bool ascii = !text.empty();
    for (const char16_t c : text) {
        if (c == 0 || c > 0x7F) ascii = false;
        narrow += static_cast<char>(c);
    }
    if (ascii) {
        const char* begin = narrow.c_str();
        char* end = nullptr;
        errno = 0;
        const long long integer = std::strtoll(begin, &end, 10);
        if (end != begin && *end == '\0' && errno != ERANGE) return Value::Integer(integer);
        end = nullptr;
        const double number = std::strtod(begin, &end);
        if (end != begin && *end == '\0') return std::isnan(number) ? Value::NaN() : Value::Number(number);
    }
    return script::StringValue(interp, text);
}

}  // namespace velmo::host
