#pragma once
// What the Win32 message loop needs of the menu system: the installed accelerator tables.

#include <windows.h>

namespace velmo::platform::win32 {

// Translates `message` through the installed accelerator tables, the newest first, when it is for
// a table's target window or a child of it; true when it became a command (it is then not
// dispatched).
bool TranslateMenuAccelerators(MSG& message);

}  // namespace velmo::platform::win32
