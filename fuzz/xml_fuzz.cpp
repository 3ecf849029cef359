// The XML reader over any text: it never reads outside the text, answers a document exactly when the error
// is none or a tolerated end-tag mismatch, and builds a tree whose order entries, parents and counts agree.
// The bytes are read twice: widened one to one (markup is ASCII, so mutations stay meaningful) and, when
// their count is even, as little-endian UTF-16.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "host/xml/xml_parser.h"

using namespace velmo::host;

namespace {

void CheckNode(const XmlNode& node, std::vector<const XmlNode*>& pending) {
    size_t next[4] = {0, 0, 0, 0};  // the next index expected for each item kind
    for (const XmlItem& item : node.Order()) {
        size_t& expected = next[static_cast<size_t>(item.kind)];
        if (item.index != expected++) __builtin_trap();
    }
    if (next[0] != node.ChildCount() || next[1] != node.Texts().size() || next[2] != node.Sections().size() ||
        next[3] != node.Attributes().size())
        __builtin_trap();
    for (const std::u16string& text : node.Texts())
        if (text.empty()) __builtin_trap();
    for (const XmlAttribute& a : node.Attributes())
        if (a.name.empty()) __builtin_trap();
    for (size_t i = 0; i < node.ChildCount(); ++i) {
        const XmlNode& child = node.Child(i);
        if (child.IsEmpty() || child.Name().empty() || &child.Parent() != &node) __builtin_trap();
        pending.push_back(&child);
    }
    if (!node.Child(node.ChildCount()).IsEmpty()) __builtin_trap();
}

void ParseAndCheck(const std::u16string& text) {
    const XmlParseResult r = ParseXml(text);
    const bool accepted = r.error == XmlError::None || r.error == XmlError::MismatchedEndTag;
    const XmlNode& root = r.document.Root();
    if (root.IsEmpty() == accepted) __builtin_trap();
    if (!accepted) return;
    if (!root.Name().empty() || !root.Attributes().empty()) __builtin_trap();
    std::vector<const XmlNode*> pending{&root};
    size_t nodes = 0;
    while (!pending.empty()) {
        const XmlNode* node = pending.back();
        pending.pop_back();
        CheckNode(*node, pending);
        if (++nodes > text.size() + 1) __builtin_trap();  // every element takes at least one code unit
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ParseAndCheck(std::u16string(data, data + size));
    if (size % 2 == 0) {
        std::u16string wide(size / 2, u'\0');
        for (size_t i = 0; i < wide.size(); ++i) wide[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
        ParseAndCheck(wide);
    }
    return 0;
}
