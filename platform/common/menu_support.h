#pragma once
// What every menu system shares: the listeners of menus about to open, and the answers a test
// gives in place of a user when VELMO_MENU_ANSWERS names a file (one line per tracked menu: the
// caption of the item to choose, with or without its "&" marks and key text, or "none").

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/menu_system.h"

namespace velmo::platform {

class OpeningListeners {
public:
    int Add(MenuSystem::OpeningListener listener);
    void Remove(int token);
    // Calls the newest listener, if any.
    void Notify(MenuHandle menu) const;

private:
    std::vector<std::pair<int, MenuSystem::OpeningListener>> listeners_;
    int next_ = 1;
};

// The caption of an item as the user reads it: the key text after a tab dropped, "&" marks taken
// out ("&&" stands for one "&").
std::string VisibleCaption(const std::string& text);

class MenuAnswers {
public:
    // Answers from the file VELMO_MENU_ANSWERS names, read when the first menu is tracked; none
    // when the variable is not set.
    MenuAnswers() = default;
    // Answers from `lines` (tests of the seam itself).
    explicit MenuAnswers(std::vector<std::string> lines) : lines_(std::move(lines)), loaded_(true), active_(true) {}

    // Whether tracked menus are answered here rather than shown.
    bool Active();
    // The next answer for `menu` tracked through `menus`: the id of the enabled command item whose
    // caption the line names, looked for in the menu and then in its submenus (each submenu on the
    // way to it is told as opening, as a user opening it would); 0 for "none", for no line left,
    // for a caption no command has, and for a disabled item (clicking it chooses nothing).
    uint32_t Next(MenuSystem& menus, MenuHandle menu);

private:
    std::vector<std::string> lines_;
    size_t used_ = 0;
    bool loaded_ = false;
    bool active_ = false;
};

}  // namespace velmo::platform
