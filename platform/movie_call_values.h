#pragma once
// The values a movie's external calls carry, as plain data: what a player that speaks JavaScript
// gives and takes. The request and reply documents of the MovieControl interface are XML written
// by the host's call codec; a control that has no such documents of its own converts through
// MovieCallDocuments, which the layers above the platform implement with that same codec, so that
// the platform never holds a second reader or writer of the document format.

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace velmo::platform {

struct PlainValue {
    enum class Kind { Undefined, Null, Boolean, Number, String, Array, Object };
    Kind kind = Kind::Undefined;
    bool boolean = false;
    double number = 0;
    std::u16string text;               // a String's
    std::vector<PlainValue> items;     // an Array's elements, an Object's property values
    std::vector<std::u16string> keys;  // an Object's property names, one per item

    static PlainValue Of(Kind kind) {
        PlainValue v;
        v.kind = kind;
        return v;
    }
    static PlainValue Null() { return Of(Kind::Null); }
    static PlainValue Boolean(bool b) {
        PlainValue v = Of(Kind::Boolean);
        v.boolean = b;
        return v;
    }
    static PlainValue Number(double d) {
        PlainValue v = Of(Kind::Number);
        v.number = d;
        return v;
    }
    static PlainValue String(std::u16string s) {
        PlainValue v = Of(Kind::String);
        v.text = std::move(s);
        return v;
    }
    bool operator==(const PlainValue&) const = default;
};

// An external call as a name and its arguments.
struct PlainCall {
    std::u16string name;
    std::vector<PlainValue> args;
};

class MovieCallDocuments {
public:
    virtual ~MovieCallDocuments() = default;
    // The request document of a call into the movie, and back; none for a document that is no
    // request.
    virtual std::u16string RequestDocument(std::u16string_view name, std::span<const PlainValue> args) const = 0;
    virtual std::optional<PlainCall> ParseRequest(std::u16string_view request) const = 0;
    // The reply document of a value, and back; none for a document that holds no value.
    virtual std::u16string ReplyDocument(const PlainValue& value) const = 0;
    virtual std::optional<PlainValue> ParseReply(std::u16string_view reply) const = 0;
};

}  // namespace velmo::platform
