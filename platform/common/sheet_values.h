#pragma once
// The values file that answers a property sheet in runs without a user (the headless desktop, and
// Win32 with VELMO_NO_DIALOGS): the variable VELMO_OPTIONS_VALUES names it. One line per control,
//
//     1046=1            the control's id, '=', its value text as platform/property_sheet.h gives it
//     1055=New caption  (everything after the first '=' to the end of the line, blanks included)
//     OK                closes the sheet with OK; "Cancel" closes it with Cancel
//
// in the 8-bit code page. Blank lines and lines starting with '#' are skipped; the first "OK" or
// "Cancel" line (any case) ends the values, and a file without one answers Cancel. A file with a
// line of any other form is refused whole: the sheet answers Cancel, so a mistyped test fails.
// A hot key may also be written in hexadecimal ("0x251").

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/property_sheet.h"

namespace velmo::platform {

inline constexpr const char* kSheetValuesVariable = "VELMO_OPTIONS_VALUES";

struct SheetValues {
    std::vector<std::pair<int, std::string>> values;  // in file order
    bool ok = false;
};

struct SheetValuesParse {
    std::optional<SheetValues> values;
    std::string error;  // "line N: ..." when refused
};

SheetValuesParse ParseSheetValues(std::string_view text);

// The value text `control` takes for `value`, normalised (a hexadecimal hot key in decimal); none
// when the control has no value or refuses this one (a list index past its items, a check that is
// neither "0" nor "1", a text with a NUL or longer than the edit takes, a colour not in "#RRGGBB"
// form, digits in a NumberEdit beyond the spin's range...). A Spin's value is checked as its
// buddy's is; `sheet` finds the buddy.
std::optional<std::string> CheckSheetValue(const SheetDescription& sheet, const SheetControl& control,
                                           const std::string& value);

// What a run without a user does with a sheet: reads the file VELMO_OPTIONS_VALUES names and, when
// it is read and accepted, whether it says OK; the notes tell what happened. Without the variable
// the answer is Cancel.
struct SheetValuesLoad {
    std::optional<SheetValues> values;  // none: answer Cancel
    std::vector<std::string> notes;
};
SheetValuesLoad LoadSheetValuesFromEnvironment();

// Sets one value on the sheet's description: a checked radio clears its group, a spin sets its
// buddy. False (and nothing changed) when no control has `id` or it refuses the value.
bool SetSheetValue(SheetDescription& sheet, int id, const std::string& value);

// The whole answer of a run without a user, on the description itself (the headless desktop).
SheetResult AnswerSheetFromEnvironment(SheetDescription& sheet);

}  // namespace velmo::platform
