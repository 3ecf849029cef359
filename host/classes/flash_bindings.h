#pragma once
// The FlashPlayer object's bindings: movie variables (by path, such as "_root.hud.score") mapped to
// script values, and the clip paths, every prefix of a bound path that ends before a '.', through
// which bound variables read like nested properties. Both are hash tables of 17 chains keyed by a
// hash of the name with its letters folded to lower case; names compare without case (A-Z only:
// movie paths are identifiers). A new name goes to the head of its chain, so a listing runs by
// bucket and, within one, newest first.

#include <array>
#include <cstdint>
#include <list>
#include <string>
#include <string_view>
#include <vector>

#include "host/framework/host_class.h"
#include "script/runtime/pinned.h"
#include "script/runtime/records.h"

namespace velmo::host {

inline constexpr size_t kBindingBuckets = 17;

// h = 0, then for each code unit c, folded: h = (h << 5) ^ c ^ (((h >> 9) ^ h) >> 7), in 32 bits.
uint32_t BindingNameHash(std::u16string_view name);
bool SameBindingName(std::u16string_view a, std::u16string_view b);

class BindingTable {
public:
    struct Binding {
        std::u16string name;
        script::Pinned value;  // Undefined until the first updateData or store
    };

    explicit BindingTable(script::Interpreter& interp) : interp_(interp) {}

    // Binds `name` unless it is bound already, and records its dotted prefixes as clip paths.
    void Bind(std::u16string_view name);
    // Drops the binding of `name`; its clip paths stay.
    void Unbind(std::u16string_view name);
    // Drops every binding and clip path.
    void Clear();

    Binding* Find(std::u16string_view name);
    bool IsClipPath(std::u16string_view name) const;
    // Every binding, in table order; the pointers stay valid until the table changes.
    std::vector<Binding*> All();

private:
    static size_t Bucket(std::u16string_view name) { return BindingNameHash(name) % kBindingBuckets; }

    script::Interpreter& interp_;
    std::array<std::list<Binding>, kBindingBuckets> bindings_;
    std::array<std::list<std::u16string>, kBindingBuckets> clipPaths_;
};

// The FlashPlayer class's state: its bindings, and the MovieClip class whose values stand for clip
// paths (set when MovieClip registers, right after FlashPlayer).
class FlashPlayerState final : public HostClassState {
public:
    explicit FlashPlayerState(script::Interpreter& interp) : interp(interp), bindings(interp) {}
    script::Interpreter& interp;
    BindingTable bindings;
    script::ClassRecord* clipClass = nullptr;  // not owned
};

}  // namespace velmo::host
