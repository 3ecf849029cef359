// registerFunction answers true when the function is bound and published, false otherwise, and
// then says why on the trace: a declaration that cannot work is a mistake of the script's author,
// who should hear of it at the declaration rather than as a silent Undefined at every call. The
// global of the script name is left as it was on failure.
// Each bound function is a class of its own (its class data the NativeFunction), published by its
// class value: calling the value runs the class's Call. When the global is overwritten and nothing
// else holds the value, the collector frees the class, and with it the library's open.
#include "host/classes/dll_object.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "host/classes/native_call.h"
#include "host/classes/native_layout.h"
#include "host/framework/host_class.h"
#include "script/runtime/interpreter_api.h"
#include "script/runtime/properties.h"
#include "script/runtime/strings.h"
#include "script/runtime/trace_output.h"

namespace velmo::host {

namespace {

using script::Value;

constexpr uint32_t kFirstParameterArg = 6;

void Warn(script::Interpreter& interp, const std::string& text) {
    script::Trace(interp).WriteLine("Warning: Dll.registerFunction: " + text);
}

// ---- The published functions ----

const NativeFunction& FunctionOf(const script::ClassRecord& cls) {
    return *static_cast<const NativeFunction*>(cls.classData);
}

void CallFunction(script::Interpreter& interp, script::ClassRecord& cls, void*, Value* result, Value* args) {
    FunctionOf(cls).Call(interp, script::Args(args), result);
}

bool FunctionMethod(script::Interpreter& interp, script::ClassRecord&, void*, uint32_t nameId, Value* result, Value*) {
    if (nameId != script::kToStringNameId) return false;
    *result = script::StaticStringValue(interp, u"[object NativeFunction]");
    return true;
}

void FreeFunction(void* classData) { delete static_cast<NativeFunction*>(classData); }

void Publish(script::Interpreter& interp, const std::string& scriptName, std::unique_ptr<NativeFunction> function) {
    script::ClassRecord* cls = script::NewClass(interp, "NativeFunction");
    cls->Call = &CallFunction;
    cls->CallMethod = &FunctionMethod;
    cls->classData = function.release();
    cls->FreeClassData = &FreeFunction;
    script::PublishClass(interp, scriptName, cls);
}

// ---- Reading the declaration ----

struct Declaration {
    std::string library;
    std::string functionName;
    std::string scriptName;
    NativeSignature signature;
};

std::optional<NativeSlotType> ReadType(script::Interpreter& interp, const std::string& text, bool isResult,
                                       const std::string& functionName) {
    std::optional<NativeType> type = ParseNativeType(text);
    if (!type || (type->kind == NativeKind::Void && !type->isPointer && !isResult)) {
        Warn(interp, "unknown type \"" + text + "\" in the declaration of \"" + functionName + "\"");
        return std::nullopt;
    }
    if (type->kind == NativeKind::Void && type->isPointer) {  // "void*" is an untyped address
        type->kind = NativeKind::Pointer;
        type->isPointer = false;
    }
    NativeSlotType slot{*type, nullptr};
    if (type->kind != NativeKind::Struct) return slot;
    if (isResult && !type->isPointer) {
        Warn(interp, "\"" + functionName + "\" returns the structure \"" + type->structName +
                         "\" by value, which cannot be received; declare \"" + type->structName + "*\"");
        return std::nullopt;
    }
    const LayoutSource source = [&interp](std::string_view name) -> std::optional<std::u16string> {
        const Value& global = script::GlobalByName(interp, name);
        if (!global.Is(script::Tag::String)) return std::nullopt;
        return std::u16string(script::Text(global.AsString()));
    };
    LayoutResult layout = LayoutOfStructure(type->structName, source);
    if (!layout.layout) {
        Warn(interp,
             "the structure \"" + type->structName + "\" of \"" + functionName + "\" cannot be used: " + layout.error);
        return std::nullopt;
    }
    slot.layout = std::move(layout.layout);
    return slot;
}

std::optional<Declaration> ReadDeclaration(HostCall& call) {
    std::vector<std::optional<std::string>> texts;
    for (uint32_t i = 1; i <= std::max<uint32_t>(call.args.Count(), kFirstParameterArg - 1); ++i)
        texts.push_back(AnsiArg(call.args, i));
    const char* const kRoles[] = {"the library name", "the function name", "the script name", "the call type",
                                  "the return type"};
    for (size_t i = 0; i < texts.size(); ++i)
        if (!texts[i] || (i == 2 && texts[i]->empty())) {
            Warn(call.interp,
                 (i < 5 ? std::string(kRoles[i]) : "parameter type " + std::to_string(i - 4)) + " is not a string");
            return std::nullopt;
        }
    Declaration d{*texts[0], *texts[1], *texts[2], {}};
    if (!IsKnownCallType(*texts[3])) {
        Warn(call.interp, "unknown call type \"" + *texts[3] + "\"");
        return std::nullopt;
    }
    std::optional<NativeSlotType> result = ReadType(call.interp, *texts[4], true, d.functionName);
    if (!result) return std::nullopt;
    d.signature.result = std::move(*result);
    for (size_t i = kFirstParameterArg - 1; i < texts.size(); ++i) {
        std::optional<NativeSlotType> parameter = ReadType(call.interp, *texts[i], false, d.functionName);
        if (!parameter) return std::nullopt;
        d.signature.parameters.push_back(std::move(*parameter));
    }
    return d;
}

// registerFunction(library, functionName, scriptName, callType, returnType, parameterType...).
void RegisterFunction(HostCall& call) {
    std::optional<Declaration> d = ReadDeclaration(call);
    if (!d) return call.Fail();
    std::string reason;
    platform::NativeLibrary library(platform::OpenNativeLibrary(d->library, reason));
    if (!library.IsOpen()) {
        Warn(call.interp, "cannot load the library \"" + d->library + "\": " + reason);
        return call.Fail();
    }
    void* address = library.Find(d->functionName);
    if (!address) {
        Warn(call.interp, "the library \"" + d->library + "\" has no function \"" + d->functionName + "\"");
        return call.Fail();
    }
    std::unique_ptr<NativeFunction> function =
        NativeFunction::Bind(d->scriptName, std::move(library), address, std::move(d->signature), reason);
    if (!function) {
        Warn(call.interp, "\"" + d->functionName + "\": " + reason);
        return call.Fail();
    }
    Publish(call.interp, d->scriptName, std::move(function));
    call.ReturnBoolean(true);
}

constexpr HostMember kMembers[] = {
    Method("registerFunction", Failure::False, &RegisterFunction),
};

constexpr HostClassSpec kSpec{.name = "Dll", .members = kMembers, .callIsConstruct = false};

}  // namespace

void RegisterDllClass(script::Interpreter& interp) { (void)RegisterHostClass(interp, kSpec); }

}  // namespace velmo::host
