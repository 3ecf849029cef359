#pragma once
// The tolerant XML reader behind the call codec: it builds the element tree of a document whose end tags
// may be missing or mismatched, as long as every end tag closes some open element. It does not validate,
// knows only the five predefined entities, and keeps comments, document type declarations, CDATA sections
// and the raw-text elements PRE and Script as opaque sections.

#include <cstdint>
#include <optional>
#include <string_view>

#include "host/xml/xml_node.h"

namespace velmo::host {

enum class XmlError : uint8_t {
    None = 0,
    MismatchedEndTag = 1,  // tolerated: the end tag closed an enclosing element of its name instead
    MissingTagName = 4,    // nothing usable after "<" or "<?"
    MalformedEndTag = 5,   // no name after "</", or the name not followed by ">"
    UnmatchedEndTag = 7,   // no open element has that name; also an opaque section without its close marker
    UnexpectedToken = 8,
    NoText = 10,
    UnknownEntity = 13,
};

struct XmlParseResult {
    XmlDocument document;  // holds nothing unless `error` is None or MismatchedEndTag
    XmlError error = XmlError::None;
};

// Reads `text` (no text at all is NoText). The text may hold any code unit, NUL included; nothing past its
// end is read. Nesting depth is bounded only by the text's length: the reader keeps its open elements in
// a vector, not on the C++ stack.
XmlParseResult ParseXml(std::optional<std::u16string_view> text);

// The document node, or the empty node when the text is missing or the parse failed.
XmlDocument ParseXmlDocument(std::optional<std::u16string_view> text);

}  // namespace velmo::host
