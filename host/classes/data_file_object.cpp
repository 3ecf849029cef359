// Each value is a section named by its path (data_file_text.h) with a "type" key and, for
// primitives, a "value" key; arrays also record their "length", so trailing holes survive. Saving a
// global first removes every section of its previous value. Containers reached again while their
// own members are being written (cycles) and values deeper than kMaxDepth are not written. No script
// code runs while a file is read or written, so the records held in locals stay put.
#include "host/classes/data_file_object.h"

#include <algorithm>
#include <memory>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "host/classes/data_file_text.h"
#include "host/classes/data_key.h"
#include "host/classes/enciphered_file.h"
#include "host/framework/host_class.h"
#include "platform/environment.h"
#include "platform/files.h"
#include "platform/ini_file.h"
#include "platform/text.h"
#include "script/runtime/arrays.h"
#include "script/runtime/objects.h"
#include "script/runtime/strings.h"

namespace velmo::host {

namespace {

using script::Tag;
using script::Value;

constexpr int kMaxDepth = 200;
constexpr uint64_t kMaxLength = 0xFFFFFFFFu;  // the longest array a file may ask for

// ---- Saving ----

class Saver {
public:
    Saver(script::Interpreter& interp, platform::IniFile& file) : interp_(interp), file_(file) {}

    void Write(const std::string& section, const Value& value, int depth) {
        switch (value.tag) {
            case Tag::Boolean: return Primitive(section, "boolean", value.AsBoolean() ? "true" : "false");
            case Tag::Integer: return Primitive(section, "integer", std::to_string(value.AsInteger()));
            case Tag::Number: return Primitive(section, "float", FloatText(value.AsNumber()));
            case Tag::String:
                if (const std::optional<std::string> text = StringValueText(script::Text(value.AsString())))
                    Primitive(section, "string", *text);
                return;
            case Tag::Array: return Container(section, value.AsArray(), depth);
            case Tag::Object: return Container(section, value.AsObject(), depth);
            default: return;  // undefined, null, functions and host objects are not kept
        }
    }

private:
    void Put(const std::string& section, const char* key, const std::string& text) {
        (void)file_.WriteString(section, key, text);  // failed writes go unreported
    }
    void Primitive(const std::string& section, const char* type, const std::string& text) {
        Put(section, "type", type);
        Put(section, "value", text);
    }
    bool Enter(const void* container, int depth) {
        if (depth >= kMaxDepth || std::find(open_.begin(), open_.end(), container) != open_.end()) return false;
        open_.push_back(container);
        return true;
    }

    void Container(const std::string& section, script::ArrayRecord* array, int depth) {
        if (!Enter(array, depth)) return;
        Put(section, "type", "array");
        Put(section, "length", std::to_string(array->length));
        std::vector<script::IndexedValue> elements = script::ListElements(array);
        std::sort(elements.begin(), elements.end(), [](const auto& a, const auto& b) { return a.index < b.index; });
        for (const script::IndexedValue& e : elements)
            Write(section + "." + std::to_string(e.index), e.value, depth + 1);
        open_.pop_back();
    }

    void Container(const std::string& section, script::ObjectRecord* object, int depth) {
        if (!Enter(object, depth)) return;
        Put(section, "type", "object");
        struct Member {
            std::string name;
            Value value;
        };
        std::vector<Member> members;
        for (const script::PropertyName& property : script::ListProperties(interp_, object)) {
            std::string name(property.name);
            if (name == "__proto__") continue;  // the class's prototype is no part of the value
            Value value;
            (void)script::GetByKey(interp_, object, Value::Integer(property.slot), value);
            members.push_back({std::move(name), value});
        }
        for (const Member& m : members)
            Write(section + "." + EscapePathPart(platform::AnsiToUtf16(m.name)), m.value, depth + 1);
        open_.pop_back();
    }

    script::Interpreter& interp_;
    platform::IniFile& file_;
    std::vector<const void*> open_;
};

bool SameNameNoCase(std::u16string_view a, std::u16string_view b) {
    const auto fold = [](char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&](char16_t x, char16_t y) { return fold(x) == fold(y); });
}

// The sections of the value a global held when it was saved before (its name compares as the
// profile calls compare sections, without case).
void RemoveSaved(platform::IniFile& file, std::u16string_view name) {
    for (const std::string& section : file.SectionNames()) {
        const std::vector<std::u16string> parts = SplitSectionPath(section);
        if (!parts.empty() && SameNameNoCase(parts[0], name)) (void)file.DeleteSection(section);
    }
}

void SaveGlobals(script::Interpreter& interp, const std::string& path, const std::vector<std::u16string>& names) {
    const std::unique_ptr<platform::IniFile> file = platform::OpenIniFile(path);
    Saver saver(interp, *file);
    for (const std::u16string& name : names) {
        if (name.empty()) continue;
        RemoveSaved(*file, name);
        const Value value = script::GlobalByName(interp, platform::Utf16ToAnsi(name));
        saver.Write(EscapePathPart(name), value, 0);
    }
    (void)file->Flush();
}

// ---- Loading ----

// Where a section's value goes: a global, a property, or an element.
struct Place {
    enum class Kind { Global, Property, Element } kind = Kind::Global;
    uint32_t nameId = 0;
    script::ObjectRecord* object = nullptr;
    script::ArrayRecord* array = nullptr;
    uint64_t index = 0;

    Value Get(script::Interpreter& interp) const {
        Value out;
        if (kind == Kind::Global) out = script::Global(interp, nameId);
        else if (kind == Kind::Property) (void)script::GetOwnOrInherited(interp, object, nameId, out);
        else if (const Value* element = script::GetElement(array, index)) out = *element;
        return out;
    }
    void Set(script::Interpreter& interp, const Value& value) const {
        if (kind == Kind::Global) script::Global(interp, nameId) = value;
        else if (kind == Kind::Property) script::SetOwn(interp, object, nameId, value);
        else script::PutElement(interp, array, value, index);
    }
};

std::optional<uint64_t> ReadIndex(std::u16string_view part) {
    if (part.empty() || part.size() > 10) return std::nullopt;
    uint64_t index = 0;
    for (const char16_t c : part) {
        if (c < u'0' || c > u'9') return std::nullopt;
        index = index * 10 + (c - u'0');
    }
    if (index >= kMaxLength) return std::nullopt;
    return index;
}

// One step down from `place` by `part`; none when the value there is no container or the part no index.
std::optional<Place> Step(script::Interpreter& interp, const Place& place, std::u16string_view part) {
    const Value current = place.Get(interp);
    Place next;
    if (current.Is(Tag::Object)) {
        next.kind = Place::Kind::Property;
        next.object = current.AsObject();
        next.nameId = script::Intern(interp, platform::Utf16ToAnsi(part));
        if (!script::HasOwn(next.object, next.nameId)) script::SetOwn(interp, next.object, next.nameId, Value());
        return next;
    }
    if (!current.Is(Tag::Array)) return std::nullopt;
    const std::optional<uint64_t> index = ReadIndex(part);
    if (!index) return std::nullopt;
    next.kind = Place::Kind::Element;
    next.array = current.AsArray();
    next.index = *index;
    if (!script::GetElement(next.array, *index)) script::PutElement(interp, next.array, Value(), *index);
    if (next.array->length <= *index) script::SetLength(interp, next.array, *index + 1);
    return next;
}

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return text;
}

// The value a section describes; none leaves its place as it was (an unknown type, damaged text).
std::optional<Value> SectionValue(script::Interpreter& interp, platform::IniFile& file, const std::string& section) {
    const std::string type = Lower(file.ReadString(section, "type", "string"));
    const auto read = [&](const char* fallback) { return file.ReadString(section, "value", fallback); };
    if (type == "boolean") return Value::Boolean(Lower(read("false")) == "true");
    if (type == "integer") {
        const std::optional<int64_t> number = ReadIntegerText(read("0"));
        return number ? std::optional<Value>(Value::Integer(*number)) : std::nullopt;
    }
    if (type == "float") {
        const std::optional<double> number = ReadFloatText(read("0"));
        return number ? std::optional<Value>(Value::Number(*number)) : std::nullopt;
    }
    if (type == "string") {
        const std::optional<std::u16string> text = StringFromValueText(read(""));
        return text ? std::optional<Value>(script::StringValue(interp, *text)) : std::nullopt;
    }
    if (type == "object") return Value::Object(script::NewObject(interp));
    if (type == "array") {
        const std::optional<int64_t> length = ReadIntegerText(file.ReadString(section, "length", "0"));
        const bool usable = length && *length >= 0 && static_cast<uint64_t>(*length) <= kMaxLength;
        return Value::Array(script::NewArray(interp, usable ? static_cast<uint64_t>(*length) : 0));
    }
    return std::nullopt;
}

bool LoadGlobals(script::Interpreter& interp, const std::string& path) {
    if (!platform::FileExists(path)) return false;
    const std::unique_ptr<platform::IniFile> file = platform::OpenIniFile(path);
    for (const std::string& section : file->SectionNames()) {
        const std::vector<std::u16string> parts = SplitSectionPath(section);
        if (parts.empty() || parts[0].empty()) continue;
        std::optional<Place> place = Place{};
        place->nameId = script::Intern(interp, platform::Utf16ToAnsi(parts[0]));
        for (size_t i = 1; place && i < parts.size(); ++i) place = Step(interp, *place, parts[i]);
        if (!place) continue;
        if (const std::optional<Value> value = SectionValue(interp, *file, section)) place->Set(interp, *value);
    }
    return true;
}

// ---- Enciphered files ----

std::string TempFolder() {
    for (const char* name : {"TMP", "TEMP"}) {
        std::optional<std::string> folder = platform::GetEnvironment(name);
        if (folder && !folder->empty())
            return folder->back() == '\\' || folder->back() == '/' ? *folder : *folder + '\\';
    }
    return platform::WindowsDirectory() + '\\';
}

std::string NewTempName() {
    static unsigned serial = 0;
    const std::string folder = TempFolder();
    char name[32];
    for (int attempt = 0;; ++attempt) {
        std::snprintf(name, sizeof name, "%04X%d.tmp", ++serial & 0xFFFF, attempt);
        if (!platform::PathExists(folder + name) || attempt > 1000) return folder + name;
    }
}

// What a data file deciphers to under the right key: text whose first line opens a section.
bool LooksLikeDataText(const DecipheredBytes& bytes) {
    if (!bytes.paddingClean) return false;
    for (const uint8_t b : bytes.plain)
        if ((b < 0x20 && b != '\t' && b != '\r' && b != '\n') || b == 0x7F) return false;
    const auto first = std::find_if(bytes.plain.begin(), bytes.plain.end(),
                                    [](uint8_t b) { return b != ' ' && b != '\t' && b != '\r' && b != '\n'; });
    return first == bytes.plain.end() || *first == '[';
}

// The plain text of the enciphered data file at `path` in a new temporary file; none when it does
// not decipher to a data file under `key`.
std::optional<std::string> DecipherToTemp(const std::string& path, const std::string& key) {
    const std::optional<DecipheredBytes> bytes = DecipherFileBytes(path, key);
    if (!bytes || !LooksLikeDataText(*bytes)) return std::nullopt;
    const std::string temp = NewTempName();
    if (!platform::WriteWholeFile(temp, bytes->plain)) return std::nullopt;
    return temp;
}

// ---- Members ----

std::optional<std::string> PathArg(const HostCall& call) {
    const std::optional<std::string> path = AnsiArg(call.args, 1);
    if (!path || path->empty()) return std::nullopt;
    return platform::FullPath(*path);  // the system would look for a bare name in the Windows folder
}

// The variable names after the path: at least one, every one a String.
std::optional<std::vector<std::u16string>> NameArgs(const HostCall& call) {
    if (call.args.Count() < 2) return std::nullopt;
    std::vector<std::u16string> names;
    for (uint32_t i = 2; i <= call.args.Count(); ++i) {
        const std::optional<std::u16string_view> name = call.args.Text16Temp(i);
        if (!name) return std::nullopt;
        names.emplace_back(*name);
    }
    return names;
}

// load(path): false when there is no such file.
void Load(HostCall& call) {
    const std::optional<std::string> path = PathArg(call);
    if (!path) return call.Fail();
    call.ReturnBoolean(LoadGlobals(call.interp, *path));
}

// loadAndDec(path): false, changing nothing, without a data key and for a file that is missing,
// damaged, cut short or enciphered under another key.
void LoadAndDec(HostCall& call) {
    const std::optional<std::string> path = PathArg(call);
    if (!path || DataKey().empty()) return call.Fail();
    const std::optional<std::string> temp = DecipherToTemp(*path, DataKey());
    if (!temp) return call.Fail();
    call.ReturnBoolean(LoadGlobals(call.interp, *temp));
    (void)platform::DeleteFile(*temp);
}

void Save(HostCall& call) {
    const std::optional<std::string> path = PathArg(call);
    const std::optional<std::vector<std::u16string>> names = NameArgs(call);
    if (!path || !names) return call.Fail();
    SaveGlobals(call.interp, *path, *names);
}

// saveAndEnc(path, names...): the variables join what the file already holds, as with save; a file
// that does not decipher under the data key is left alone rather than overwritten.
void SaveAndEnc(HostCall& call) {
    const std::optional<std::string> path = PathArg(call);
    const std::optional<std::vector<std::u16string>> names = NameArgs(call);
    if (!path || !names || DataKey().empty()) return call.Fail();
    std::optional<std::string> plain = platform::PathExists(*path) ? DecipherToTemp(*path, DataKey()) : NewTempName();
    if (!plain) return call.Fail();
    SaveGlobals(call.interp, *plain, *names);
    const std::string enciphered = NewTempName();
    if (EncipherFile(*plain, enciphered, DataKey()) && !platform::RenameReplacing(enciphered, *path))
        (void)platform::DeleteFile(enciphered);
    (void)platform::DeleteFile(*plain);
}

void Remove(HostCall& call) {
    const std::optional<std::string> path = PathArg(call);
    if (!path) return call.Fail();
    (void)platform::DeleteFile(*path);
}

constexpr HostMember kMembers[] = {
    Method("load", Failure::False, &Load),         Method("loadAndDec", Failure::False, &LoadAndDec),
    Method("save", Failure::Undefined, &Save),     Method("saveAndEnc", Failure::Undefined, &SaveAndEnc),
    Method("remove", Failure::Undefined, &Remove),
};

constexpr HostClassSpec kSpec{.name = "DataFile", .members = kMembers};

}  // namespace

void RegisterDataFileClass(script::Interpreter& interp) { (void)RegisterHostClass(interp, kSpec); }

}  // namespace velmo::host
