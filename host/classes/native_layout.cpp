#include "host/classes/native_layout.h"

#include <set>

#include "host/xml/xml_parser.h"
#include "platform/text.h"

namespace velmo::host {

namespace {

// One reading of a layout and of every structure it reaches; the first error stops it.
class LayoutReader {
public:
    explicit LayoutReader(const LayoutSource& source) : source_(source) {}

    std::unique_ptr<NativeStruct> ReadText(std::u16string_view xml, int depth) {
        if (depth > kMaxLayoutDepth) return Fail("structures nest deeper than " + std::to_string(kMaxLayoutDepth));
        XmlParseResult parsed = ParseXml(xml);
        if (parsed.error != XmlError::None && parsed.error != XmlError::MismatchedEndTag)
            return Fail("the text is no structure description");
        const XmlNode& root = parsed.document.Root();
        if (root.ChildCount() == 0 || root.Child(0).AttributeValue(u"type") != std::u16string_view(u"struct"))
            return Fail("the text is no structure description");
        return ReadStruct(root.Child(0), depth);
    }

    std::unique_ptr<NativeStruct> ReadNamed(std::string_view name, int depth) {
        const std::optional<std::u16string> text = source_(name);
        if (!text) return Fail("no structure \"" + std::string(name) + "\" is declared");
        return ReadText(*text, depth);
    }

    const std::string& Error() const { return error_; }

private:
    std::unique_ptr<NativeStruct> Fail(std::string error) {
        if (error_.empty()) error_ = std::move(error);
        return nullptr;
    }

    // The members of `element` in order, each at the next multiple of its alignment.
    std::unique_ptr<NativeStruct> ReadStruct(const XmlNode& element, int depth) {
        auto layout = std::make_unique<NativeStruct>();
        layout->name = platform::Utf16ToAnsi(element.Name());
        std::set<std::string> names;
        for (size_t i = 0; i < element.ChildCount(); ++i) {
            if (++fields_ > kMaxLayoutFields) return Fail("more than " + std::to_string(kMaxLayoutFields) + " members");
            std::optional<NativeField> field = ReadField(element.Child(i), depth);
            if (!field) return nullptr;
            if (!names.insert(field->name).second) return Fail("member \"" + field->name + "\" is declared twice");
            if (!Place(*layout, *field)) return nullptr;
            layout->fields.push_back(std::move(*field));
        }
        if (layout->fields.empty()) return Fail("structure \"" + layout->name + "\" has no members");
        layout->size = (layout->size + layout->alignment - 1) / layout->alignment * layout->alignment;
        return layout;
    }

    std::optional<NativeField> ReadField(const XmlNode& element, int depth) {
        NativeField field;
        field.name = platform::Utf16ToAnsi(element.Name());
        const std::optional<std::u16string_view> typeText = element.AttributeValue(u"type");
        if (!typeText) return Missing("member \"" + field.name + "\" has no type");
        if (!ReadCount(element, field)) return std::nullopt;
        if (*typeText == u"struct" || *typeText == u"struct*") {
            field.type.kind = NativeKind::Struct;
            field.type.isPointer = *typeText == u"struct*";
            // Checked before going down: the text alone bounds how deep inline members nest.
            if (depth + 1 > kMaxLayoutDepth)
                return Missing("structures nest deeper than " + std::to_string(kMaxLayoutDepth));
            field.layout = ReadStruct(element, depth + 1);
        } else {
            const std::string text = platform::Utf16ToAnsi(*typeText);
            const std::optional<NativeType> type = ParseNativeType(text);
            if (!type || type->kind == NativeKind::Void)
                return Missing("member \"" + field.name + "\" has the unknown type \"" + text + "\"");
            field.type = *type;
            if (field.type.kind == NativeKind::Struct) field.layout = ReadNamed(field.type.structName, depth + 1);
        }
        if (field.type.kind == NativeKind::Struct && !field.layout) return std::nullopt;
        field.elementBytes = field.type.isPointer                    ? kPointerBytes
                             : field.type.kind == NativeKind::Struct ? field.layout->size
                                                                     : ScalarBytes(field.type.kind);
        return field;
    }

    std::nullopt_t Missing(std::string error) {
        Fail(std::move(error));
        return std::nullopt;
    }

    // count="N": decimal digits only, 1 to kMaxLayoutCount.
    bool ReadCount(const XmlNode& element, NativeField& field) {
        const std::optional<std::u16string_view> text = element.AttributeValue(u"count");
        if (!text) return true;
        uint64_t count = 0;
        for (const char16_t c : *text) {
            if (c < u'0' || c > u'9' || count > kMaxLayoutCount) break;
            count = count * 10 + static_cast<uint64_t>(c - u'0');
        }
        const bool digitsOnly = !text->empty() && text->find_first_not_of(u"0123456789") == std::u16string_view::npos;
        if (!digitsOnly || count == 0 || count > kMaxLayoutCount) {
            Fail("member \"" + field.name + "\" has a bad count \"" + platform::Utf16ToAnsi(*text) + "\"");
            return false;
        }
        field.count = static_cast<uint32_t>(count);
        return true;
    }

    bool Place(NativeStruct& layout, NativeField& field) {
        const size_t alignment = field.type.isPointer                    ? kPointerBytes
                                 : field.type.kind == NativeKind::Struct ? field.layout->alignment
                                                                         : field.elementBytes;
        const size_t elements = field.count ? field.count : 1;
        field.offset = (layout.size + alignment - 1) / alignment * alignment;
        // Both factors are bounded (a member's size by the limit, the count by its own), so the
        // product cannot overflow before the comparison.
        if (field.elementBytes * elements > kMaxLayoutBytes ||
            field.offset + field.elementBytes * elements > kMaxLayoutBytes) {
            Fail("structure \"" + layout.name + "\" is larger than " + std::to_string(kMaxLayoutBytes) + " bytes");
            return false;
        }
        layout.size = field.offset + field.elementBytes * elements;
        if (alignment > layout.alignment) layout.alignment = alignment;
        return true;
    }

    const LayoutSource& source_;
    size_t fields_ = 0;
    std::string error_;
};

LayoutResult Finish(LayoutReader& reader, std::unique_ptr<NativeStruct> layout) {
    LayoutResult result;
    if (layout) result.layout = std::move(layout);
    else result.error = reader.Error();
    return result;
}

}  // namespace

LayoutResult ParseNativeLayout(std::u16string_view xml, const LayoutSource& source) {
    LayoutReader reader(source);
    std::unique_ptr<NativeStruct> layout = reader.ReadText(xml, 0);
    return Finish(reader, std::move(layout));
}

LayoutResult LayoutOfStructure(std::string_view name, const LayoutSource& source) {
    LayoutReader reader(source);
    std::unique_ptr<NativeStruct> layout = reader.ReadNamed(name, 0);
    return Finish(reader, std::move(layout));
}

}  // namespace velmo::host
