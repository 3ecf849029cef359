// Value documents over plain values. The rules that both codecs share (escapes, element names read
// without case, the number reader) come from value_codec.h and the script runtime; only the walk over
// the values is this file's.
#include "host/movie/plain_documents.h"

#include <cmath>
#include <cstdio>
#include <string>

#include "host/movie/value_codec.h"
#include "host/xml/xml_parser.h"
#include "host/xml/xml_tokens.h"
#include "script/runtime/convert.h"
#include "script/runtime/value.h"

namespace velmo::host {

using platform::PlainValue;

namespace {

using Kind = PlainValue::Kind;

void AppendAscii(std::u16string& out, std::string_view text) { out.append(text.begin(), text.end()); }

// Whole numbers as the codec writes Integer cells, in full; other numbers as it writes Number cells.
void AppendNumber(std::u16string& out, double d) {
    if (std::isnan(d)) return AppendAscii(out, "<number>NaN</number>");
    char text[64];
    if (std::trunc(d) == d && std::fabs(d) < 9007199254740992.0)
        std::snprintf(text, sizeof text, "<number>%lld</number>", static_cast<long long>(d));
    else std::snprintf(text, sizeof text, "<number>%g</number>", d);
    AppendAscii(out, text);
}

void AppendValue(std::u16string& out, const PlainValue& value, int depth) {
    switch (value.kind) {
        case Kind::Undefined: return AppendAscii(out, "<undefined/>");
        case Kind::Null: return AppendAscii(out, "<null/>");
        case Kind::Boolean: return AppendAscii(out, value.boolean ? "<true/>" : "<false/>");
        case Kind::Number: return AppendNumber(out, value.number);
        case Kind::String: {
            const std::u16string escaped = EscapeText(value.text);
            AppendAscii(out, "<string>");
            out += escaped.empty() ? u"null" : escaped;  // as the codec keeps the element filled
            return AppendAscii(out, "</string>");
        }
        case Kind::Array:
        case Kind::Object: break;
    }
    if (depth >= kMaxValueNesting) return AppendAscii(out, "<null/>");
    const bool isObject = value.kind == Kind::Object;
    AppendAscii(out, isObject ? "<object>" : "<array>");
    for (size_t i = 0; i < value.items.size(); ++i) {
        AppendAscii(out, "<property id=\"");
        if (isObject) out += EscapeText(i < value.keys.size() ? std::u16string_view(value.keys[i]) : u"");
        else AppendAscii(out, std::to_string(i));
        AppendAscii(out, "\">");
        AppendValue(out, value.items[i], depth + 1);
        AppendAscii(out, "</property>");
    }
    AppendAscii(out, isObject ? "</object>" : "</array>");
}

double NumberOf(const XmlNode& element) {
    const std::optional<std::u16string_view> text = element.Text(0);
    if (!text || text->empty()) return 0;
    const script::Value v = script::StringToNumber(*text);
    if (v.Is(script::Tag::Integer)) return static_cast<double>(v.AsInteger());
    if (v.Is(script::Tag::Number)) return v.AsNumber();
    return std::nan("");
}

bool ReadElement(const XmlNode& element, PlainValue& out, int depth);

// The value of a "property" element, and its id; false for anything else.
bool ReadProperty(const XmlNode& property, std::u16string_view& id, PlainValue& out, int depth) {
    const std::optional<std::u16string_view> idText = property.AttributeValue(u"id");
    if (!XmlNamesEqual(property.Name(), u"property") || !idText || property.ChildCount() == 0) return false;
    id = *idText;
    return ReadElement(property.Child(0), out, depth);
}

// An array's properties by decimal index; the length ends one past the largest index read, and the
// places no property filled hold undefined.
PlainValue ReadArray(const XmlNode& element, int depth) {
    PlainValue array = PlainValue::Of(Kind::Array);
    for (size_t i = 0; i < element.ChildCount(); ++i) {
        std::u16string_view id;
        PlainValue item;
        if (!ReadProperty(element.Child(i), id, item, depth) || id.empty() || id.size() > 9) continue;
        uint64_t index = 0;
        bool digits = true;
        for (const char16_t c : id) {
            digits = digits && c >= u'0' && c <= u'9';
            index = index * 10 + (c - u'0');
        }
        if (!digits || index >= kMaxPlainArrayIndex) continue;
        if (array.items.size() <= index) array.items.resize(index + 1);
        array.items[index] = std::move(item);
    }
    return array;
}

// A property named twice keeps its last value, as storing into an object does.
PlainValue ReadObject(const XmlNode& element, int depth) {
    PlainValue object = PlainValue::Of(Kind::Object);
    for (size_t i = 0; i < element.ChildCount(); ++i) {
        std::u16string_view id;
        PlainValue item;
        if (!ReadProperty(element.Child(i), id, item, depth)) continue;
        size_t at = 0;
        while (at < object.keys.size() && object.keys[at] != id) ++at;
        if (at == object.keys.size()) {
            object.keys.emplace_back(id);
            object.items.push_back(std::move(item));
        } else {
            object.items[at] = std::move(item);
        }
    }
    return object;
}

bool ReadElement(const XmlNode& element, PlainValue& out, int depth) {
    const std::u16string_view name = element.Name();
    if (XmlNamesEqual(name, u"undefined")) out = PlainValue();
    else if (XmlNamesEqual(name, u"null")) out = PlainValue::Null();
    else if (XmlNamesEqual(name, u"true")) out = PlainValue::Boolean(true);
    else if (XmlNamesEqual(name, u"false")) out = PlainValue::Boolean(false);
    else if (XmlNamesEqual(name, u"number")) out = PlainValue::Number(NumberOf(element));
    else if (XmlNamesEqual(name, u"string")) {
        const std::optional<std::u16string_view> text = element.Text(0);
        out = PlainValue::String(!text || *text == u"null" ? std::u16string() : UnescapeText(*text));
    } else if (depth >= kMaxValueNesting) return false;
    else if (XmlNamesEqual(name, u"array")) out = ReadArray(element, depth + 1);
    else if (XmlNamesEqual(name, u"object")) out = ReadObject(element, depth + 1);
    else return false;
    return true;
}

}  // namespace

std::u16string PlainCallDocuments::RequestDocument(std::u16string_view name, std::span<const PlainValue> args) const {
    std::u16string out = u"<invoke name=\"" + EscapeText(name) + u"\" returntype=\"xml\"><arguments>";
    for (const PlainValue& arg : args) AppendValue(out, arg, 0);
    return out + u"</arguments></invoke>";
}

// As DecodeRequest reads it: arguments that are no value element are dropped.
std::optional<platform::PlainCall> PlainCallDocuments::ParseRequest(std::u16string_view request) const {
    const XmlDocument document = ParseXmlDocument(request);
    size_t at = 0;
    const XmlNode& invoke = document.Root().FindChild(u"invoke", at);
    const std::optional<std::u16string_view> name = invoke.AttributeValue(u"name");
    if (invoke.IsEmpty() || !name) return std::nullopt;
    platform::PlainCall call{.name = std::u16string(*name), .args = {}};
    size_t argumentsAt = 0;
    const XmlNode& arguments = invoke.FindChild(u"arguments", argumentsAt);
    for (size_t i = 0; i < arguments.ChildCount(); ++i) {
        PlainValue value;
        if (ReadElement(arguments.Child(i), value, 0)) call.args.push_back(std::move(value));
    }
    return call;
}

std::u16string PlainCallDocuments::ReplyDocument(const PlainValue& value) const {
    std::u16string out;
    AppendValue(out, value, 0);
    return out;
}

std::optional<PlainValue> PlainCallDocuments::ParseReply(std::u16string_view reply) const {
    const XmlDocument document = ParseXmlDocument(reply);
    const XmlNode& root = document.Root();
    PlainValue value;
    if (root.ChildCount() == 0 || !ReadElement(root.Child(0), value, 0)) return std::nullopt;
    return value;
}

}  // namespace velmo::host
