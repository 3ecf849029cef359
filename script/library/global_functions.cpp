// The global functions: classes that have only a Call operation, registered from one table.
#include "script/library/core_classes.h"

#include <string>

#include "platform/text.h"
#include "script/runtime/convert.h"
#include "script/runtime/properties.h"

namespace velmo::script::library {

namespace {

// trace(...): the text of every argument, with no separator, as one line of the trace output.
// Nothing is converted while no output is open, so a closed trace runs no toString methods.
void Trace(Interpreter& interp, ClassRecord&, void*, Value* result, Value* args) {
    *result = Value::Undefined();
    if (!interp.Trace().IsOpen()) return;
    std::u16string line;
    for (int64_t i = 1; i <= args[0].AsInteger(); ++i) line += ToText(interp, args[i]);
    interp.Trace().WriteLine(platform::Utf16ToAnsi(line));
}

struct GlobalFunction {
    const char* name;
    CallOp call;
};
constexpr GlobalFunction kGlobalFunctions[] = {
    {"trace", &Trace},
};

}  // namespace

void RegisterGlobalFunctions(Interpreter& interp) {
    for (const GlobalFunction& f : kGlobalFunctions) {
        ClassRecord* cls = NewClass(interp, f.name);
        cls->Call = f.call;
        PublishClass(interp, f.name, cls);
    }
}

}  // namespace velmo::script::library
