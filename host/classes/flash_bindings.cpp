#include "host/classes/flash_bindings.h"

namespace velmo::host {

namespace {
char16_t Fold(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; }
}  // namespace

uint32_t BindingNameHash(std::u16string_view name) {
    uint32_t h = 0;
    for (const char16_t c : name) h = (h << 5) ^ Fold(c) ^ (((h >> 9) ^ h) >> 7);
    return h;
}

bool SameBindingName(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Fold(a[i]) != Fold(b[i])) return false;
    return true;
}

void BindingTable::Bind(std::u16string_view name) {
    if (!Find(name)) bindings_[Bucket(name)].push_front(Binding{std::u16string(name), script::Pinned(interp_, {})});
    for (size_t dot = name.find(u'.'); dot != std::u16string_view::npos; dot = name.find(u'.', dot + 1)) {
        const std::u16string_view prefix = name.substr(0, dot);
        if (!IsClipPath(prefix)) clipPaths_[Bucket(prefix)].emplace_front(prefix);
    }
}

void BindingTable::Unbind(std::u16string_view name) {
    bindings_[Bucket(name)].remove_if([name](const Binding& b) { return SameBindingName(b.name, name); });
}

void BindingTable::Clear() {
    for (auto& chain : bindings_) chain.clear();
    for (auto& chain : clipPaths_) chain.clear();
}

BindingTable::Binding* BindingTable::Find(std::u16string_view name) {
    for (Binding& b : bindings_[Bucket(name)])
        if (SameBindingName(b.name, name)) return &b;
    return nullptr;
}

bool BindingTable::IsClipPath(std::u16string_view name) const {
    for (const std::u16string& path : clipPaths_[Bucket(name)])
        if (SameBindingName(path, name)) return true;
    return false;
}

std::vector<BindingTable::Binding*> BindingTable::All() {
    std::vector<Binding*> all;
    for (auto& chain : bindings_)
        for (Binding& b : chain) all.push_back(&b);
    return all;
}

}  // namespace velmo::host
