#include "shell/frame_rules.h"

#include <cmath>

namespace velmo::shell {

WindowStyles ComputeWindowStyles(const Appearance& appearance) {
    WindowStyles s;
    s.remove = style::kPopup | style::kCaption | style::kSystemMenu | style::kThickFrame | style::kMinimizeBox |
               style::kMaximizeBox;
    s.removeExtended = style::kExAppWindow | style::kExContextHelp | style::kExToolWindow | style::kExTransparent;
    const uint32_t border = appearance.borderStyle;
    uint32_t icons = appearance.borderIcons;
    // The first border bit that is set decides the frame; a borderless window can show neither the
    // maximize box nor the help button.
    if (border & kBorderNone) {
        s.add |= style::kPopup;
        icons &= ~(kIconMaximize | kIconHelp);
        s.removeExtended |= style::kExClientEdge;
    } else if (border & kBorderSingle) {
        s.add |= style::kCaption;
    } else if (border & kBorderResizable) {
        s.add |= style::kCaption | style::kThickFrame;
    }
    if ((border & kBorderSmallCaption) && !(s.add & style::kPopup)) s.addExtended |= style::kExToolWindow;
    if (icons & kIconMaximize) s.add |= style::kMaximizeBox;
    if (icons & kIconMinimize) s.add |= style::kMinimizeBox;
    if (icons & kIconSystemMenu) s.add |= style::kSystemMenu;
    if (icons & kIconHelp) s.addExtended |= style::kExContextHelp;
    if (!(border & kBorderHideTaskButton)) s.addExtended |= style::kExAppWindow;
    return s;
}

namespace {

// The window size a size mode asks for; full screen has none of its own.
Size RequestedSize(const SizeAndPosition& size, Size screen, Rect window, Size client, std::optional<Size> movie) {
    switch (size.sizeMode) {
        case kSizeMovie:
        case kSizeMaximized:
            // The client area gets exactly the movie's size; without one the window keeps its own.
            if (movie && movie->width > 0 && movie->height > 0)
                return {window.width - client.width + movie->width, window.height - client.height + movie->height};
            return {window.width, window.height};
        case kSizeCustom: return {size.width, size.height};
        case kSizePercent:  // one percentage, kept in the height field, for both sides
            return {size.height * screen.width / 100, size.height * screen.height / 100};
        default: return {0, 0};
    }
}

// The top left corner a position asks for (integer divisions, as the system's would be); none for
// a value that keeps the current rectangle.
std::optional<Rect> PositionedRect(const SizeAndPosition& size, Size screen, Size w) {
    const int right = screen.width - w.width, bottom = screen.height - w.height;
    const int across[] = {0, right / 2, right};
    const int down[] = {0, bottom / 2, bottom};
    if (size.position <= kPositionBottomRight)
        return Rect{across[size.position % 3], down[size.position / 3], w.width, w.height};
    if (size.position == kPositionCustom) return Rect{size.x, size.y, w.width, w.height};
    if (size.position == kPositionPercent)
        return Rect{size.x * screen.width / 100, size.y * screen.height / 100, w.width, w.height};
    return std::nullopt;
}

}  // namespace

Placement ComputePlacement(const SizeAndPosition& size, Size screen, Rect window, Size client,
                           std::optional<Size> movie) {
    Placement p;
    switch (size.sizeMode) {
        case kSizeMovie:
        case kSizeCustom:
        case kSizePercent:
        case kSizeMaximized: {
            const Size wanted = RequestedSize(size, screen, window, client, movie);
            p.rect = PositionedRect(size, screen, wanted).value_or(window);
            if (size.sizeMode == kSizeMaximized) {
                p.repaint = false;
                p.show = ShowMode::ShowMaximized;
            }
            return p;
        }
        case kSizeFullScreen: p.rect = Rect{0, 0, screen.width, screen.height}; return p;
        default: return p;  // an unknown mode only shows the window
    }
}

Size KeepRatio(double ratio, Size before, Size after, Size client) {
    if (!(ratio > 0 || ratio < 0)) return after;  // 0 or not a number: nothing to keep
    const int frameWidth = after.width - client.width, frameHeight = after.height - client.height;
    if (after.width != before.width)
        return {after.width, static_cast<int>(std::lround(client.width / ratio)) + frameHeight};
    return {static_cast<int>(std::lround(client.height * ratio)) + frameWidth, after.height};
}

ShapeRequest ComputeShape(const Appearance& appearance) {
    return {appearance.windowShape == kShapeClip,
            appearance.windowShape == kShapeTransparent || appearance.windowShape == 3};
}

namespace {

// Flash Player menu, "Config...", "Help" in that order, as far as the additions ask for them.
void AppendCommandItems(uint32_t additions, std::vector<MenuItem>& items) {
    if (additions & kMenuFlashPlayer) items.push_back(MenuItem::FlashPlayerMenu);
    if (additions & kMenuConfigure) items.push_back(MenuItem::Configure);
    if (additions & kMenuHelp) items.push_back(MenuItem::Help);
}

}  // namespace

std::vector<MenuItem> SystemMenuAdditions(uint32_t menuAdditions) {
    std::vector<MenuItem> items;
    if (menuAdditions == 0 || (menuAdditions & kMenuNone)) return items;
    items.push_back(MenuItem::Separator);
    AppendCommandItems(menuAdditions, items);
    if (menuAdditions & kMenuAbout) {
        if (items.size() > 1) items.push_back(MenuItem::Separator);
        items.push_back(MenuItem::About);
    }
    return items;
}

std::vector<MenuItem> TrayMenuItems(uint32_t menuAdditions) {
    std::vector<MenuItem> items = {MenuItem::ShowHide, MenuItem::Separator};
    AppendCommandItems(menuAdditions, items);
    if (menuAdditions & kMenuAbout) {
        items.push_back(MenuItem::Separator);
        items.push_back(MenuItem::About);
    }
    if (items.size() > 2) items.push_back(MenuItem::Separator);
    items.push_back(MenuItem::Close);
    return items;
}

std::string TrayShowItemText(WindowState state, const std::string& caption) {
    switch (state) {
        case WindowState::Hidden: return "Show " + caption;
        case WindowState::Visible:
        case WindowState::Maximized: return "Hide " + caption;
        case WindowState::Minimized: return "Restore " + caption;
    }
    return caption;
}

KeyDecision FilterKey(const Interaction& interaction, KeyEvent event, uint32_t key, uint32_t modifiersDown) {
    KeyDecision d;
    if (event == KeyEvent::Up || event == KeyEvent::SystemUp) {
        if ((interaction.exitKeys & kExitOnEsc) && key == kKeyEscape) d.close = true;
        // Only the modifiers the hot key names are required; others may be down as well.
        const uint32_t required = interaction.hotKeyModifiers & (kModifierShift | kModifierControl | kModifierAlt);
        if ((interaction.exitKeys & kExitOnHotKey) && key == interaction.hotKeyCode &&
            (modifiersDown & required) == required)
            d.close = true;
    }
    d.pass = !(interaction.keyPress & kKeysIgnore);
    if (event == KeyEvent::Down && key == kKeyApps) {
        d.pass = false;
        d.contextMenu = true;
    }
    return d;
}

}  // namespace velmo::shell
