#pragma once
// The text form in which plain values cross between the player's page and the UI process: JSON,
// plus the words `undefined`, `NaN`, `Infinity` and `-Infinity`, which JSON cannot say and the
// movie's values can. The page writes it for the movie's calls and the results of calls into the
// movie; the UI process writes it for replies and for the arguments it puts into the page's
// script. What comes from the page is outside data: the reader checks every byte and bounds the
// nesting.

#include <optional>
#include <string>
#include <string_view>

#include "platform/movie_call_values.h"

namespace velmo::platform {

// Arrays and objects nested deeper than this are refused: each level takes C++ stack.
inline constexpr int kMaxPageValueNesting = 256;

// The value of the whole of `utf8` (blanks around it allowed); none for anything else: a syntax
// error, text after the value, malformed UTF-8, nesting past the limit.
std::optional<PlainValue> ParsePageValue(std::string_view utf8);
// The text of `value`, which both ParsePageValue and a JavaScript expression read as that value.
// Nesting past the limit is written as `null`. Strings escape every control character and U+2028
// and U+2029, and keep a lone surrogate as a \u escape.
std::string WritePageValue(const PlainValue& value);

}  // namespace velmo::platform
