// One class per proxy: its data is the context (not owned), each proxy's native data its name.
#include "host/movie/movie_functions.h"

#include <string>

#include "host/movie/value_codec.h"
#include "platform/text.h"
#include "script/runtime/interpreter_api.h"
#include "script/runtime/properties.h"

namespace velmo::host {

namespace {

void FreeName(script::ClassRecord&, void* nativeData) { delete static_cast<std::u16string*>(nativeData); }

void CallProxy(script::Interpreter& interp, script::ClassRecord& cls, void* nativeData, script::Value* result,
               script::Value* args) {
    *result = script::Value::Undefined();
    if (!nativeData || !cls.classData) return;  // a proxy released by the movie has no name left
    // A copy: the movie may call back into scripts that drop this proxy before the reply comes.
    const std::u16string name = *static_cast<const std::u16string*>(nativeData);
    CallMovieFunction(interp, *static_cast<const MovieCallContext*>(cls.classData), name, args, *result);
}

}  // namespace

bool RegisterMovieFunction(script::Interpreter& interp, const MovieCallContext& context, std::u16string_view name16) {
    if (name16.empty()) return false;
    script::ClassRecord* cls = script::NewClass(interp, "MovieFunction");
    cls->Call = &CallProxy;
    cls->FinalizeData = &FreeName;
    cls->classData = const_cast<MovieCallContext*>(&context);  // not owned: FreeClassData stays empty
    const script::Value proxy = script::NewHostValue(interp, cls, new std::u16string(name16));
    script::GlobalByName(interp, platform::Utf16ToAnsi(name16)) = proxy;
    return true;
}

void CallMovieFunction(script::Interpreter& interp, const MovieCallContext& context, std::u16string_view name16,
                       const script::Value* args, script::Value& result) {
    result = script::Value::Undefined();
    if (!context.flashGateOpen || !context.callMovie) return;
    CodecBuffer request;
    if (!EncodeRequest(interp, request, name16, args)) return;
    const std::optional<std::u16string> reply = context.callMovie(request.Text());
    if (!reply) return;
    const DecodedRequest decoded = DecodeRequest(interp, *reply);
    if (decoded.single) result = *decoded.single;
}

}  // namespace velmo::host
