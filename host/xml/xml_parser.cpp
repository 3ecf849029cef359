// The XML reader's element parsing. It is written as a loop over an explicit stack of open elements rather
// than a recursive descent, so that nesting in outside data cannot exhaust the C++ stack; each step feeds
// one token to the innermost open element, in attribute mode (inside a start tag) or content mode.
#include "host/xml/xml_parser.h"

#include <vector>

#include "host/xml/xml_entities.h"
#include "host/xml/xml_tokens.h"

namespace velmo::host {

namespace {

enum class Mode : uint8_t { Attributes, Content };
enum class AttributeState : uint8_t { ExpectName, HaveName, HaveEquals };

struct OpenElement {
    OpenElement(XmlNode* n, Mode m) : node(n), mode(m) {}

    XmlNode* node;  // not owned
    Mode mode;
    AttributeState state = AttributeState::ExpectName;
    std::u16string_view attributeName;  // pending, while HaveName or HaveEquals
    std::optional<size_t> runStart;     // where the pending text run began, in content mode
};

class Parser {
public:
    Parser(std::u16string_view text, XmlDocument& document) : tokens_(text), document_(document) {}
    XmlError Run();

private:
    void Step();
    void AttributeToken(const XmlToken& t);
    void EndOfStartTag(const XmlToken& t);
    void ContentToken(const XmlToken& t);
    void OpenChild(bool isDeclaration);
    void CloseByEndTag();
    void OpaqueSection(const XmlToken& t);
    bool CloseRun(size_t end, bool raw);
    void AddPendingAttribute(std::optional<std::u16string> value);
    void EndOfText();
    void Finish();
    void Fail(XmlError error);

    OpenElement& Top() { return open_.back(); }
    bool AtDocumentLevel() const { return open_.size() == 1; }

    XmlTokenizer tokens_;
    XmlDocument& document_;
    std::vector<OpenElement> open_;      // [0] is the document node
    std::u16string_view pendingEndTag_;  // an end tag still looking for its element
    XmlError error_ = XmlError::None;
    bool stopped_ = false;
};

std::u16string_view WithoutTrailing(std::u16string_view s, char16_t c) {
    return (!s.empty() && s.back() == c) ? s.substr(0, s.size() - 1) : s;
}

// An end tag names an element when it starts with the element's name (without case) and the name is not
// followed by more of a name. The end tag's own text cannot hold white space, "<", ">" or "=", so only a
// following "/" can occur.
bool EndTagNames(std::u16string_view endTag, std::u16string_view elementName) {
    if (endTag.size() < elementName.size()) return false;
    if (!XmlNamesEqual(endTag.substr(0, elementName.size()), elementName)) return false;
    if (endTag.size() == elementName.size()) return true;
    const char16_t c = endTag[elementName.size()];
    return IsXmlSpace(c) || c == u'/' || c == u'<' || c == u'>' || c == u'=';
}

XmlError Parser::Run() {
    open_.emplace_back(&document_.MakeRoot(), Mode::Content);
    while (!stopped_ && !open_.empty()) Step();
    return error_;
}

void Parser::Fail(XmlError error) {
    error_ = error;
    stopped_ = true;
}

void Parser::Step() {
    const XmlToken t = tokens_.Next();
    if (t.Is(XmlTokenKind::End)) return EndOfText();
    if (Top().mode == Mode::Attributes) return AttributeToken(t);
    ContentToken(t);
}

// The end of the text ends every open element without an error of its own. What the innermost element
// was in the middle of is kept: a text run, or an attribute name cut short (kept without a value).
void Parser::EndOfText() {
    OpenElement& top = Top();
    if (top.mode == Mode::Content) {
        CloseRun(tokens_.Text().size(), false);
    } else if (top.state != AttributeState::ExpectName) {
        AddPendingAttribute(std::nullopt);
    }
    stopped_ = true;
}

void Parser::AddPendingAttribute(std::optional<std::u16string> value) {
    OpenElement& top = Top();
    top.node->AddAttribute(std::u16string(top.attributeName), std::move(value));
    top.state = AttributeState::ExpectName;
}

void Parser::AttributeToken(const XmlToken& t) {
    OpenElement& top = Top();
    const bool isDeclaration = top.node->IsDeclaration();
    switch (top.state) {
        case AttributeState::ExpectName:
            if (t.Is(XmlTokenKind::Text)) {
                top.attributeName = tokens_.Slice(t);
                top.state = AttributeState::HaveName;
                return;
            }
            return EndOfStartTag(t);
        case AttributeState::HaveName:
            if (t.Is(XmlTokenKind::Text)) {
                AddPendingAttribute(std::nullopt);
                top.attributeName = tokens_.Slice(t);
                top.state = AttributeState::HaveName;
                return;
            }
            if (t.Is(XmlTokenKind::Equals)) {
                top.state = AttributeState::HaveEquals;
                return;
            }
            if (t.Is(XmlTokenKind::TagEnd) || t.Is(XmlTokenKind::EmptyElementClose)) {
                if (isDeclaration) top.attributeName = WithoutTrailing(top.attributeName, u'?');
                if (!top.attributeName.empty()) AddPendingAttribute(std::nullopt);
                top.state = AttributeState::ExpectName;
            }
            return EndOfStartTag(t);
        case AttributeState::HaveEquals: {
            if (!t.IsText()) return Fail(XmlError::UnexpectedToken);
            std::u16string_view raw = tokens_.Slice(t);
            if (isDeclaration) raw = WithoutTrailing(raw, u'?');
            if (t.Is(XmlTokenKind::QuotedText)) raw = raw.substr(1, raw.size() - 2);
            std::optional<std::u16string> value = DecodeXmlEntities(raw);
            if (!value) return Fail(XmlError::UnknownEntity);
            return AddPendingAttribute(std::move(value));
        }
    }
}

// ">" opens the content, "/>" finishes the element; nothing else may stand where a name is expected.
// A declaration whose start tag ends in "?>" has no content: read literally, "<?xml ...?>" would take the
// whole rest of the document in as its content and hide it from look-ups at the top level.
void Parser::EndOfStartTag(const XmlToken& t) {
    if (t.Is(XmlTokenKind::EmptyElementClose)) return Finish();
    if (!t.Is(XmlTokenKind::TagEnd)) return Fail(XmlError::UnexpectedToken);
    const std::u16string_view text = tokens_.Text();
    if (Top().node->IsDeclaration() && t.start > 0 && text[t.start - 1] == u'?') return Finish();
    Top().mode = Mode::Content;
}

void Parser::ContentToken(const XmlToken& t) {
    switch (t.kind) {
        case XmlTokenKind::Text:
        case XmlTokenKind::QuotedText:
        case XmlTokenKind::Equals:
            if (!Top().runStart) Top().runStart = t.start;
            return;
        case XmlTokenKind::TagStart:
        case XmlTokenKind::DeclarationStart:
            if (CloseRun(t.start, false)) OpenChild(t.Is(XmlTokenKind::DeclarationStart));
            return;
        case XmlTokenKind::EndTagStart:
            if (CloseRun(t.start, false)) CloseByEndTag();
            return;
        case XmlTokenKind::SectionStart: CloseRun(t.start, true); return OpaqueSection(t);
        default: return Fail(XmlError::UnexpectedToken);  // ">" or "/>" outside a tag
    }
}

// Adds the pending text run [runStart, end). Runs end at markup: before an element or an end tag the run
// loses its trailing white space and has its entities decoded; before an opaque section it is kept raw.
bool Parser::CloseRun(size_t end, bool raw) {
    OpenElement& top = Top();
    if (!top.runStart) return true;
    std::u16string_view run = tokens_.Text().substr(*top.runStart, end - *top.runStart);
    top.runStart.reset();
    if (raw) {
        top.node->AddText(std::u16string(run));
        return true;
    }
    while (!run.empty() && IsXmlSpace(run.back())) run.remove_suffix(1);
    std::optional<std::u16string> decoded = DecodeXmlEntities(run);
    if (!decoded) {
        Fail(XmlError::UnknownEntity);
        return false;
    }
    top.node->AddText(std::move(*decoded));
    return true;
}

void Parser::OpenChild(bool isDeclaration) {
    const XmlToken name = tokens_.Next();
    if (!name.Is(XmlTokenKind::Text)) return Fail(XmlError::MissingTagName);
    XmlNode& child = document_.AddElement(*Top().node, std::u16string(tokens_.Slice(name)), isDeclaration);
    open_.emplace_back(&child, Mode::Attributes);
}

// "</name>": closes this element when the name is its own; otherwise the end tag is handed outwards and
// closes the nearest enclosing element of that name together with everything opened inside it.
void Parser::CloseByEndTag() {
    const XmlToken name = tokens_.Next();
    if (!name.Is(XmlTokenKind::Text) || !tokens_.Next().Is(XmlTokenKind::TagEnd))
        return Fail(XmlError::MalformedEndTag);
    // An end tag at the top level has no element to close; it is refused rather than ending the parse
    // early with the rest of the document silently dropped.
    if (AtDocumentLevel()) return Fail(XmlError::UnmatchedEndTag);
    const std::u16string_view endTag = tokens_.Slice(name);
    if (!EndTagNames(endTag, Top().node->Name())) {
        error_ = XmlError::MismatchedEndTag;
        pendingEndTag_ = endTag;
    }
    Finish();
}

// Leaves the innermost element. While an end tag is still unmatched, each enclosing element is left in
// turn, up to and including the one it names; reaching the document level with it unmatched is an error.
void Parser::Finish() {
    open_.pop_back();
    while (!pendingEndTag_.empty() && !open_.empty()) {
        if (AtDocumentLevel()) return Fail(XmlError::UnmatchedEndTag);
        if (EndTagNames(pendingEndTag_, Top().node->Name())) pendingEndTag_ = {};
        open_.pop_back();
    }
}

// The close marker is searched with case from just after the open marker; the content between is copied.
void Parser::OpaqueSection(const XmlToken& t) {
    const XmlSectionMarkers& markers = kXmlSectionMarkers[t.section];
    const std::u16string_view text = tokens_.Text();
    const size_t close = text.find(markers.close, t.end);
    if (close == std::u16string_view::npos) return Fail(XmlError::UnmatchedEndTag);
    Top().node->AddSection({markers.open, std::u16string(text.substr(t.end, close - t.end)), markers.close});
    tokens_.SkipTo(close + markers.close.size());
}

}  // namespace

XmlParseResult ParseXml(std::optional<std::u16string_view> text) {
    XmlParseResult result;
    if (!text) {
        result.error = XmlError::NoText;
        return result;
    }
    result.error = Parser(*text, result.document).Run();
    if (result.error != XmlError::None && result.error != XmlError::MismatchedEndTag) result.document.Clear();
    return result;
}

XmlDocument ParseXmlDocument(std::optional<std::u16string_view> text) { return ParseXml(text).document; }

}  // namespace velmo::host
