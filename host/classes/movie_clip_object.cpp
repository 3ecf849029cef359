#include "host/classes/movie_clip_object.h"

#include <string>

#include "platform/text.h"
#include "script/runtime/interpreter_api.h"
#include "script/runtime/properties.h"

namespace velmo::host {

namespace {

using script::Value;

struct ClipData {
    std::u16string path;
    FlashPlayerState* state;  // not owned: FlashPlayer's class state, which outlives every value
};

bool ClipProperty(HostProperty& access, uint32_t nameId) {
    const ClipData* clip = access.Native<ClipData>();
    if (!clip) return false;
    const std::u16string path = clip->path + u"." + platform::AnsiToUtf16(script::NameText(access.interp, nameId));
    return BoundProperty(access, *clip->state, path);
}

}  // namespace

bool BoundProperty(HostProperty& access, FlashPlayerState& state, std::u16string_view path) {
    if (path == u"???") return false;
    if (BindingTable::Binding* binding = state.bindings.Find(path)) {
        if (access.isSet) binding->value.Set(access.Incoming());
        else access.Return(binding->value.Get());
        return true;
    }
    if (access.isSet || !state.clipClass || !state.bindings.IsClipPath(path)) return false;
    access.Return(script::NewHostValue(access.interp, state.clipClass, new ClipData{std::u16string(path), &state}));
    return true;
}

void RegisterMovieClipClass(script::Interpreter& interp) {
    HostClassSpec spec;
    spec.name = "MovieClip";
    spec.construct = nullptr;
    spec.callIsConstruct = false;
    spec.finalizeData = &DeleteNative<ClipData>;
    spec.otherProperty = &ClipProperty;
    script::ClassRecord* cls = RegisterHostClass(interp, spec);
    const Value player = script::GlobalByName(interp, "FlashPlayer");
    if (!IsInstanceOf(interp, player, "FlashPlayer")) return;
    if (FlashPlayerState* state = ClassStateAs<FlashPlayerState>(*player.AsHost()->cls)) state->clipClass = cls;
}

}  // namespace velmo::host
