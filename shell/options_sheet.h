#pragma once
// The runtime options sheet, with which the user changes the projector's settings for himself:
// five pages (Appearance, Size and Position, Interaction, Behaviour, Miscellaneous) whose controls
// each edit one field or bit of the settings record. MakeOptionsSheet fills the controls from the
// record, ReadOptionsSheet writes the edited values back. Bits and values no control shows (the
// tray's application icon, the disabled Windows keys, window shape 3) survive the round trip.
//
// Two buttons of the pages are left out: the "..." browse buttons of the clip-shape image and the
// help file. Both fields name files inside the application's package, which no file dialog can
// browse; the clip-shape list offers the region images the application carries instead. The
// background colour is a button of its own (id kBackgroundColourButton) that opens the system's
// colour dialog.

#include "platform/property_sheet.h"
#include "shell/settings_record.h"

namespace velmo::shell {

inline constexpr int kOptionsSheetIcon = 128;
inline constexpr int kBackgroundColourButton = 1092;
// The longest caption and clip-shape image name the edits take.
inline constexpr size_t kMaxOptionText = 256;

platform::SheetDescription MakeOptionsSheet(const SettingsRecord& settings);

// Takes the sheet's values into `settings`. A radio group with none of its radios checked keeps
// the field's value; an empty or unreadable number keeps its field too.
void ReadOptionsSheet(const platform::SheetDescription& sheet, SettingsRecord& settings);

}  // namespace velmo::shell
