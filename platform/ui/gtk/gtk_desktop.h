#pragma once
// The GTK desktop: the display's screen, the GLib main loop that delivers the windows' and the web
// view's events, and beside it what the headless desktop's loop runs (posted events, the model
// window system's posted messages, the timers behind the scripts' intervals), so scripts behave
// alike on both.

#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "platform/common/model_window_system.h"
#include "platform/window.h"

namespace velmo::platform::gtk {

class GtkFrameWindow;

class GtkDesktop final : public Desktop {
public:
    GtkDesktop();
    Size ScreenSize() const override;
    std::unique_ptr<FrameWindow> CreateFrameWindow(const std::string& iconSource, FrameWindowEvents& events) override;
    bool ProcessEvents(bool wait) override;
    void SetPointerShown(bool shown) override;
    bool PointerShown() const override { return pointerShown_; }
    void Post(std::function<void()> event) override;
    intptr_t SendWindowMessage(uintptr_t window, uint32_t message, uintptr_t wParam, intptr_t lParam) override {
        return windows_.Send(window, message, wParam, lParam);
    }
    Rect WorkArea() const override;
    Point PointerPosition() const override;

    void Forget(GtkFrameWindow* frame);

private:
    ModelWindowSystem& windows_;
    std::deque<std::function<void()>> posted_;
    std::vector<GtkFrameWindow*> frames_;  // not owned
    bool pointerShown_ = true;
};

}  // namespace velmo::platform::gtk
