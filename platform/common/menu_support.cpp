#include "platform/common/menu_support.h"

#include <algorithm>

#include "platform/environment.h"
#include "platform/files.h"

namespace velmo::platform {

namespace {

// Submenus deeper than this are not searched: a menu that holds itself (the system refuses one,
// but a damaged handle table could) must not recurse for ever.
constexpr int kMaxAnswerDepth = 32;

std::vector<std::string> SplitLines(const std::vector<uint8_t>& bytes) {
    std::vector<std::string> lines;
    std::string line;
    for (const uint8_t byte : bytes) {
        if (byte == '\n') {
            lines.push_back(line);
            line.clear();
        } else if (byte != '\r') {
            line.push_back(static_cast<char>(byte));
        }
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

// The submenus from `menu` down to the command item captioned `caption`, and its position in the
// last of them; false when no command has that caption.
bool FindPath(MenuSystem& menus, MenuHandle menu, const std::string& caption, int depth, std::vector<MenuHandle>& path,
              int& position) {
    if (depth > kMaxAnswerDepth) return false;
    path.push_back(menu);
    const int count = menus.ItemCount(menu);
    for (int i = 0; i < count; ++i) {
        const std::optional<MenuItemInfo> item = menus.Item(menu, i);
        if (item && item->kind == MenuItemKind::Command &&
            (item->text == caption || VisibleCaption(item->text) == caption)) {
            position = i;
            return true;
        }
    }
    for (int i = 0; i < count; ++i) {
        const std::optional<MenuItemInfo> item = menus.Item(menu, i);
        if (item && item->kind == MenuItemKind::Submenu &&
            FindPath(menus, item->submenu, caption, depth + 1, path, position))
            return true;
    }
    path.pop_back();
    return false;
}

}  // namespace

int OpeningListeners::Add(MenuSystem::OpeningListener listener) {
    listeners_.emplace_back(next_, std::move(listener));
    return next_++;
}

void OpeningListeners::Remove(int token) {
    std::erase_if(listeners_, [token](const auto& entry) { return entry.first == token; });
}

void OpeningListeners::Notify(MenuHandle menu) const {
    if (listeners_.empty() || !listeners_.back().second) return;
    // A copy: the listener runs scripts, which may add or remove listeners meanwhile.
    const MenuSystem::OpeningListener listener = listeners_.back().second;
    listener(menu);
}

std::string VisibleCaption(const std::string& text) {
    const std::string shown = text.substr(0, text.find('\t'));
    std::string caption;
    for (size_t i = 0; i < shown.size(); ++i) {
        if (shown[i] == '&' && i + 1 < shown.size()) ++i;
        else if (shown[i] == '&') continue;
        caption.push_back(shown[i]);
    }
    return caption;
}

bool MenuAnswers::Active() {
    if (!loaded_) {
        loaded_ = true;
        const std::optional<std::string> file = GetEnvironment("VELMO_MENU_ANSWERS");
        if (file && !file->empty()) {
            active_ = true;
            std::vector<uint8_t> bytes;
            if (ReadWholeFile(*file, bytes)) lines_ = SplitLines(bytes);
        }
    }
    return active_;
}

uint32_t MenuAnswers::Next(MenuSystem& menus, MenuHandle menu) {
    if (!Active() || used_ >= lines_.size()) return 0;
    const std::string caption = lines_[used_++];
    if (caption == "none" || caption.empty()) return 0;
    std::vector<MenuHandle> path;
    int position = -1;
    if (!FindPath(menus, menu, caption, 0, path, position)) return 0;
    // The tracked menu itself was told already; the submenus open as the user reaches them, and
    // their listener may change the item's state before it is clicked.
    for (size_t i = 1; i < path.size(); ++i) menus.NotifyOpening(path[i]);
    const std::optional<MenuItemInfo> item = menus.Item(path.back(), position);
    if (!item || item->kind != MenuItemKind::Command || !item->enabled) return 0;
    return item->id;
}

}  // namespace velmo::platform
