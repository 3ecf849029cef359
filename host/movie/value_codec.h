#pragma once
// The value documents the movie and the scripts exchange: "<undefined/>", "<null/>", "<true/>",
// "<false/>", "<number>", "<string>", "<array>" and "<object>" with "<property id=...>" children,
// and the "<invoke>" request that wraps them. Element names are written in lower case and read
// without regard to case. Host objects cross as numbers: handles of the registry (handle_registry.h).

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/xml/xml_node.h"
#include "script/runtime/interpreter_api.h"
#include "script/runtime/value.h"

namespace velmo::host {

// A document never grows past this many code units; an append that would is a failed append, and
// the whole encoding fails with it.
inline constexpr size_t kMaxDocumentUnits = size_t{1} << 26;
// Containers nested deeper than this are neither written nor read: each level takes C++ stack, and
// a document or a script structure can nest as deep as it likes.
inline constexpr int kMaxValueNesting = 512;

// Growable UTF-16 output: the capacity goes up in steps of 256 code units, to the next multiple
// of 256 above the length the append needs.
class CodecBuffer {
public:
    [[nodiscard]] bool Append(std::u16string_view text);
    [[nodiscard]] bool AppendAscii(std::string_view text);
    const std::u16string& Text() const { return text_; }

private:
    std::u16string text_;
    size_t capacityUnits_ = 0;
};

// The five replacements, each over the whole result of the one before: "&" first when writing,
// and "&amp;" first when reading, so reading does not undo writing character for character.
std::u16string EscapeText(std::u16string_view text);
std::u16string UnescapeText(std::u16string_view text);

// Appends the value document of `value`. False when an append failed; the buffer is then to be
// discarded. May run script code (ToString of functions), so it can collect.
[[nodiscard]] bool EncodeValue(script::Interpreter& interp, CodecBuffer& buffer, const script::Value& value);
// "<invoke name=\"NAME\" returntype=\"xml\"><arguments>" + a document per argument 1 to n of `args`
// + "</arguments></invoke>".
[[nodiscard]] bool EncodeRequest(script::Interpreter& interp, CodecBuffer& buffer, std::u16string_view name,
                                 const script::Value* args);

// The value of one element; false for names that are no value element. Nothing here collects.
[[nodiscard]] bool DecodeValue(script::Interpreter& interp, const XmlNode& element, script::Value& out);

// A decoded request: with an "invoke" element, its name and an argument vector (cell 0 the count
// n of the arguments after it); without one, the value of the first element alone.
struct DecodedRequest {
    std::optional<std::string> ansiName;  // set only by an "invoke" element with a "name"
    bool hasArguments = false;            // the "invoke" element had an "arguments" element
    std::vector<script::Value> args;      // an argument vector when `ansiName` is set
    std::optional<script::Value> single;  // the first element's value when there was no "invoke"
};
// The values in the result are reachable from nothing: pin them before running script code.
DecodedRequest DecodeRequest(script::Interpreter& interp, std::u16string_view text);

}  // namespace velmo::host
