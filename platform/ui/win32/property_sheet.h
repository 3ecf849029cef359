#pragma once
// A property sheet of the system's common controls, its pages' dialog templates built in memory
// from the description. With VELMO_NO_DIALOGS nobody waits for a user: each page, as it opens,
// takes the values of the values file (platform/common/sheet_values.h) into its real controls,
// the sheet steps through every page and presses OK or Cancel as the file says, and every page
// reads its controls back as a sheet closing with OK makes it. VELMO_OPTIONS_PICTURES may name a
// folder for a picture of each page as it was shown ("page-1.bmp" and on).

#include <windows.h>

#include "platform/property_sheet.h"

namespace velmo::platform::win32 {

SheetResult RunPropertySheetOver(HWND owner, SheetDescription& sheet);

}  // namespace velmo::platform::win32
