// Arena blocks are never freed one by one: a compilation's nodes all die with its SyntaxTree.

#include "script/compiler/syntax_tree.h"

#include <cstdio>
#include <cstring>

namespace velmo::script::compiler {

void* Arena::Allocate(size_t sizeBytes, size_t alignBytes) {
    const size_t pad = (alignBytes - reinterpret_cast<uintptr_t>(cursor_) % alignBytes) % alignBytes;
    if (cursor_ == nullptr || pad + sizeBytes > remainingBytes_) {
        // An oversized request (a long string literal) gets a block of its own size.
        const size_t blockBytes =
            sizeBytes + alignof(std::max_align_t) > kBlockBytes ? sizeBytes + alignof(std::max_align_t) : kBlockBytes;
        blocks_.push_back(std::make_unique<std::byte[]>(blockBytes));
        cursor_ = blocks_.back().get();
        remainingBytes_ = blockBytes;
        return Allocate(sizeBytes, alignBytes);
    }
    std::byte* result = cursor_ + pad;
    cursor_ = result + sizeBytes;
    remainingBytes_ -= pad + sizeBytes;
    return result;
}

const Text* Arena::CopyText(std::string_view bytes) {
    char* copy = static_cast<char*>(Allocate(bytes.size() + 1, 1));
    if (!bytes.empty()) std::memcpy(copy, bytes.data(), bytes.size());
    copy[bytes.size()] = '\0';
    Text* text = New<Text>();
    text->bytes = copy;
    text->size = static_cast<uint32_t>(bytes.size());
    return text;
}

Node* Arena::NewNode(NodeKind kind, int32_t line, StaticType type) {
    Node* n = New<Node>();
    n->kind = kind;
    n->staticType = type;
    n->line = line;
    return n;
}

void NodeList::Append(Node* n) {
    n->next = nullptr;
    if (tail) tail->next = n;
    else head = n;
    tail = n;
    ++count;
}

void NodeList::Prepend(Node* n) {
    n->next = head;
    head = n;
    if (!tail) tail = n;
    ++count;
}

const Text* FunctionNames::Enter(Arena& arena, const Text* declared) {
    const Text* internal = declared;
    if (declared == nullptr || !stack_.empty()) {
        char name[32];
        const int length = std::snprintf(name, sizeof name, "@F_%d", static_cast<int>(anonymousCount_++));
        internal = arena.CopyText({name, static_cast<size_t>(length)});
    }
    stack_.push_back(internal);
    return internal;
}

namespace {

// A typo in the role table would make two roles of one shape share a slot and overwrite each
// other; only a slot that holds one thing in two members (a property key) may be listed twice, and
// then one of the two rows is not printed.
struct RoleSlot {
    NodeShape shape;
    char slot;
    char dumpType;
};

constexpr RoleSlot kRoleSlots[] = {
#define VELMO_ROLE_SLOT(shape, role, slot, member, dumpType, dumpName) {NodeShape::shape, #slot[0], dumpType},
    VELMO_NODE_ROLES(VELMO_ROLE_SLOT)
#undef VELMO_ROLE_SLOT
};

constexpr bool RoleSlotsAreDistinct() {
    for (const RoleSlot& x : kRoleSlots)
        for (const RoleSlot& y : kRoleSlots)
            if (&x != &y && x.shape == y.shape && x.slot == y.slot && x.dumpType != '-' && y.dumpType != '-')
                return false;
    return true;
}
static_assert(RoleSlotsAreDistinct(), "two roles of one shape share an operand slot");

}  // namespace

const char* NodeKindName(NodeKind kind) {
    switch (kind) {
#define VELMO_NODE_NAME(name, number) \
    case NodeKind::name: return #name;
        VELMO_NODE_KINDS(VELMO_NODE_NAME)
#undef VELMO_NODE_NAME
    }
    return "?";
}

}  // namespace velmo::script::compiler
