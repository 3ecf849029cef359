#pragma once
// The SysTray settings object: the tray icon's tip and icon, its balloon, and the events of the
// mouse over the icon, which a script can take over from the tray's own handling.

#include <cstdint>

namespace velmo::script {
class Interpreter;
}

namespace velmo::host {

// Publishes the class in the hidden global "_Tray_".
void RegisterSysTrayClass(script::Interpreter& interp);

// Fires the event of a tray mouse message (application_object.h lists them); whether the tray's
// own handling should still run (true also when the interpreter has no SysTray).
bool FireTrayMouse(script::Interpreter& interp, uint32_t mouseMessage);

}  // namespace velmo::host
