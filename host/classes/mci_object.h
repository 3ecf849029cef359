#pragma once
// The MCI object: command strings to the system's media devices, the list of devices, packed
// times, and device objects with properties, a command property and a playback window.

namespace velmo::script {
class Interpreter;
}

namespace velmo::host {

void RegisterMciClass(script::Interpreter& interp);

}  // namespace velmo::host
