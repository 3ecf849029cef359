// The five predefined entities; the reader knows no others and no character references.
#include "host/xml/xml_entities.h"

#include <array>

#include "host/xml/xml_tokens.h"

namespace velmo::host {

namespace {

struct Entity {
    std::u16string_view body;  // what follows the ampersand, the semicolon included
    char16_t character;
};
constexpr std::array<Entity, 5> kEntities = {{
    {u"lt;", u'<'},
    {u"gt;", u'>'},
    {u"amp;", u'&'},
    {u"apos;", u'\''},
    {u"quot;", u'"'},
}};

}  // namespace

std::optional<std::u16string> DecodeXmlEntities(std::u16string_view text) {
    std::u16string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        if (text[i] != u'&') {
            out.push_back(text[i++]);
            continue;
        }
        const std::u16string_view rest = text.substr(i + 1);
        const Entity* found = nullptr;
        for (const Entity& e : kEntities)
            if (rest.size() >= e.body.size() && XmlNamesEqual(rest.substr(0, e.body.size()), e.body)) found = &e;
        if (!found) return std::nullopt;
        out.push_back(found->character);
        i += 1 + found->body.size();
    }
    return out;
}

}  // namespace velmo::host
