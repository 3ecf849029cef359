#pragma once
// The Window object: any window of the system by its handle (the projector's own and foreign
// ones), its title, geometry, parent, state and styles, animations, child windows, enumeration,
// and its messages as script events through subclassing (window_record.h, window_events.cpp).

namespace velmo::script {
class Interpreter;
}

namespace velmo::host {

// Registers Window and the $AW_* constants of the system's window animation.
void RegisterWindowClass(script::Interpreter& interp);

}  // namespace velmo::host
