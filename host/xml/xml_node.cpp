// The XML tree's storage and queries. Every look-up is bounded by the node's own arrays and answers the
// empty node (or none) past them, so a caller may probe any index or name.
#include "host/xml/xml_node.h"

#include "host/xml/xml_tokens.h"

namespace velmo::host {

XmlNode::XmlNode(const XmlNode* parent, std::u16string name, bool isDeclaration)
    : parent_(parent), name_(std::move(name)), isDeclaration_(isDeclaration) {}

XmlNode::XmlNode() : isEmpty_(true) {}

const XmlNode& EmptyXmlNode() {
    static const XmlNode empty;
    return empty;
}

const XmlNode& XmlNode::Parent() const { return parent_ ? *parent_ : EmptyXmlNode(); }

const XmlNode& XmlNode::Child(size_t i) const { return i < children_.size() ? *children_[i] : EmptyXmlNode(); }

const XmlNode& XmlNode::FindChild(std::u16string_view name, size_t& index) const {
    for (size_t i = index; i < children_.size(); ++i) {
        if (!XmlNamesEqual(children_[i]->name_, name)) continue;
        index = i + 1;
        return *children_[i];
    }
    return EmptyXmlNode();
}

const XmlNode& XmlNode::ChildNamed(std::u16string_view name, size_t j) const {
    for (const XmlNode* child : children_)
        if (XmlNamesEqual(child->name_, name) && j-- == 0) return *child;
    return EmptyXmlNode();
}

std::optional<std::u16string_view> XmlNode::AttributeValue(std::u16string_view name) const {
    for (const XmlAttribute& a : attributes_) {
        if (!XmlNamesEqual(a.name, name)) continue;
        if (!a.value) return std::nullopt;
        return std::u16string_view(*a.value);
    }
    return std::nullopt;
}

std::optional<std::u16string_view> XmlNode::Text(size_t i) const {
    if (i >= texts_.size()) return std::nullopt;
    return std::u16string_view(texts_[i]);
}

void XmlNode::AddChild(const XmlNode& child) {
    Record(XmlItemKind::Element, children_.size());
    children_.push_back(&child);
}

void XmlNode::AddText(std::u16string text) {
    Record(XmlItemKind::Text, texts_.size());
    texts_.push_back(std::move(text));
}

void XmlNode::AddSection(XmlSection section) {
    Record(XmlItemKind::Section, sections_.size());
    sections_.push_back(std::move(section));
}

void XmlNode::AddAttribute(std::u16string name, std::optional<std::u16string> value) {
    Record(XmlItemKind::Attribute, attributes_.size());
    attributes_.push_back({std::move(name), std::move(value)});
}

XmlNode& XmlDocument::MakeRoot() {
    nodes_.clear();
    return nodes_.emplace_back(nullptr, std::u16string(), false);
}

XmlNode& XmlDocument::AddElement(XmlNode& parent, std::u16string name, bool isDeclaration) {
    XmlNode& child = nodes_.emplace_back(&parent, std::move(name), isDeclaration);
    parent.AddChild(child);
    return child;
}

}  // namespace velmo::host
