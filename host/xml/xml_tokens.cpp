// The XML reader's tokenizer: markers first, then quoted text, then punctuation, then plain text.
#include "host/xml/xml_tokens.h"

namespace velmo::host {

bool IsXmlSpace(char16_t c) { return c == u'\t' || c == u'\n' || c == u'\r' || c == u' '; }

namespace {

char16_t FoldAsciiCase(char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c; }

// Ends a run of plain text: white space, "<", "=", ">", or a "/" that starts "/>".
bool EndsText(std::u16string_view text, size_t i) {
    const char16_t c = text[i];
    if (IsXmlSpace(c) || c == u'<' || c == u'=' || c == u'>') return true;
    return c == u'/' && i + 1 < text.size() && text[i + 1] == u'>';
}

}  // namespace

bool XmlNamesEqual(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (FoldAsciiCase(a[i]) != FoldAsciiCase(b[i])) return false;
    return true;
}

bool XmlTokenizer::StartsWithNoCase(std::u16string_view marker) const {
    return text_.size() - pos_ >= marker.size() && XmlNamesEqual(text_.substr(pos_, marker.size()), marker);
}

XmlToken XmlTokenizer::Make(XmlTokenKind kind, size_t length) {
    XmlToken t{kind, pos_, pos_ + length, 0};
    pos_ += length;
    return t;
}

// A quote opens a string only if its partner comes before any "<" and before the end; otherwise the
// quote is an ordinary character at the head of plain text.
XmlToken XmlTokenizer::QuotedOrText() {
    const char16_t quote = text_[pos_];
    for (size_t i = pos_ + 1; i < text_.size() && text_[i] != u'<'; ++i)
        if (text_[i] == quote) return Make(XmlTokenKind::QuotedText, i + 1 - pos_);
    return PlainText();
}

XmlToken XmlTokenizer::PlainText() {
    size_t i = pos_ + 1;  // the first unit never ends text: callers have ruled out every delimiter
    while (i < text_.size() && !EndsText(text_, i)) ++i;
    return Make(XmlTokenKind::Text, i - pos_);
}

XmlToken XmlTokenizer::Next() {
    while (pos_ < text_.size() && IsXmlSpace(text_[pos_])) ++pos_;
    if (pos_ >= text_.size()) return XmlToken{XmlTokenKind::End, pos_, pos_, 0};
    for (size_t i = 0; i < kXmlSectionMarkers.size(); ++i) {
        if (!StartsWithNoCase(kXmlSectionMarkers[i].open)) continue;
        XmlToken t = Make(XmlTokenKind::SectionStart, kXmlSectionMarkers[i].open.size());
        t.section = i;
        return t;
    }
    const char16_t c = text_[pos_];
    const char16_t next = pos_ + 1 < text_.size() ? text_[pos_ + 1] : u'\0';
    const bool hasNext = pos_ + 1 < text_.size();
    switch (c) {
        case u'"':
        case u'\'': return QuotedOrText();
        case u'/': return (hasNext && next == u'>') ? Make(XmlTokenKind::EmptyElementClose, 2) : PlainText();
        case u'<':
            if (hasNext && next == u'/') return Make(XmlTokenKind::EndTagStart, 2);
            if (hasNext && next == u'?') return Make(XmlTokenKind::DeclarationStart, 2);
            return Make(XmlTokenKind::TagStart, 1);
        case u'=': return Make(XmlTokenKind::Equals, 1);
        case u'>': return Make(XmlTokenKind::TagEnd, 1);
        default: return PlainText();
    }
}

}  // namespace velmo::host
