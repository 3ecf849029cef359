// Structure layouts for native calls over any text, and the marshalling of a script object through
// the layout into a C buffer and back. The input is split at zero bytes: the first piece is the
// structure's text, the others are the texts of the globals that structure names lead to (a name
// picks a piece by its hash, so layouts refer to each other, and to themselves, at random).
// A layout must be refused with a reason or satisfy the placement rules; the buffers the object
// goes through are checked by AddressSanitizer.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/classes/native_layout.h"
#include "host/classes/native_marshal.h"
#include "host/make_engine.h"
#include "script/runtime/arrays.h"
#include "script/runtime/interpreter_api.h"
#include "script/runtime/objects.h"
#include "script/runtime/strings.h"

using namespace velmo;
using namespace velmo::host;

namespace {

size_t CheckLayout(const NativeStruct& layout) {
    size_t fields = layout.fields.size();
    if (layout.alignment == 0 || layout.size % layout.alignment != 0 || layout.size > kMaxLayoutBytes) __builtin_trap();
    size_t end = 0;
    for (const NativeField& field : layout.fields) {
        if (field.offset < end || field.offset + field.elementBytes * (field.count ? field.count : 1) > layout.size)
            __builtin_trap();
        end = field.offset + field.elementBytes * (field.count ? field.count : 1);
        if ((field.type.kind == NativeKind::Struct) != (field.layout != nullptr)) __builtin_trap();
        if (field.layout) fields += CheckLayout(*field.layout);
    }
    return fields;
}

// Every member gets a value of one of the kinds a script might give, chosen by its position.
script::Value MemberValue(script::Interpreter& interp, size_t i) {
    switch (i % 5) {
        case 0: return script::Value::Integer(static_cast<int64_t>(i) - 2);
        case 1: return script::StringValue(interp, u"text");
        case 2: {
            script::ArrayRecord* array = script::NewArray(interp, 0);
            for (uint64_t k = 0; k < 3; ++k) script::PutElement(interp, array, script::Value::Integer(1), k);
            return script::Value::Array(array);
        }
        case 3: return script::Value::Object(script::NewObject(interp));
        default: return script::Value::Number(2.5);
    }
}

void Marshal(script::Engine& engine, std::unique_ptr<NativeStruct> layout) {
    script::Interpreter& interp = engine.Interp();
    script::ObjectRecord* object = script::NewObject(interp);
    for (size_t i = 0; i < layout->fields.size(); ++i)
        script::SetOwn(interp, object, script::Intern(interp, layout->fields[i].name), MemberValue(interp, i));
    NativeSlotType slot{NativeType{NativeKind::Struct, false, true, layout->name}, std::move(layout)};
    NativeFrame frame(interp);
    uint64_t cell = 0;
    if (frame.StoreArgument(slot, script::Value::Object(object), cell)) frame.WriteBack();
    else if (frame.Problem().empty()) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static std::unique_ptr<script::Engine> engine = MakeEngine({});
    std::vector<std::u16string> pieces(1);
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0) pieces.emplace_back();
        else pieces.back() += static_cast<char16_t>(data[i]);
    }
    const LayoutSource source = [&pieces](std::string_view name) -> std::optional<std::u16string> {
        size_t hash = 0;
        for (const char c : name) hash = hash * 31 + static_cast<unsigned char>(c);
        if (pieces.size() < 2 || hash % 7 == 0) return std::nullopt;
        return pieces[1 + hash % (pieces.size() - 1)];
    };
    LayoutResult result = ParseNativeLayout(pieces[0], source);
    if (!result.layout) {
        if (result.error.empty()) __builtin_trap();
        return 0;
    }
    if (CheckLayout(*result.layout) > kMaxLayoutFields) __builtin_trap();
    Marshal(*engine, std::move(result.layout));
    // The end of a run collects what this input made.
    (void)engine->RunSourceText("");
    return 0;
}
