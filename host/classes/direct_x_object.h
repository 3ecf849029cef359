#pragma once
// The DirectX object: switches the screen's display mode for full-screen presentation and puts it
// back. The mode goes back at the latest when the engine goes (and, through the platform, when the
// process exits).

namespace velmo::script {
class Interpreter;
}

namespace velmo::host {

void RegisterDirectXClass(script::Interpreter& interp);

}  // namespace velmo::host
