#pragma once
// MovieClip: a value for a clip path of the FlashPlayer's bindings, so that a bound variable such as
// "_root.hud.score" reads as FlashPlayer._root.hud.score. It has no methods besides toString and
// cannot be constructed; every value comes from a property read.

#include <string_view>

#include "host/classes/flash_bindings.h"
#include "host/framework/host_class.h"

namespace velmo::host {

// Registers MovieClip; FlashPlayer must be registered already (its state learns the class).
void RegisterMovieClipClass(script::Interpreter& interp);

// The access of the property `path` (a full dotted name): a bound name reads and stores the bound
// value; a clip path reads as a new MovieClip. False for anything else and for "???", which is
// never a movie name, and for a store to a name that is not bound.
bool BoundProperty(HostProperty& access, FlashPlayerState& state, std::u16string_view path);

}  // namespace velmo::host
