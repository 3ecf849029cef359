// The resource section is laid out as: every directory table (root, then one per type, then one per
// name), then the name strings, then the 16-byte data entries, then the data, each item 8-aligned.
#include "tools/builder/pe_writer.h"

#include <algorithm>
#include <map>
#include <stdexcept>

#include "platform/byte_order.h"
#include "platform/pe_resources.h"

namespace velmo::builder {

namespace {

using platform::ResourceKey;
using platform::StoreU16;
using platform::StoreU32;

constexpr uint32_t kFileAlignment = 0x200;
constexpr uint32_t kSectionAlignment = 0x1000;
constexpr uint32_t kSectionRva = 0x1000;
constexpr uint32_t kHeadersBytes = 0x200;
constexpr uint32_t kPeOffset = 0x40;

uint32_t AlignUp(uint32_t v, uint32_t a) { return (v + a - 1) / a * a; }

// Sort order of directory entries: names first, in upper-case code-unit order, then numbers.
struct KeyOrder {
    bool operator()(const ResourceKey& a, const ResourceKey& b) const {
        if (a.isName != b.isName) return a.isName;
        return a.isName ? a.name < b.name : a.id < b.id;
    }
};

ResourceKey Normalised(const std::string& text) {
    ResourceKey key = ResourceKey::Parse(text);
    for (char16_t& c : key.name)
        if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 32);
    return key;
}

using LanguageMap = std::map<uint16_t, const std::vector<uint8_t>*>;
using NameMap = std::map<ResourceKey, LanguageMap, KeyOrder>;
using TypeMap = std::map<ResourceKey, NameMap, KeyOrder>;

class SectionBuilder {
public:
    explicit SectionBuilder(const TypeMap& types) : types_(types) {}
    std::vector<uint8_t> Build();

private:
    uint32_t TableBytes(size_t entries) const { return 16 + 8 * static_cast<uint32_t>(entries); }
    void WriteEntry(uint32_t tableAt, size_t index, const ResourceKey& key, uint32_t target);
    uint32_t NameOffset(const ResourceKey& key);

    const TypeMap& types_;
    std::vector<uint8_t> out_;
    std::map<std::u16string, uint32_t> strings_;
    uint32_t stringsAt_ = 0;
};

uint32_t SectionBuilder::NameOffset(const ResourceKey& key) {
    const auto found = strings_.find(key.name);
    if (found != strings_.end()) return found->second;
    const uint32_t at = stringsAt_;
    out_.resize(std::max<size_t>(out_.size(), at + 2 + 2 * key.name.size()));
    StoreU16(&out_[at], static_cast<uint16_t>(key.name.size()));
    for (size_t i = 0; i < key.name.size(); ++i) StoreU16(&out_[at + 2 + 2 * i], key.name[i]);
    stringsAt_ = AlignUp(at + 2 + 2 * static_cast<uint32_t>(key.name.size()), 2);
    strings_[key.name] = at;
    return at;
}

void SectionBuilder::WriteEntry(uint32_t tableAt, size_t index, const ResourceKey& key, uint32_t target) {
    const uint32_t at = tableAt + 16 + 8 * static_cast<uint32_t>(index);
    StoreU32(&out_[at], key.isName ? (0x80000000u | NameOffset(key)) : key.id);
    StoreU32(&out_[at + 4], target);
    const uint32_t countAt = tableAt + (key.isName ? 12 : 14);
    StoreU16(&out_[countAt], static_cast<uint16_t>(platform::LoadU16(&out_[countAt]) + 1));
}

std::vector<uint8_t> SectionBuilder::Build() {
    // Pass 1: where each directory table goes, and how many data entries there are.
    uint32_t tablesEnd = TableBytes(types_.size());
    size_t dataEntries = 0;
    uint32_t stringBytes = 0;
    for (const auto& [type, names] : types_) {
        tablesEnd += TableBytes(names.size());
        stringBytes += type.isName ? 2 + 2 * static_cast<uint32_t>(type.name.size()) : 0;
        for (const auto& [name, languages] : names) {
            tablesEnd += TableBytes(languages.size());
            stringBytes += name.isName ? 2 + 2 * static_cast<uint32_t>(name.name.size()) : 0;
            dataEntries += languages.size();
        }
    }
    stringsAt_ = tablesEnd;
    const uint32_t entriesAt = AlignUp(tablesEnd + stringBytes, 8);
    uint32_t dataAt = entriesAt + 16 * static_cast<uint32_t>(dataEntries);
    out_.assign(dataAt, 0);

    // Pass 2: fill tables breadth-first so every table precedes the ones it points at.
    uint32_t nextTable = TableBytes(types_.size());
    uint32_t nextEntry = entriesAt;
    size_t typeIndex = 0;
    for (const auto& [type, names] : types_) {
        const uint32_t typeTable = nextTable;
        nextTable += TableBytes(names.size());
        WriteEntry(0, typeIndex++, type, 0x80000000u | typeTable);
        size_t nameIndex = 0;
        for (const auto& [name, languages] : names) {
            const uint32_t nameTable = nextTable;
            nextTable += TableBytes(languages.size());
            WriteEntry(typeTable, nameIndex++, name, 0x80000000u | nameTable);
            size_t languageIndex = 0;
            for (const auto& [language, data] : languages) {
                WriteEntry(nameTable, languageIndex++, ResourceKey{false, language, {}}, nextEntry);
                dataAt = AlignUp(dataAt, 8);
                out_.resize(dataAt + data->size(), 0);
                std::copy(data->begin(), data->end(), out_.begin() + dataAt);
                StoreU32(&out_[nextEntry], kSectionRva + dataAt);
                StoreU32(&out_[nextEntry + 4], static_cast<uint32_t>(data->size()));
                nextEntry += 16;
                dataAt += static_cast<uint32_t>(data->size());
            }
        }
    }
    return std::move(out_);
}

void WriteHeaders(std::vector<uint8_t>& image, uint32_t sectionBytes) {
    const uint32_t rawSize = AlignUp(sectionBytes, kFileAlignment);
    image.assign(kHeadersBytes + rawSize, 0);
    image[0] = 'M';
    image[1] = 'Z';
    StoreU32(&image[0x3C], kPeOffset);
    uint8_t* pe = &image[kPeOffset];
    pe[0] = 'P';
    pe[1] = 'E';
    StoreU16(pe + 4, 0x8664);         // x86-64
    StoreU16(pe + 6, 1);              // one section
    StoreU16(pe + 20, 240);           // PE32+ optional header
    StoreU16(pe + 22, 0x2022);        // executable image, large addresses, DLL: data only
    uint8_t* opt = pe + 24;
    StoreU16(opt, 0x20B);
    StoreU32(opt + 8, rawSize);       // initialized data
    StoreU32(opt + 24, 0x80000000u);  // image base 0x180000000, low half
    StoreU32(opt + 28, 0x1);
    StoreU32(opt + 32, kSectionAlignment);
    StoreU32(opt + 36, kFileAlignment);
    StoreU16(opt + 40, 6);            // operating system 6.0
    StoreU16(opt + 48, 6);            // subsystem 6.0
    StoreU32(opt + 56, kSectionRva + AlignUp(std::max<uint32_t>(sectionBytes, 1), kSectionAlignment));
    StoreU32(opt + 60, kHeadersBytes);
    StoreU16(opt + 68, 2);            // Windows GUI
    StoreU32(opt + 72, 0x100000);     // stack reserve
    StoreU32(opt + 80, 0x1000);       // stack commit
    StoreU32(opt + 88, 0x100000);     // heap reserve
    StoreU32(opt + 96, 0x1000);       // heap commit
    StoreU32(opt + 108, 16);          // data directories
    StoreU32(opt + 112 + 2 * 8, kSectionRva);
    StoreU32(opt + 112 + 2 * 8 + 4, sectionBytes);
    uint8_t* section = opt + 240;
    std::copy_n(".rsrc", 5, section);
    StoreU32(section + 8, sectionBytes);
    StoreU32(section + 12, kSectionRva);
    StoreU32(section + 16, rawSize);
    StoreU32(section + 20, kHeadersBytes);
    StoreU32(section + 36, 0x40000040u);  // initialized data, readable
}

}  // namespace

std::vector<uint8_t> WriteResourceImage(const std::vector<ImageResource>& resources) {
    TypeMap types;
    for (const ImageResource& r : resources) {
        LanguageMap& languages = types[Normalised(r.type)][Normalised(r.name)];
        if (!languages.emplace(r.language, &r.data).second)
            throw std::runtime_error("resource " + r.type + "/" + r.name + " is given twice");
    }
    const std::vector<uint8_t> section = SectionBuilder(types).Build();
    std::vector<uint8_t> image;
    WriteHeaders(image, static_cast<uint32_t>(section.size()));
    std::copy(section.begin(), section.end(), image.begin() + kHeadersBytes);
    return image;
}

}  // namespace velmo::builder
