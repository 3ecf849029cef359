#pragma once
// The main window's decisions as pure functions of the settings and of what the window reports
// (screen size, current rectangles): its styles, where it goes and how it is shown, the size that
// keeps the movie's ratio after a resize, what the window shape asks for, which items the system
// and tray menus get, and what happens to a key. Each platform's window applies the answers; none
// of them touches a window, so they are tested here once for both.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/window.h"
#include "shell/settings_record.h"

namespace velmo::shell {

// Window style bits of the system, by value: the rules below speak in them on every target.
namespace style {
inline constexpr uint32_t kPopup = 0x80000000;
inline constexpr uint32_t kCaption = 0x00C00000;
inline constexpr uint32_t kSystemMenu = 0x00080000;
inline constexpr uint32_t kThickFrame = 0x00040000;
inline constexpr uint32_t kMinimizeBox = 0x00020000;
inline constexpr uint32_t kMaximizeBox = 0x00010000;
inline constexpr uint32_t kExAppWindow = 0x00040000;
inline constexpr uint32_t kExContextHelp = 0x00000400;
inline constexpr uint32_t kExToolWindow = 0x00000080;
inline constexpr uint32_t kExTransparent = 0x00000020;
inline constexpr uint32_t kExClientEdge = 0x00000200;
}  // namespace style

struct WindowStyles {
    uint32_t remove = 0, add = 0, removeExtended = 0, addExtended = 0;
    bool operator==(const WindowStyles&) const = default;
};
WindowStyles ComputeWindowStyles(const Appearance& appearance);

using platform::Rect;
using platform::Size;

enum class ShowMode { Show, ShowMaximized };
// Where the window goes and how it is shown. Without `rect` it stays where it is and is only shown;
// `repaint` is false only for the maximized mode, whose move the maximizing repaints anyway.
struct Placement {
    std::optional<Rect> rect;
    bool repaint = true;
    ShowMode show = ShowMode::Show;
    bool operator==(const Placement&) const = default;
};
// `window` and `client` are the window's current rectangle and client size; `movie` the movie's
// frame size when its header could be read (modes 0 and 2 fit the client area to it).
Placement ComputePlacement(const SizeAndPosition& size, Size screen, Rect window, Size client,
                           std::optional<Size> movie);

// The window size after a resize that must keep the client area's `ratio` (width / height, taken
// after start-up): the side the user changed wins. `before` is the window size when the resize
// began; a ratio that is 0 or not a number keeps `after` as it is.
Size KeepRatio(double ratio, Size before, Size after, Size client);

// What the window shape asks of the window: a region from the clip image's mask file, and the
// control's transparent mode.
struct ShapeRequest {
    bool clipRegion = false;
    bool transparentControl = false;
};
ShapeRequest ComputeShape(const Appearance& appearance);

enum class MenuItem { Separator, FlashPlayerMenu, Configure, Help, About, ShowHide, Close };
// The items appended to the system menu (which is also the right-click menu), after the items it
// had when the window was made; empty when the additions say none.
std::vector<MenuItem> SystemMenuAdditions(uint32_t menuAdditions);
// The tray icon's menu, from its show-or-hide item to "&Close".
std::vector<MenuItem> TrayMenuItems(uint32_t menuAdditions);
using platform::WindowState;
// The text of the tray menu's first item: "Show ", "Hide " or "Restore " and the caption.
std::string TrayShowItemText(WindowState state, const std::string& caption);

using platform::KeyDecision;
using platform::KeyEvent;
using platform::kModifierAlt;
using platform::kModifierControl;
using platform::kModifierShift;
inline constexpr uint32_t kKeyEscape = 0x1B;
inline constexpr uint32_t kKeyApps = 0x5D;
// `modifiersDown` holds the kModifier bits of the keys down when the message arrived.
KeyDecision FilterKey(const Interaction& interaction, KeyEvent event, uint32_t key, uint32_t modifiersDown);

}  // namespace velmo::shell
