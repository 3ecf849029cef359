#pragma once
// A property sheet as the user interface is given it: pages of controls laid out in dialog units,
// each control holding its value as text. The shell describes what a sheet shows and reads the
// edited values back; the platform only shows it and lets the user (or a values file, in runs
// without one) change the values. Value texts by kind:
//
//     Radio, Check       "1" checked, "0" not; checking a radio clears the others of its group
//     Edit, NumberEdit   the text (a NumberEdit takes digits only)
//     List               the index of the chosen item, from 0
//     EditableList       the text
//     HotKey             modifiers << 8 | virtual-key code, in decimal
//     Colour             "#RRGGBB"
//
// A Spin has no value of its own: it steps the NumberEdit named by its buddy. Group boxes and
// labels have none either.

#include <cstddef>
#include <string>
#include <vector>

namespace velmo::platform {

enum class SheetControlKind {
    GroupBox,
    Label,
    Radio,
    Check,
    Edit,
    NumberEdit,
    Spin,
    List,
    EditableList,
    HotKey,
    Colour
};

// In dialog units: a quarter of the dialog font's average character width across, an eighth of its
// height down.
struct DialogRect {
    int x = 0, y = 0, width = 0, height = 0;
};

struct SheetControl {
    int id = 0;  // 0 for group boxes and labels
    SheetControlKind kind = SheetControlKind::Label;
    std::string text;
    DialogRect rect;
    int group = 0;                   // radios of one non-zero group exclude each other
    std::vector<std::string> items;  // a list's items
    int buddy = 0;                   // a spin's NumberEdit
    int minimum = 0, maximum = 0;    // a spin's range
    size_t maxLength = 0;            // an edit's longest text; 0: the system's limit
    std::string value;
};

struct SheetPage {
    int dialogId = 0;  // the page's dialog resource number, which names it in notes
    int iconId = 0;    // the tab's icon resource; shown when the application carries it
    std::string caption;
    int width = 0, height = 0;  // dialog units
    std::vector<SheetControl> controls;
};

struct SheetDescription {
    std::string caption;
    int iconId = 0;
    std::vector<SheetPage> pages;

    SheetControl* Find(int id);
    const SheetControl* Find(int id) const;
};

// How a sheet closed, with what a tester should know about the run (the values file read, values
// it named that no control took).
struct SheetResult {
    bool ok = false;
    std::vector<std::string> notes;
};

}  // namespace velmo::platform
