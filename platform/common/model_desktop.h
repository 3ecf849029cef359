#pragma once
// A desktop kept in memory: windows with rectangles, styles, regions, menus and a tray icon, on a
// screen of fixed size, with no user. The headless user interface is this desktop; tests on every
// target drive the main frame over it and play the user through Post and the choices of menus.
//
// Its frame metrics are fixed so that geometry is predictable: a resizable frame has a 4-pixel
// border, a caption-only frame a 3-pixel one, a caption is 19 pixels high (15 for a small
// caption), a popup has neither. A new window sits at 0, 0 and is 640 x 480. A task bar 40 pixels
// high runs along the bottom of the screen, outside the work area; the pointer rests at the
// screen's top left corner until a test moves it.

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/common/model_window_system.h"
#include "platform/window.h"

namespace velmo::platform {

class ModelDesktop final : public Desktop {
public:
    // The screen is `screen`, or, when it has no area, what VELMO_SCREEN says ("1280x1024"), or
    // 1024 x 768.
    explicit ModelDesktop(Size screen = {}, ModelWindowSystem* windows = nullptr);

    Size ScreenSize() const override { return screen_; }
    std::unique_ptr<FrameWindow> CreateFrameWindow(const std::string& iconSource, FrameWindowEvents& events) override;
    bool ProcessEvents(bool wait) override;
    void Post(std::function<void()> event) override { posted_.push_back(std::move(event)); }
    void SetPointerShown(bool shown) override { pointerShown_ = shown; }
    bool PointerShown() const override { return pointerShown_; }
    intptr_t SendWindowMessage(uintptr_t window, uint32_t message, uintptr_t wParam, intptr_t lParam) override {
        return windows_->Send(window, message, wParam, lParam);
    }
    ModelWindowSystem& Windows() const { return *windows_; }
    Rect WorkArea() const override;
    Point PointerPosition() const override { return pointer_; }

    // The user moves the pointer.
    void SetPointer(Point at) { pointer_ = at; }

    // The command the next menus tracked answer with, in order; a menu with none left answers 0.
    void ChooseFromMenus(std::vector<uint32_t> commands) { choices_.assign(commands.begin(), commands.end()); }
    // Each menu tracked, its entries as they were shown.
    const std::vector<std::vector<MenuEntry>>& TrackedMenus() const { return tracked_; }

    // What a frame window of this desktop reports, for a test to play the user.
    FrameWindowEvents* Events() const { return events_; }

private:
    friend class ModelFrameWindow;
    Size screen_;
    ModelWindowSystem* windows_;  // not owned
    std::deque<std::function<void()>> posted_;
    std::deque<uint32_t> choices_;
    std::vector<std::vector<MenuEntry>> tracked_;
    FrameWindowEvents* events_ = nullptr;
    bool pointerShown_ = true;
    Point pointer_;
};

}  // namespace velmo::platform
