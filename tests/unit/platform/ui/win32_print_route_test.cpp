// The control file's print dialog, routed through the runtime (under wine): with the dialog turned
// off a print request takes the default printer at once instead of waiting for a user. This test
// program stands in for the control file: its own import of the dialog is the one routed.
#include <gtest/gtest.h>

#include "platform/movie_control.h"
#include "platform/ui/win32/print_route.h"  // the Win32 declarations come with it

namespace velmo::platform {
namespace {

TEST(Win32PrintRoute, WithTheDialogOffARoutedRequestAsksForTheDefaultPrinter) {
    ASSERT_TRUE(win32::RoutePrintDialog(::GetModuleHandleW(nullptr)));
    SetPrintDialogShown(false);
    PRINTDLGA request{};
    request.lStructSize = sizeof request;
    request.Flags = PD_NOSELECTION;
    // Unrouted, this would open the dialog and wait; routed, it answers at once, with or without a
    // printer on the machine.
    (void)::PrintDlgA(&request);
    SetPrintDialogShown(true);
    EXPECT_TRUE(request.Flags & PD_RETURNDEFAULT);
    EXPECT_TRUE(request.Flags & PD_NOSELECTION);
    if (request.hDevMode) ::GlobalFree(request.hDevMode);
    if (request.hDevNames) ::GlobalFree(request.hDevNames);
}

}  // namespace
}  // namespace velmo::platform
