#pragma once
// The control's print dialog, routed through the runtime: a control made from a file asks for its
// printer through the system's print dialog, and the scripts may say the dialog is not wanted (the
// default printer is then taken without asking).

#include <windows.h>

namespace velmo::platform::win32 {

// Points `module`'s calls of the print dialog at the runtime's; false when its import table could
// not be patched.
bool RoutePrintDialog(HMODULE module);

}  // namespace velmo::platform::win32
