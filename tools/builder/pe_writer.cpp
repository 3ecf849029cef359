// The resource section is laid out as: every directory table (root, then one per type, then one per
// name), then the name strings, then the 16-byte data entries, then the data, each item 8-aligned.
// The same layout serves a resource-only image and the section added to an existing executable.
#include "tools/builder/pe_writer.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <stdexcept>

#include "platform/byte_order.h"
#include "platform/common/pe_resources.h"

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
uint64_t AlignUp64(uint64_t v, uint64_t a) { return (v + a - 1) / a * a; }

// Sort order of directory entries: names first, in upper-case code-unit order, then numbers.
struct KeyOrder {
    bool operator()(const ResourceKey& a, const ResourceKey& b) const {
        if (a.isName != b.isName) return a.isName;
        return a.isName ? a.name < b.name : a.id < b.id;
    }
};

ResourceKey Normalised(ResourceKey key) {
    for (char16_t& c : key.name)
        if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 32);
    return key;
}

using LanguageMap = std::map<uint16_t, const std::vector<uint8_t>*>;
using NameMap = std::map<ResourceKey, LanguageMap, KeyOrder>;
using TypeMap = std::map<ResourceKey, NameMap, KeyOrder>;

class SectionBuilder {
public:
    // `sectionRva` is where the section will be mapped: data entries hold image addresses.
    SectionBuilder(const TypeMap& types, uint32_t sectionRva) : types_(types), sectionRva_(sectionRva) {}
    std::vector<uint8_t> Build();

private:
    uint32_t TableBytes(size_t entries) const { return 16 + 8 * static_cast<uint32_t>(entries); }
    void WriteEntry(uint32_t tableAt, size_t index, const ResourceKey& key, uint32_t target);
    uint32_t NameOffset(const ResourceKey& key);

    const TypeMap& types_;
    uint32_t sectionRva_;
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
                StoreU32(&out_[nextEntry], sectionRva_ + dataAt);
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
    StoreU16(pe + 4, 0x8664);   // x86-64
    StoreU16(pe + 6, 1);        // one section
    StoreU16(pe + 20, 240);     // PE32+ optional header
    StoreU16(pe + 22, 0x2022);  // executable image, large addresses, DLL: data only
    uint8_t* opt = pe + 24;
    StoreU16(opt, 0x20B);
    StoreU32(opt + 8, rawSize);       // initialized data
    StoreU32(opt + 24, 0x80000000u);  // image base 0x180000000, low half
    StoreU32(opt + 28, 0x1);
    StoreU32(opt + 32, kSectionAlignment);
    StoreU32(opt + 36, kFileAlignment);
    StoreU16(opt + 40, 6);  // operating system 6.0
    StoreU16(opt + 48, 6);  // subsystem 6.0
    StoreU32(opt + 56, kSectionRva + AlignUp(std::max<uint32_t>(sectionBytes, 1), kSectionAlignment));
    StoreU32(opt + 60, kHeadersBytes);
    StoreU16(opt + 68, 2);         // Windows GUI
    StoreU32(opt + 72, 0x100000);  // stack reserve
    StoreU32(opt + 80, 0x1000);    // stack commit
    StoreU32(opt + 88, 0x100000);  // heap reserve
    StoreU32(opt + 96, 0x1000);    // heap commit
    StoreU32(opt + 108, 16);       // data directories
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

// Puts one resource into `types`, which points at its data. A second resource of the same type,
// name and language is an error unless `replace` is set.
void Place(TypeMap& types, const ResourceKey& type, const ResourceKey& name, uint16_t language,
           const std::vector<uint8_t>* data, bool replace) {
    const auto [at, added] = types[Normalised(type)][Normalised(name)].emplace(language, data);
    if (added) return;
    if (!replace) throw std::runtime_error("resource " + type.ToString() + "/" + name.ToString() + " is given twice");
    at->second = data;
}

void AddToTypeMap(TypeMap& types, const std::vector<ImageResource>& resources) {
    for (const ImageResource& r : resources)
        Place(types, ResourceKey::Parse(r.type), ResourceKey::Parse(r.name), r.language, &r.data, false);
}

}  // namespace

std::vector<uint8_t> WriteResourceImage(const std::vector<ImageResource>& resources) {
    TypeMap types;
    AddToTypeMap(types, resources);
    const std::vector<uint8_t> section = SectionBuilder(types, kSectionRva).Build();
    std::vector<uint8_t> image;
    WriteHeaders(image, static_cast<uint32_t>(section.size()));
    std::copy(section.begin(), section.end(), image.begin() + kHeadersBytes);
    return image;
}

// ---- Adding resources to an existing executable ----

namespace {

constexpr size_t kSectionHeaderBytes = 40;
constexpr uint32_t kResourceDirectory = 2, kCertificateDirectory = 4, kBoundImportDirectory = 11;

[[noreturn]] void Refuse(const std::string& why) { throw std::runtime_error("the runtime image " + why); }

// Where the parts of an image's headers lie, all checked against the image's size.
struct PeLayout {
    uint32_t fileHeaderAt = 0;  // just past "PE\0\0"
    uint32_t optionalAt = 0;
    uint32_t directoriesAt = 0;
    uint32_t directoryCount = 0;
    uint32_t sectionsAt = 0;
    uint16_t sectionCount = 0;
    uint32_t fileAlignment = 0, sectionAlignment = 0, headersBytes = 0;
    uint64_t sectionsEnd = 0;                // end of the headers and the sections' raw data
    uint64_t symbolsAt = 0, symbolsEnd = 0;  // a COFF symbol table behind the sections, if any
    uint64_t firstRawData = 0;               // where the first section's raw data starts
    uint64_t nextRva = 0;                    // the first address past every section
};

uint32_t U32At(std::span<const uint8_t> image, uint64_t at) {
    if (at + 4 > image.size()) Refuse("is cut short");
    return platform::LoadU32(&image[at]);
}
uint16_t U16At(std::span<const uint8_t> image, uint64_t at) {
    if (at + 2 > image.size()) Refuse("is cut short");
    return platform::LoadU16(&image[at]);
}

// The COFF symbol table and its string table lie behind the sections; long section names point
// into them, so they belong to the image and move behind the new section.
void FindSymbolTable(std::span<const uint8_t> image, PeLayout& pe) {
    const uint32_t symbolsAt = U32At(image, pe.fileHeaderAt + 8);
    const uint32_t symbolCount = U32At(image, pe.fileHeaderAt + 12);
    if (symbolsAt == 0 || symbolsAt < pe.sectionsEnd) return;  // none, or inside what is copied anyway
    const uint64_t stringsAt = symbolsAt + 18ull * symbolCount;
    if (stringsAt + 4 > image.size()) Refuse("has a symbol table that runs past its end");
    const uint64_t end = stringsAt + std::max<uint32_t>(platform::LoadU32(&image[stringsAt]), 4);
    if (end > image.size()) Refuse("has a symbol table that runs past its end");
    pe.symbolsAt = symbolsAt;
    pe.symbolsEnd = end;
}

PeLayout ReadLayout(std::span<const uint8_t> image) {
    PeLayout pe;
    if (image.size() < 0x40 || image[0] != 'M' || image[1] != 'Z') Refuse("is not a PE executable");
    const uint32_t peAt = U32At(image, 0x3C);
    if (U32At(image, peAt) != 0x4550) Refuse("is not a PE executable");
    pe.fileHeaderAt = peAt + 4;
    pe.sectionCount = U16At(image, pe.fileHeaderAt + 2);
    const uint16_t optionalBytes = U16At(image, pe.fileHeaderAt + 16);
    pe.optionalAt = pe.fileHeaderAt + 20;
    const uint16_t magic = U16At(image, pe.optionalAt);
    if (magic != 0x10B && magic != 0x20B) Refuse("has an unknown optional header");
    const uint32_t directoriesOffset = magic == 0x10B ? 96 : 112;
    if (optionalBytes < directoriesOffset) Refuse("has a cut-short optional header");
    pe.directoriesAt = pe.optionalAt + directoriesOffset;
    pe.directoryCount = std::min<uint32_t>(U32At(image, pe.directoriesAt - 4), (optionalBytes - directoriesOffset) / 8);
    if (pe.directoryCount <= kResourceDirectory) Refuse("has no resource directory entry");
    if (pe.sectionCount == 0xFFFF) Refuse("has no room for another section");
    pe.sectionAlignment = U32At(image, pe.optionalAt + 32);
    pe.fileAlignment = U32At(image, pe.optionalAt + 36);
    pe.headersBytes = U32At(image, pe.optionalAt + 60);
    if (pe.fileAlignment == 0 || pe.sectionAlignment == 0 || (pe.fileAlignment & (pe.fileAlignment - 1)) ||
        (pe.sectionAlignment & (pe.sectionAlignment - 1)))
        Refuse("has invalid alignments");
    if (pe.headersBytes > image.size()) Refuse("is cut short");
    pe.sectionsAt = pe.optionalAt + optionalBytes;
    pe.sectionsEnd = pe.headersBytes;
    pe.firstRawData = UINT64_MAX;
    for (uint16_t i = 0; i < pe.sectionCount; ++i) {
        const uint64_t at = pe.sectionsAt + kSectionHeaderBytes * i;
        const uint32_t virtualSize = U32At(image, at + 8), rva = U32At(image, at + 12);
        const uint32_t rawSize = U32At(image, at + 16), rawAt = U32At(image, at + 20);
        if (rawSize != 0) {
            if (uint64_t{rawAt} + rawSize > image.size()) Refuse("has a section that runs past its end");
            pe.sectionsEnd = std::max<uint64_t>(pe.sectionsEnd, uint64_t{rawAt} + rawSize);
            pe.firstRawData = std::min<uint64_t>(pe.firstRawData, rawAt);
        }
        pe.nextRva = std::max<uint64_t>(pe.nextRva, uint64_t{rva} + std::max(virtualSize, rawSize));
    }
    FindSymbolTable(image, pe);
    return pe;
}

// Makes room for one more section header. A bound import table may sit in that slot; it only
// speeds up loading, so it is dropped. Anything else there is refused.
void ClaimSectionHeaderSlot(std::vector<uint8_t>& out, const PeLayout& pe) {
    const uint64_t slot = pe.sectionsAt + kSectionHeaderBytes * pe.sectionCount;
    if (slot + kSectionHeaderBytes > std::min<uint64_t>(pe.headersBytes, pe.firstRawData))
        Refuse("has no room in its headers for another section header");
    const bool empty =
        std::all_of(out.begin() + static_cast<ptrdiff_t>(slot),
                    out.begin() + static_cast<ptrdiff_t>(slot + kSectionHeaderBytes), [](uint8_t b) { return b == 0; });
    if (empty) return;
    const uint64_t bound = pe.directoriesAt + 8ull * kBoundImportDirectory;
    const uint32_t boundAt = pe.directoryCount > kBoundImportDirectory ? platform::LoadU32(&out[bound]) : 0;
    const uint32_t boundBytes = boundAt ? platform::LoadU32(&out[bound + 4]) : 0;
    if (boundAt == 0 || boundAt >= slot + kSectionHeaderBytes || boundAt + uint64_t{boundBytes} <= slot)
        Refuse("has no room in its headers for another section header");
    StoreU32(&out[bound], 0);
    StoreU32(&out[bound + 4], 0);
    std::fill_n(out.begin() + static_cast<ptrdiff_t>(boundAt),
                std::min<uint64_t>(boundBytes, pe.headersBytes - boundAt), 0);
}

// The image's own resources, read with the same reader the headless runtime uses.
struct ExistingResource {
    platform::PeResource where;
    std::vector<uint8_t> data;
};

std::vector<ExistingResource> ExistingResources(std::span<const uint8_t> image) {
    platform::MemoryByteSource source(image);
    const platform::PeResourceTable table = platform::ReadPeResources(source);
    if (table.status == platform::PeStatus::Damaged) Refuse("has a damaged resource directory");
    std::vector<ExistingResource> resources;
    for (const platform::PeResource& r : table.resources) {
        std::optional<std::vector<uint8_t>> data = platform::ReadPeResourceData(source, r);
        if (!data) Refuse("has a resource that lies outside it");
        resources.push_back({r, std::move(*data)});
    }
    return resources;
}

// The image's resources with `resources` put over them, laid out for address `sectionRva`.
std::vector<uint8_t> MergedSection(std::span<const uint8_t> image, const std::vector<ImageResource>& resources,
                                   uint32_t sectionRva) {
    const std::vector<ExistingResource> existing = ExistingResources(image);
    TypeMap types;
    for (const ExistingResource& r : existing)
        Place(types, r.where.type, r.where.name, r.where.language, &r.data, true);
    TypeMap added;  // only to refuse duplicates among the new resources
    AddToTypeMap(added, resources);
    for (const ImageResource& r : resources)
        Place(types, ResourceKey::Parse(r.type), ResourceKey::Parse(r.name), r.language, &r.data, true);
    return SectionBuilder(types, sectionRva).Build();
}

struct NewSection {
    uint32_t rva = 0, fileOffset = 0, sizeBytes = 0, rawSize = 0;
};

// Adds the section header and points the headers at the new section. An older ".rsrc" is renamed
// so that tools looking for the resource section by name find the new one.
void WriteNewSectionHeaders(std::vector<uint8_t>& out, const PeLayout& pe, const NewSection& section) {
    for (uint16_t i = 0; i < pe.sectionCount; ++i) {
        uint8_t* name = &out[pe.sectionsAt + kSectionHeaderBytes * i];
        if (std::memcmp(name, ".rsrc\0\0\0", 8) == 0) std::memcpy(name, ".oldrsrc", 8);
    }
    uint8_t* header = &out[pe.sectionsAt + kSectionHeaderBytes * pe.sectionCount];
    std::memcpy(header, ".rsrc\0\0\0", 8);
    StoreU32(header + 8, section.sizeBytes);
    StoreU32(header + 12, section.rva);
    StoreU32(header + 16, section.rawSize);
    StoreU32(header + 20, section.fileOffset);
    StoreU32(header + 36, 0x40000040u);  // initialized data, readable

    StoreU16(&out[pe.fileHeaderAt + 2], static_cast<uint16_t>(pe.sectionCount + 1));
    uint8_t* opt = &out[pe.optionalAt];
    StoreU32(opt + 8, platform::LoadU32(opt + 8) + section.rawSize);  // initialized data
    StoreU32(opt + 56, AlignUp(section.rva + section.sizeBytes, pe.sectionAlignment));
    StoreU32(opt + 64, 0);  // the checksum is checked only for drivers; a stale one would mislead
    StoreU32(&out[pe.directoriesAt + 8 * kResourceDirectory], section.rva);
    StoreU32(&out[pe.directoriesAt + 8 * kResourceDirectory + 4], section.sizeBytes);
}

}  // namespace

std::vector<uint8_t> AddResourcesToImage(std::span<const uint8_t> image, const std::vector<ImageResource>& resources) {
    const PeLayout pe = ReadLayout(image);
    const uint64_t certificate = pe.directoriesAt + 8ull * kCertificateDirectory;
    if (pe.directoryCount > kCertificateDirectory && U32At(image, certificate + 4) != 0)
        Refuse("is signed; use an unsigned copy of it");

    // The section's file offset stays below its address: readers that map the file by addresses
    // (wrestool among them) need that, which is why a symbol table moves behind it.
    const uint64_t rva = AlignUp64(pe.nextRva, pe.sectionAlignment);
    const uint64_t fileOffset = AlignUp64(pe.sectionsEnd, pe.fileAlignment);
    if (rva > 0x7FFF0000u || fileOffset > 0x7FFF0000u) Refuse("is too large");
    NewSection section{static_cast<uint32_t>(rva), static_cast<uint32_t>(fileOffset)};
    const std::vector<uint8_t> bytes = MergedSection(image, resources, section.rva);
    section.sizeBytes = static_cast<uint32_t>(bytes.size());
    section.rawSize = AlignUp(section.sizeBytes, pe.fileAlignment);

    std::vector<uint8_t> out(image.begin(), image.begin() + static_cast<ptrdiff_t>(pe.sectionsEnd));
    ClaimSectionHeaderSlot(out, pe);
    out.resize(section.fileOffset, 0);
    out.insert(out.end(), bytes.begin(), bytes.end());
    out.resize(section.fileOffset + section.rawSize, 0);
    WriteNewSectionHeaders(out, pe, section);
    if (pe.symbolsEnd != 0) {
        StoreU32(&out[pe.fileHeaderAt + 8], static_cast<uint32_t>(out.size()));
        out.insert(out.end(), image.begin() + static_cast<ptrdiff_t>(pe.symbolsAt),
                   image.begin() + static_cast<ptrdiff_t>(pe.symbolsEnd));
    }
    return out;
}

}  // namespace velmo::builder
