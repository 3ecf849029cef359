#pragma once
// The lexical rules of the XML reader: white space, case folding of names, the opaque-section markers and
// the tokenizer. The tokenizer only reads inside its text and always moves forward, so a parse of any input
// ends after at most one token per code unit.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace velmo::host {

// Only tab, line feed, carriage return and blank separate tokens; every other code unit, NUL and the
// other control characters included, is part of some token.
bool IsXmlSpace(char16_t c);

// Names compare without case, folding A to Z only: other letters must match exactly.
bool XmlNamesEqual(std::u16string_view a, std::u16string_view b);

// Sections whose content is copied unchanged. Openers match without case; closers are searched with case.
struct XmlSectionMarkers {
    std::u16string_view open;
    std::u16string_view close;
};
inline constexpr std::array<XmlSectionMarkers, 5> kXmlSectionMarkers = {{
    {u"<![CDATA[", u"]]>"},
    {u"<PRE>", u"</PRE>"},
    {u"<Script>", u"</Script>"},
    {u"<!--", u"-->"},
    {u"<!DOCTYPE", u">"},
}};

enum class XmlTokenKind : uint8_t {
    End,
    SectionStart,  // `section` says which marker
    QuotedText,    // includes both quotes
    Text,
    EmptyElementClose,  // "/>"
    EndTagStart,        // "</"
    DeclarationStart,   // "<?"
    TagStart,           // "<"
    Equals,
    TagEnd,  // ">"
};

// A token is the code units [start, end) of the text.
struct XmlToken {
    XmlTokenKind kind = XmlTokenKind::End;
    size_t start = 0;
    size_t end = 0;
    size_t section = 0;  // index into kXmlSectionMarkers, for SectionStart only

    bool Is(XmlTokenKind k) const { return kind == k; }
    bool IsText() const { return kind == XmlTokenKind::Text || kind == XmlTokenKind::QuotedText; }
};

class XmlTokenizer {
public:
    explicit XmlTokenizer(std::u16string_view text) : text_(text) {}

    XmlToken Next();

    std::u16string_view Text() const { return text_; }
    std::u16string_view Slice(const XmlToken& t) const { return text_.substr(t.start, t.end - t.start); }
    size_t Position() const { return pos_; }
    // Moves past an opaque section; `pos` never lies before the current position.
    void SkipTo(size_t pos) { pos_ = pos < text_.size() ? pos : text_.size(); }

private:
    bool StartsWithNoCase(std::u16string_view marker) const;
    XmlToken Make(XmlTokenKind kind, size_t length);
    XmlToken QuotedOrText();
    XmlToken PlainText();

    std::u16string_view text_;
    size_t pos_ = 0;
};

}  // namespace velmo::host
