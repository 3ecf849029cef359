#pragma once
// Entity decoding for the XML reader's texts and attribute values: the five predefined entities only.

#include <optional>
#include <string>
#include <string_view>

namespace velmo::host {

// Replaces "&lt;", "&gt;", "&amp;", "&apos;" and "&quot;" (names without case) by their characters.
// Any other ampersand, a character reference or one cut short by the end of `text` included, makes the
// whole text undecodable: the result is empty then.
std::optional<std::u16string> DecodeXmlEntities(std::u16string_view text);

}  // namespace velmo::host
