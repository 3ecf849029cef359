#include "host/classes/native_call.h"

#include <ffi.h>

#include <array>

#include "script/runtime/interpreter_api.h"
#include "script/runtime/trace_output.h"

namespace velmo::host {

namespace {

constexpr std::array<std::string_view, 4> kCallTypes = {"stdcall", "cdecl", "pascal", "fastcall"};

ffi_type* IntegerType(size_t bytes, bool isUnsigned) {
    switch (bytes) {
        case 1: return isUnsigned ? &ffi_type_uint8 : &ffi_type_sint8;
        case 2: return isUnsigned ? &ffi_type_uint16 : &ffi_type_sint16;
        case 4: return isUnsigned ? &ffi_type_uint32 : &ffi_type_sint32;
        default: return isUnsigned ? &ffi_type_uint64 : &ffi_type_sint64;
    }
}

// Structures always travel by address, so every type here is a scalar or a pointer.
ffi_type* CallType(const NativeType& type) {
    if (type.isPointer || type.kind == NativeKind::Struct) return &ffi_type_pointer;
    switch (type.kind) {
        case NativeKind::Float: return &ffi_type_float;
        case NativeKind::Double: return &ffi_type_double;
        case NativeKind::Pointer:
        case NativeKind::String: return &ffi_type_pointer;
        case NativeKind::Boolean: return &ffi_type_sint32;
        case NativeKind::Void: return &ffi_type_void;
        default: return IntegerType(ScalarBytes(type.kind), type.isUnsigned);
    }
}

void Warn(script::Interpreter& interp, const std::string& text) { script::Trace(interp).WriteLine("Warning: " + text); }

}  // namespace

struct NativeFunction::CallInterface {
    ffi_cif cif;
    std::vector<ffi_type*> argumentTypes;  // the cif points into this
};

bool IsKnownCallType(std::string_view callType) {
    for (const std::string_view known : kCallTypes)
        if (known == callType) return true;
    return false;
}

NativeFunction::NativeFunction(std::string scriptName, platform::NativeLibrary library, void* address,
                               NativeSignature signature)
    : scriptName_(std::move(scriptName)), library_(std::move(library)), address_(address),
      signature_(std::move(signature)), interface_(std::make_unique<CallInterface>()) {}

NativeFunction::~NativeFunction() = default;

std::unique_ptr<NativeFunction> NativeFunction::Bind(std::string scriptName, platform::NativeLibrary library,
                                                     void* address, NativeSignature signature, std::string& error) {
    std::unique_ptr<NativeFunction> function(
        new NativeFunction(std::move(scriptName), std::move(library), address, std::move(signature)));
    CallInterface& call = *function->interface_;
    for (const NativeSlotType& parameter : function->signature_.parameters)
        call.argumentTypes.push_back(CallType(parameter.type));
    const ffi_status status = ffi_prep_cif(&call.cif, FFI_DEFAULT_ABI, static_cast<unsigned>(call.argumentTypes.size()),
                                           CallType(function->signature_.result.type), call.argumentTypes.data());
    if (status != FFI_OK) {
        error = "the call interface cannot be built (libffi status " + std::to_string(status) + ")";
        return nullptr;
    }
    return function;
}

void NativeFunction::Call(script::Interpreter& interp, const script::Args& args, script::Value* result) const {
    *result = script::Value::Undefined();
    const size_t expected = signature_.parameters.size();
    if (args.Count() != expected) {
        Warn(interp, "native function \"" + scriptName_ + "\" takes " + std::to_string(expected) + " argument" +
                         (expected == 1 ? "" : "s") + ", not " + std::to_string(args.Count()));
        return;
    }
    NativeFrame frame(interp);
    std::vector<uint64_t> cells(expected);
    std::vector<void*> pointers(expected);
    for (size_t i = 0; i < expected; ++i) {
        if (!frame.StoreArgument(signature_.parameters[i], args[static_cast<uint32_t>(i + 1)], cells[i])) {
            Warn(interp,
                 "native function \"" + scriptName_ + "\": argument " + std::to_string(i + 1) + ": " + frame.Problem());
            return;
        }
        pointers[i] = &cells[i];
    }
    // ffi_arg is 8 bytes here, so one cell holds any scalar or pointer result.
    static_assert(sizeof(ffi_arg) == sizeof(uint64_t));
    uint64_t returned = 0;
    ffi_call(&interface_->cif, FFI_FN(address_), &returned, pointers.data());
    *result = frame.LoadResult(signature_.result, returned);
    frame.WriteBack();
}

}  // namespace velmo::host
