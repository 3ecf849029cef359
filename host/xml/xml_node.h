#pragma once
// The tree a parsed XML document becomes, and the queries the call codec asks of it. A document owns all of
// its nodes in one flat store, so destroying a deeply nested tree never recurses; a node reference stays
// valid while its document lives. Look-ups that find nothing answer the process-wide empty node.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmo::host {

enum class XmlItemKind : uint8_t { Element, Text, Section, Attribute };

// One entry of a node's order: which of its arrays received an item, and where.
struct XmlItem {
    XmlItemKind kind;
    size_t index;
    bool operator==(const XmlItem&) const = default;
};

struct XmlAttribute {
    std::u16string name;
    std::optional<std::u16string> value;  // absent when written without "="
};

// Markers point into the reader's static marker table, not into the parsed text.
struct XmlSection {
    std::u16string_view openMarker;
    std::u16string content;  // exactly as written
    std::u16string_view closeMarker;
};

class XmlNode {
public:
    // `parent` is null for a document node; a document node has no name.
    XmlNode(const XmlNode* parent, std::u16string name, bool isDeclaration);

    bool IsEmpty() const { return isEmpty_; }
    bool IsDeclaration() const { return isDeclaration_; }
    std::u16string_view Name() const { return name_; }
    const XmlNode& Parent() const;

    // Child elements; names compare without case (A to Z only).
    size_t ChildCount() const { return children_.size(); }
    const XmlNode& Child(size_t i) const;
    // The first child named `name` at or after `index`; on a match `index` moves past it, otherwise it
    // is left alone.
    const XmlNode& FindChild(std::u16string_view name, size_t& index) const;
    // The `j`-th (from 0) child named `name`.
    const XmlNode& ChildNamed(std::u16string_view name, size_t j = 0) const;

    // The value of the first attribute named `name`; none when there is no such attribute or when that
    // attribute was written without a value.
    std::optional<std::u16string_view> AttributeValue(std::u16string_view name) const;
    std::optional<std::u16string_view> Text(size_t i) const;

    const std::vector<std::u16string>& Texts() const { return texts_; }
    const std::vector<XmlAttribute>& Attributes() const { return attributes_; }
    const std::vector<XmlSection>& Sections() const { return sections_; }
    const std::vector<XmlItem>& Order() const { return order_; }

    // Building, for the reader.
    void AddChild(const XmlNode& child);
    void AddText(std::u16string text);
    void AddSection(XmlSection section);
    void AddAttribute(std::u16string name, std::optional<std::u16string> value);

private:
    friend const XmlNode& EmptyXmlNode();
    XmlNode();  // the empty node

    void Record(XmlItemKind kind, size_t index) { order_.push_back({kind, index}); }

    const XmlNode* parent_ = nullptr;  // not owned
    std::u16string name_;
    bool isDeclaration_ = false;
    bool isEmpty_ = false;
    std::vector<const XmlNode*> children_;  // not owned: the document holds every node
    std::vector<std::u16string> texts_;
    std::vector<XmlSection> sections_;
    std::vector<XmlAttribute> attributes_;
    std::vector<XmlItem> order_;
};

// Stands for the absence of a node; it has no name, children, texts, sections or attributes.
const XmlNode& EmptyXmlNode();

// Owns a document node and every element below it. A default document holds nothing: its root is the
// empty node. Moving a document keeps its nodes where they are.
class XmlDocument {
public:
    XmlDocument() = default;
    XmlDocument(XmlDocument&&) = default;
    XmlDocument& operator=(XmlDocument&&) = default;
    XmlDocument(const XmlDocument&) = delete;
    XmlDocument& operator=(const XmlDocument&) = delete;

    const XmlNode& Root() const& { return nodes_.empty() ? EmptyXmlNode() : nodes_.front(); }
    // Nodes die with their document: asking a temporary one for its root would hand out a dangling node.
    const XmlNode& Root() const&& = delete;

    // Building, for the reader: the first node made is the document node, later ones are elements.
    XmlNode& MakeRoot();
    XmlNode& AddElement(XmlNode& parent, std::u16string name, bool isDeclaration);
    void Clear() { nodes_.clear(); }

private:
    std::deque<XmlNode> nodes_;  // a deque never moves its elements as it grows
};

}  // namespace velmo::host
