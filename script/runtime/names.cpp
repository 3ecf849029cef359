#include "script/runtime/names.h"

#include <algorithm>

#include "script/runtime/name_hash.h"

namespace velmo::script {

// `text` is 8-bit text or ASCII UTF-16 text, whose units are the bytes of its 8-bit name.
template <class Chars>
NameTable::Key NameTable::KeyOf(Chars text) {
    Key key{NameHash(text), 0, 0, text.size()};
    key.tag = key.hash << 4 | static_cast<uint32_t>(std::min<size_t>(text.size(), 15));
    for (size_t i = 0; i < std::min<size_t>(text.size(), 8); ++i)
        key.head |= uint64_t{static_cast<uint8_t>(text[i])} << (8 * i);
    return key;
}

template <class SameText>
uint32_t NameTable::Probe(const Key& key, SameText same) const {
    const size_t mask = places_.size() - 1;
    for (size_t p = HomeOf(key.hash);; p = (p + 1) & mask) {
        const Place& place = places_[p];
        if (place.id == kNoName) return kNoName;  // at most half full: every probe ends
        if (place.tag == key.tag && place.head == key.head && (key.length <= 8 || same(byId_[place.id]->text)))
            return place.id;
    }
}

uint32_t NameTable::Find(std::string_view name) const {
    return Probe(KeyOf(name), [name](const std::string& text) { return text == name; });
}

uint32_t NameTable::FindAscii(std::u16string_view name) const {
    return Probe(KeyOf(name), [name](const std::string& text) { return SameAsciiName(text, name); });
}

uint32_t NameTable::Intern(std::string_view name) {
    const uint32_t found = Find(name);
    if (found != kNoName) return found;
    if (2 * (byId_.size() + 1) > places_.size()) Grow();
    const Key key = KeyOf(name);
    const uint32_t id = Count();
    byId_.push_back(std::make_unique<NameEntry>(NameEntry{std::string(name), id, key.hash}));
    const size_t mask = places_.size() - 1;
    size_t p = HomeOf(key.hash);
    while (places_[p].id != kNoName) p = (p + 1) & mask;
    places_[p] = Place{key.tag, id, key.head};
    return id;
}

void NameTable::Grow() {
    std::vector<Place> grown(places_.size() * 2, Place{0, kNoName, 0});
    --placeShift_;
    const size_t mask = grown.size() - 1;
    for (const auto& entry : byId_) {
        size_t p = HomeOf(entry->hash);
        while (grown[p].id != kNoName) p = (p + 1) & mask;
        const Key key = KeyOf(std::string_view(entry->text));
        grown[p] = Place{key.tag, entry->id, key.head};
    }
    places_.swap(grown);
}

std::string_view NameTable::Text(uint32_t id) const {
    const NameEntry* e = Entry(id);
    return e ? std::string_view(e->text) : std::string_view("???");
}

}  // namespace velmo::script
