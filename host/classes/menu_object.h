#pragma once
// The Menu class: menu bars and popup menus that scripts build, load from the application's menu
// definitions, put on the main window or show at the pointer; their commands reach the scripts by
// item name through the class's onCommand and onUpdateItem events. docs/menu.md describes it.

#include <cstdint>

namespace velmo::script {
class Interpreter;
}

namespace velmo::host {

void RegisterMenuClass(script::Interpreter& interp);

// A command of the main window's menus (an id of 0xB798..0xDEA7) for the scripts: onCommand with
// the item's name. False when no name has that id (or the interpreter has no Menu class).
bool FireMenuCommand(script::Interpreter& interp, uint32_t id);

}  // namespace velmo::host
