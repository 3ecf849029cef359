// The Win32 desktop: real frame windows, and the message loop that waits for the user. The loop
// returns after any message that delivered a movie event, so each event is followed by the idle
// work it caused, as on the headless desktop.
#include <windows.h>

#include <deque>

#include "platform/ui/win32/activex_events.h"
#include "platform/ui/win32/frame_window.h"
#include "platform/ui/win32/menu_system.h"
#include "platform/ui/win32/player_control.h"

namespace velmo::platform {

namespace {

// How long one wait for a message lasts at most, so that the caller sees its own flags (a stop
// request from the console arrives on another thread) without a message to wake it.
constexpr DWORD kWaitMilliseconds = 100;

class Win32Desktop final : public Desktop {
public:
    Size ScreenSize() const override {
        win32::WindowDc screen(nullptr);
        return {::GetDeviceCaps(screen.Get(), HORZRES), ::GetDeviceCaps(screen.Get(), VERTRES)};
    }

    std::unique_ptr<FrameWindow> CreateFrameWindow(const std::string& iconSource, FrameWindowEvents& events) override {
        return win32::FrameWindowImpl::Create(iconSource, events);
    }

    bool ProcessEvents(bool wait) override {
        MSG message;
        if (wait && posted_.empty() && !::PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE))
            ::MsgWaitForMultipleObjects(0, nullptr, FALSE, kWaitMilliseconds, QS_ALLINPUT);
        RunPosted();
        const uint64_t eventsBefore = win32::MovieEventsDelivered();
        while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                quit_ = true;
                break;
            }
            // A key of an installed accelerator table becomes its command instead.
            if (win32::TranslateMenuAccelerators(message)) continue;
            ::TranslateMessage(&message);
            ::DispatchMessageA(&message);
            win32::FreeRetiredControlFiles();
            // A message that made the movie raise an event ends the pass: the caller's idle work
            // (the scripts that event queued) runs before the next message can raise another.
            if (win32::MovieEventsDelivered() != eventsBefore) break;
        }
        return !quit_;
    }

    void Post(std::function<void()> event) override {
        posted_.push_back(std::move(event));
        ::PostThreadMessageA(::GetCurrentThreadId(), WM_NULL, 0, 0);
    }

    void SetPointerShown(bool shown) override {
        // The system counts shows and hides; the pointer shows while the count is not negative.
        // Bounded: a count another part of the process holds far off is not chased for ever.
        for (int i = 0; i < 64; ++i) {
            const int count = ::ShowCursor(shown ? TRUE : FALSE);
            if ((count >= 0) == shown) break;
        }
    }
    bool PointerShown() const override {
        CURSORINFO info{};
        info.cbSize = sizeof info;
        return !::GetCursorInfo(&info) || (info.flags & CURSOR_SHOWING) != 0;
    }

    intptr_t SendWindowMessage(uintptr_t window, uint32_t message, uintptr_t wParam, intptr_t lParam) override {
        const HWND target = reinterpret_cast<HWND>(window);
        if (!::IsWindow(target)) return 0;
        // The result is the 32-bit value scripts have always seen, sign-extended.
        return static_cast<int32_t>(::SendMessageA(target, message, wParam, lParam));
    }

    Rect WorkArea() const override {
        RECT area{};
        if (!::SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0)) {
            const Size screen = ScreenSize();  // no work area known: all of the screen
            return {0, 0, screen.width, screen.height};
        }
        return {area.left, area.top, area.right - area.left, area.bottom - area.top};
    }
    Point PointerPosition() const override {
        POINT at{};
        if (!::GetCursorPos(&at)) return {};
        return {at.x, at.y};
    }

private:
    void RunPosted() {
        std::deque<std::function<void()>> now;
        now.swap(posted_);
        for (std::function<void()>& event : now) event();
    }

    std::deque<std::function<void()>> posted_;
    bool quit_ = false;
};

}  // namespace

std::unique_ptr<Desktop> MakeDesktop() { return std::make_unique<Win32Desktop>(); }

}  // namespace velmo::platform
