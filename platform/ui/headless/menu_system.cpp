// The headless user interface's menus: the in-memory model.
#include "platform/common/model_menu_system.h"

namespace velmo::platform {

namespace {
MenuSystem* chosenMenus = nullptr;  // not owned
}  // namespace

MenuSystem& Menus() { return chosenMenus ? *chosenMenus : ModelMenuSystem::Shared(); }
void UseMenuSystem(MenuSystem* menus) { chosenMenus = menus; }

}  // namespace velmo::platform
