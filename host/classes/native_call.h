#pragma once
// One native function as a script calls it: the library it lives in (held open while the function
// lives), its address, and the call interface built once from its declaration. Calls go through
// libffi with the platform's default C calling convention: on x86-64 there is one, so the four call
// types a declaration may name (stdcall, cdecl, pascal, fastcall) all mean it.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "host/classes/native_marshal.h"
#include "platform/native_library.h"
#include "script/runtime/args.h"

namespace velmo::host {

struct NativeSignature {
    NativeSlotType result;
    std::vector<NativeSlotType> parameters;
};

// The call types a declaration may name.
bool IsKnownCallType(std::string_view callType);

class NativeFunction {
public:
    // Null with `error` set when the call interface cannot be built for the signature.
    static std::unique_ptr<NativeFunction> Bind(std::string scriptName, platform::NativeLibrary library, void* address,
                                                NativeSignature signature, std::string& error);
    ~NativeFunction();
    NativeFunction(const NativeFunction&) = delete;
    NativeFunction& operator=(const NativeFunction&) = delete;

    const std::string& ScriptName() const { return scriptName_; }

    // Converts the arguments, calls, converts the result into `result` and reads every buffer back
    // into the script values it came from. A wrong argument count or an argument that does not fit
    // its type writes a warning to the trace and calls nothing; `result` is then Undefined.
    void Call(script::Interpreter& interp, const script::Args& args, script::Value* result) const;

private:
    struct CallInterface;
    NativeFunction(std::string scriptName, platform::NativeLibrary library, void* address, NativeSignature signature);

    std::string scriptName_;
    platform::NativeLibrary library_;
    void* address_;  // inside library_
    NativeSignature signature_;
    std::unique_ptr<CallInterface> interface_;
};

}  // namespace velmo::host
