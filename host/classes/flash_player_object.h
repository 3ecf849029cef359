#pragma once
// The FlashPlayer object: the movie control of the main frame as scripts drive it. Playback and
// timeline methods, the control's properties, the movie's variables one by one, as arrays and as
// objects, bindings of movie variables to script values (flash_bindings.h, with MovieClip for their
// paths), the movie window and its context-menu event, where a movie rectangle shows in the window
// (movie_geometry.h) and the header facts of any movie file. docs/flashplayer.md describes it.

namespace velmo::script {
class Interpreter;
}

namespace velmo::host {

void RegisterFlashPlayerClass(script::Interpreter& interp);

}  // namespace velmo::host
