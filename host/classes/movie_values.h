#pragma once
// The movie hands every variable over as text; scripts get it back as the value it reads as.

#include <string_view>

#include "script/runtime/value.h"

namespace velmo::script {
class Interpreter;
}

namespace velmo::host {

// "true" and "false" give Booleans, "undefined" Undefined, a text the C integer reader (base 10)
// takes whole an Integer, else one the C floating reader takes whole a Number, and anything else
// the String itself. The comparisons are exact (no case folding). The empty text stays an empty
// String: the readers take it whole without reading a digit, and an empty variable is no zero.
script::Value MovieTextValue(script::Interpreter& interp, std::u16string_view text);

}  // namespace velmo::host
