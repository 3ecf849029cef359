// Writing and reading value documents. Writing may run script code (ToString of a function), so
// every container on the path being written is pinned and re-read after each element rather than
// listed once; reading only allocates and never collects.
#include "host/movie/value_codec.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "host/movie/handle_registry.h"
#include "host/xml/xml_parser.h"
#include "platform/text.h"
#include "script/runtime/arrays.h"
#include "script/runtime/convert.h"
#include "script/runtime/interpreter_api.h"
#include "script/runtime/names.h"
#include "script/runtime/objects.h"
#include "script/runtime/pinned.h"
#include "script/runtime/properties.h"
#include "script/runtime/strings.h"

namespace velmo::host {

using script::Tag;
using script::Value;

namespace {

constexpr size_t kCapacityStep = 256;

struct Replacement {
    std::u16string_view plain;
    std::u16string_view escaped;
};
constexpr Replacement kEscapes[] = {
    {u"&", u"&amp;"}, {u"<", u"&lt;"}, {u">", u"&gt;"}, {u"\"", u"&quot;"}, {u"'", u"&apos;"},
};

std::u16string ReplaceAll(std::u16string_view text, std::u16string_view from, std::u16string_view to) {
    std::u16string out;
    out.reserve(text.size());
    for (size_t at = 0;;) {
        const size_t found = text.find(from, at);
        if (found == std::u16string_view::npos) {
            out.append(text.substr(at));
            return out;
        }
        out.append(text.substr(at, found - at)).append(to);
        at = found + from.size();
    }
}

bool NamesEqual(std::u16string_view a, std::u16string_view b) {
    const auto fold = [](char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&](char16_t x, char16_t y) { return fold(x) == fold(y); });
}

std::string NumberElement(int64_t n) { return "<number>" + std::to_string(n) + "</number>"; }

// ---- Writing ----

// The containers on the path from the root to the one being written; meeting one of them again
// means the value contains itself.
class Encoder {
public:
    Encoder(script::Interpreter& interp, CodecBuffer& out) : interp_(interp), out_(out) {}
    bool Value_(const Value& value);

private:
    bool Container(const Value& value);
    bool ArrayBody(const Value& array);
    bool ObjectBody(const Value& object);
    bool Scalar(const Value& value);

    script::Interpreter& interp_;
    CodecBuffer& out_;
    std::vector<const void*> path_;
};

bool Encoder::Value_(const Value& value) {
    if (value.Is(Tag::Array) || value.Is(Tag::Object)) return Container(value);
    return Scalar(value);
}

bool Encoder::Scalar(const Value& value) {
    switch (value.tag) {
        case Tag::Undefined: return out_.AppendAscii("<undefined/>");
        case Tag::Null: return out_.AppendAscii("<null/>");
        case Tag::Boolean: return out_.AppendAscii(value.AsBoolean() ? "<true/>" : "<false/>");
        case Tag::NaN: return out_.AppendAscii("<number>NaN</number>");
        // Integers are written in full: cutting them to their low 32 bits would hand the movie a
        // different number.
        case Tag::Integer: return out_.AppendAscii(NumberElement(value.AsInteger()));
        case Tag::Number: {
            char text[64];
            std::snprintf(text, sizeof text, "<number>%g</number>", value.AsNumber());
            return out_.AppendAscii(text);
        }
        case Tag::String: {
            const std::u16string escaped = EscapeText(script::Text(value.AsString()));
            // An empty element would read back as no text at all; the word keeps the element filled.
            return out_.AppendAscii("<string>") && out_.Append(escaped.empty() ? u"null" : escaped) &&
                   out_.AppendAscii("</string>");
        }
        case Tag::HostObject: {
            const std::optional<uint32_t> handle = HandlesOf(interp_).PinForMovie(value);
            if (!handle) return out_.AppendAscii("<undefined/>");
            return out_.AppendAscii(NumberElement(*handle));
        }
        default: {
            // The text of a function comes from a toString a script may have replaced: it is escaped
            // like any string so that it cannot break the document.
            const std::u16string text = script::ToText(interp_, value);
            return out_.AppendAscii("<string>") && out_.Append(EscapeText(text)) && out_.AppendAscii("</string>");
        }
    }
}

// A container met again on the current path, or nested past the limit, is written as "<null/>":
// writing it out would never end, and the movie has no way to express the loop anyway.
bool Encoder::Container(const Value& value) {
    const void* record = value.payload.p;
    if (std::find(path_.begin(), path_.end(), record) != path_.end() ||
        path_.size() >= static_cast<size_t>(kMaxValueNesting))
        return out_.AppendAscii("<null/>");
    const script::Pinned keep(interp_, value);
    path_.push_back(record);
    const bool ok = value.Is(Tag::Array) ? ArrayBody(value) : ObjectBody(value);
    path_.pop_back();
    return ok;
}

// Elements go in bucket order; each is read again just before it is written, since the text of an
// earlier element may have run a script that changed the array.
bool Encoder::ArrayBody(const Value& array) {
    if (!out_.AppendAscii("<array>")) return false;
    for (const script::IndexedValue& listed : script::ListElements(array.AsArray())) {
        const Value* cell = script::GetElement(array.AsArray(), listed.index);
        if (!cell) continue;
        const Value element = *cell;
        if (!out_.AppendAscii("<property id=\"" + std::to_string(listed.index) + "\">") || !Value_(element) ||
            !out_.AppendAscii("</property>"))
            return false;
    }
    return out_.AppendAscii("</array>");
}

// Slots go in slot order, re-read by position for the same reason as array elements. Names are
// escaped: a quote or "<" in a property name would otherwise end the attribute or the document.
bool Encoder::ObjectBody(const Value& object) {
    if (!out_.AppendAscii("<object>")) return false;
    for (uint32_t i = 0; i < object.AsObject()->slotCount; ++i) {
        const script::Slot slot = object.AsObject()->slots[i];
        if (slot.name == script::kDeletedSlot || slot.name == script::kPositionalSlotName) continue;
        const std::u16string name = platform::AnsiToUtf16(script::NameText(interp_, slot.name));
        if (!out_.AppendAscii("<property id=\"") || !out_.Append(EscapeText(name)) || !out_.AppendAscii("\">") ||
            !Value_(slot.value) || !out_.AppendAscii("</property>"))
            return false;
    }
    return out_.AppendAscii("</object>");
}

// ---- Reading ----

class Decoder {
public:
    explicit Decoder(script::Interpreter& interp) : interp_(interp) {}
    bool Element(const XmlNode& element, Value& out, int depth);

private:
    Value Number(const XmlNode& element);
    Value String(const XmlNode& element);
    Value Array(const XmlNode& element, int depth);
    Value Object(const XmlNode& element, int depth);
    // The decoded first child element of a "property" element.
    bool PropertyValue(const XmlNode& property, Value& out, int depth);

    script::Interpreter& interp_;
};

bool Decoder::Element(const XmlNode& element, Value& out, int depth) {
    const std::u16string_view name = element.Name();
    if (NamesEqual(name, u"undefined")) out = Value::Undefined();
    else if (NamesEqual(name, u"null")) out = Value::Null();
    else if (NamesEqual(name, u"true")) out = Value::Boolean(true);
    else if (NamesEqual(name, u"false")) out = Value::Boolean(false);
    else if (NamesEqual(name, u"number")) out = Number(element);
    else if (NamesEqual(name, u"string")) out = String(element);
    else if (depth >= kMaxValueNesting) return false;
    else if (NamesEqual(name, u"array")) out = Array(element, depth + 1);
    else if (NamesEqual(name, u"object")) out = Object(element, depth + 1);
    else return false;
    return true;
}

// The integer reader first; a stop at '.', 'E', 'e', 'D' or 'd' re-reads the text as a float, as
// ToNumber of a string does.
Value Decoder::Number(const XmlNode& element) {
    const std::optional<std::u16string_view> text = element.Text(0);
    if (!text || text->empty()) return Value::Integer(0);
    return script::StringToNumber(*text);
}

Value Decoder::String(const XmlNode& element) {
    const std::optional<std::u16string_view> text = element.Text(0);
    if (!text || *text == u"null") return script::StringValue(interp_, u"");
    return script::StringValue(interp_, UnescapeText(*text));
}

bool Decoder::PropertyValue(const XmlNode& property, Value& out, int depth) {
    return property.ChildCount() > 0 && Element(property.Child(0), out, depth);
}

// Indices are read as 64-bit decimals; the length ends one past the largest index stored.
Value Decoder::Array(const XmlNode& element, int depth) {
    script::ArrayRecord* array = script::NewArray(interp_, 0);
    for (size_t i = 0; i < element.ChildCount(); ++i) {
        const XmlNode& property = element.Child(i);
        const std::optional<std::u16string_view> id = property.AttributeValue(u"id");
        Value value;
        if (!NamesEqual(property.Name(), u"property") || !id || !PropertyValue(property, value, depth)) continue;
        const script::IntegerRead index = script::ReadInteger(*id, 10);
        if (index.kind != script::IntegerRead::Kind::Integer || index.integer < 0) continue;
        const auto at = static_cast<uint64_t>(index.integer);
        script::PutElement(interp_, array, value, at);
        array->length = std::max(array->length, at + 1);
    }
    return Value::Array(array);
}

Value Decoder::Object(const XmlNode& element, int depth) {
    script::ObjectRecord* object = script::NewObject(interp_);
    for (size_t i = 0; i < element.ChildCount(); ++i) {
        const XmlNode& property = element.Child(i);
        const std::optional<std::u16string_view> id = property.AttributeValue(u"id");
        Value value;
        if (!NamesEqual(property.Name(), u"property") || !id || !PropertyValue(property, value, depth)) continue;
        script::SetOwn(interp_, object, script::Intern(interp_, platform::Utf16ToAnsi(*id)), value);
    }
    return Value::Object(object);
}

}  // namespace

// ---- Buffer ----

bool CodecBuffer::Append(std::u16string_view text) {
    const size_t required = text_.size() + text.size();
    if (required > kMaxDocumentUnits) return false;
    if (required > capacityUnits_) {
        capacityUnits_ = (required / kCapacityStep + 1) * kCapacityStep;
        text_.reserve(capacityUnits_);
    }
    text_.append(text);
    return true;
}

bool CodecBuffer::AppendAscii(std::string_view text) { return Append(std::u16string(text.begin(), text.end())); }

// ---- Entry points ----

std::u16string EscapeText(std::u16string_view text) {
    std::u16string out(text);
    for (const Replacement& r : kEscapes) out = ReplaceAll(out, r.plain, r.escaped);
    return out;
}

std::u16string UnescapeText(std::u16string_view text) {
    std::u16string out(text);
    for (const Replacement& r : kEscapes) out = ReplaceAll(out, r.escaped, r.plain);
    return out;
}

bool EncodeValue(script::Interpreter& interp, CodecBuffer& buffer, const Value& value) {
    return Encoder(interp, buffer).Value_(value);
}

bool EncodeRequest(script::Interpreter& interp, CodecBuffer& buffer, std::u16string_view name, const Value* args) {
    // The name is escaped like a string: a quote in it would end the attribute early.
    if (!buffer.AppendAscii("<invoke name=\"") || !buffer.Append(EscapeText(name)) ||
        !buffer.AppendAscii("\" returntype=\"xml\"><arguments>"))
        return false;
    const int64_t count = args[0].AsInteger();
    for (int64_t i = 1; i <= count; ++i)
        if (!EncodeValue(interp, buffer, args[i])) return false;
    return buffer.AppendAscii("</arguments></invoke>");
}

bool DecodeValue(script::Interpreter& interp, const XmlNode& element, Value& out) {
    return Decoder(interp).Element(element, out, 0);
}

DecodedRequest DecodeRequest(script::Interpreter& interp, std::u16string_view text) {
    DecodedRequest request;
    const XmlDocument document = ParseXmlDocument(text);
    const XmlNode& root = document.Root();
    size_t at = 0;
    const XmlNode& invoke = root.FindChild(u"invoke", at);
    if (invoke.IsEmpty()) {
        Value single;
        if (root.ChildCount() > 0 && DecodeValue(interp, root.Child(0), single)) request.single = single;
        return request;
    }
    if (const std::optional<std::u16string_view> name = invoke.AttributeValue(u"name"))
        request.ansiName = platform::Utf16ToAnsi(*name);
    request.args.push_back(Value::Integer(1));
    size_t argumentsAt = 0;
    const XmlNode& arguments = invoke.FindChild(u"arguments", argumentsAt);
    request.hasArguments = !arguments.IsEmpty();
    for (size_t i = 0; i < arguments.ChildCount(); ++i) {
        Value value;
        if (!DecodeValue(interp, arguments.Child(i), value)) continue;  // dropped, not counted
        request.args.push_back(value);
    }
    request.args[0] = Value::Integer(static_cast<int64_t>(request.args.size()) - 1);
    return request;
}

}  // namespace velmo::host
