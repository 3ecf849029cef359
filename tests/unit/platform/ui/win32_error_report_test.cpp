// The Win32 user interface against the real system (under wine in CI): the no-dialog switch that
// keeps automated runs from waiting on a message box.
#include <gtest/gtest.h>

#include "platform/error_report.h"
#include "tests/support/scratch.h"

namespace velmo::platform {
namespace {

TEST(Win32ErrorReport, NoDialogsSwitchReportsWithoutWaiting) {
    testing::ScopedEnvironment noDialogs("VELMO_NO_DIALOGS", "1");
    ShownErrors().clear();
    ShowError("Invalid application data", "app");  // a message box here would hang the test
    ASSERT_EQ(ShownErrors().size(), 1u);
    EXPECT_EQ(ShownErrors()[0].title, "app");
}

}  // namespace
}  // namespace velmo::platform
