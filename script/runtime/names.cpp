#include "script/runtime/names.h"

#include "script/runtime/name_hash.h"

namespace velmo::script {

template <class SameText>
uint32_t NameTable::Probe(uint32_t hash, SameText same) const {
    const size_t mask = places_.size() - 1;
    for (size_t p = HomeOf(hash);; p = (p + 1) & mask) {
        const Place& place = places_[p];
        if (place.id == kNoName) return kNoName;  // at most half full: every probe ends
        if (place.hash == hash && same(byId_[place.id]->text)) return place.id;
    }
}

uint32_t NameTable::Find(std::string_view name) const {
    return Probe(NameHash(name), [name](const std::string& text) { return text == name; });
}

uint32_t NameTable::FindAscii(std::u16string_view name) const {
    return Probe(NameHash(name), [name](const std::string& text) { return SameAsciiName(text, name); });
}

uint32_t NameTable::Intern(std::string_view name) {
    const uint32_t found = Find(name);
    if (found != kNoName) return found;
    if (2 * (byId_.size() + 1) > places_.size()) Grow();
    const uint32_t hash = NameHash(name);
    const uint32_t id = Count();
    byId_.push_back(std::make_unique<NameEntry>(NameEntry{std::string(name), id, hash}));
    const size_t mask = places_.size() - 1;
    size_t p = HomeOf(hash);
    while (places_[p].id != kNoName) p = (p + 1) & mask;
    places_[p] = Place{hash, id};
    return id;
}

void NameTable::Grow() {
    std::vector<Place> grown(places_.size() * 2, Place{0, kNoName});
    --placeShift_;
    const size_t mask = grown.size() - 1;
    for (const auto& entry : byId_) {
        size_t p = HomeOf(entry->hash);
        while (grown[p].id != kNoName) p = (p + 1) & mask;
        grown[p] = Place{entry->hash, entry->id};
    }
    places_.swap(grown);
}

std::string_view NameTable::Text(uint32_t id) const {
    const NameEntry* e = Entry(id);
    return e ? std::string_view(e->text) : std::string_view("???");
}

}  // namespace velmo::script
