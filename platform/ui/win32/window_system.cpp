// Windows by handle through Win32. Subclassing keeps a record in a property of the window: the
// shared procedure finds it there, lets the hook see the message and hands it to the procedure it
// replaced. Nothing may unwind through the system's frames, a hook may destroy the window or
// un-subclass it while it runs, and someone may subclass the window after us: the record then
// stays in their chain, passing everything on, until the window is destroyed.
#include <windows.h>

#include <cstddef>
#include <memory>

#include "platform/window_system.h"

namespace velmo::platform {

namespace {

static_assert(sizeof(WindowEdges) == sizeof(RECT) && offsetof(WindowEdges, bottom) == offsetof(RECT, bottom));

constexpr const char* kSubclassProperty = "VelmoWindowSubclass";

HWND Hwnd(WindowHandle window) { return reinterpret_cast<HWND>(window); }
WindowHandle HandleOf(HWND window) { return reinterpret_cast<WindowHandle>(window); }
Rect FromRect(const RECT& r) { return {r.left, r.top, r.right - r.left, r.bottom - r.top}; }

struct Subclassing {
    WNDPROC previous = nullptr;
    MessageHook hook;   // none once un-subclassed while another procedure sits in front of ours
    int running = 0;    // hooks of this window running now (a hook may send it messages)
    bool gone = false;  // freed when the last running hook returns
};

Subclassing* RecordOf(HWND window) { return static_cast<Subclassing*>(::GetPropA(window, kSubclassProperty)); }

LRESULT CALLBACK SharedProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Takes our procedure out of the chain if it is still in front (at the window's end it may not be);
// the record goes with it unless a hook of it is still running.
void Detach(HWND window, Subclassing* record) {
    if (::GetWindowLongPtrA(window, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&SharedProcedure))
        ::SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(record->previous));
    ::RemovePropA(window, kSubclassProperty);
    record->hook = nullptr;
    record->gone = true;
    if (record->running == 0) delete record;
}

LRESULT CALLBACK SharedProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Subclassing* record = RecordOf(window);
    if (!record) return ::DefWindowProcA(window, message, wParam, lParam);
    const WNDPROC previous = record->previous;
    std::optional<intptr_t> answer;
    if (record->hook) {
        const MessageHook hook = record->hook;  // the hook may drop itself while it runs
        ++record->running;
        try {
            answer = hook({HandleOf(window), message, wParam, lParam});
        } catch (...) {
            answer.reset();  // a failed hook passes the message on
        }
        if (--record->running == 0 && record->gone) {
            delete record;
            record = nullptr;
        }
    }
    if (message == WM_NCDESTROY) {
        if (record && !record->gone) Detach(window, record);
        return ::CallWindowProcA(previous, window, message, wParam, lParam);
    }
    if (answer) return *answer;
    if (!::IsWindow(window)) return 0;  // the hook destroyed it
    return ::CallWindowProcA(previous, window, message, wParam, lParam);
}

BOOL CALLBACK CollectWindow(HWND window, LPARAM list) {
    reinterpret_cast<std::vector<WindowHandle>*>(list)->push_back(HandleOf(window));
    return TRUE;
}

class Win32WindowSystem final : public WindowSystem {
public:
    bool IsWindow(WindowHandle window) const override { return window && ::IsWindow(Hwnd(window)); }
    std::string Title(WindowHandle window) const override {
        const int length = ::GetWindowTextLengthA(Hwnd(window));
        if (length <= 0) return {};
        std::string text(static_cast<size_t>(length) + 1, '\0');
        text.resize(static_cast<size_t>(::GetWindowTextA(Hwnd(window), text.data(), length + 1)));
        return text;
    }
    void SetTitle(WindowHandle window, const std::string& title) override {
        ::SetWindowTextA(Hwnd(window), title.c_str());
    }
    std::string ClassName(WindowHandle window) const override {
        char name[257] = {};
        const int length = ::GetClassNameA(Hwnd(window), name, sizeof name);
        return std::string(name, static_cast<size_t>(length > 0 ? length : 0));
    }
    Rect ScreenRect(WindowHandle window) const override {
        RECT r{};
        ::GetWindowRect(Hwnd(window), &r);
        return FromRect(r);
    }
    Rect PlacedRect(WindowHandle window) const override {
        RECT r{};
        ::GetWindowRect(Hwnd(window), &r);
        const HWND parent = ::GetParent(Hwnd(window));
        if ((::GetWindowLongA(Hwnd(window), GWL_STYLE) & WS_CHILD) && parent)
            ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
        return FromRect(r);
    }
    Size ClientSize(WindowHandle window) const override {
        RECT r{};
        ::GetClientRect(Hwnd(window), &r);
        return {r.right, r.bottom};
    }
    void Move(WindowHandle window, const Rect& placed, bool repaint) override {
        ::MoveWindow(Hwnd(window), placed.left, placed.top, placed.width, placed.height, repaint);
    }
    void SetPosition(WindowHandle window, const Rect& placed, uint32_t flags) override {
        ::SetWindowPos(Hwnd(window), nullptr, placed.left, placed.top, placed.width, placed.height, flags);
    }
    Rect WorkArea() const override {
        RECT r{};
        if (!::SystemParametersInfoA(SPI_GETWORKAREA, 0, &r, 0))
            return {0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
        return FromRect(r);
    }
    WindowHandle Parent(WindowHandle window) const override { return HandleOf(::GetParent(Hwnd(window))); }
    void SetParent(WindowHandle window, WindowHandle parent) override { ::SetParent(Hwnd(window), Hwnd(parent)); }
    bool IsVisible(WindowHandle window) const override { return ::IsWindowVisible(Hwnd(window)); }
    bool IsMinimized(WindowHandle window) const override { return ::IsIconic(Hwnd(window)); }
    bool IsMaximized(WindowHandle window) const override { return ::IsZoomed(Hwnd(window)); }
    void Show(WindowHandle window, int command) override { ::ShowWindow(Hwnd(window), command); }
    bool IsEnabled(WindowHandle window) const override { return ::IsWindowEnabled(Hwnd(window)); }
    void Enable(WindowHandle window, bool enable) override { ::EnableWindow(Hwnd(window), enable); }
    uint32_t Style(WindowHandle window) const override {
        return static_cast<uint32_t>(::GetWindowLongA(Hwnd(window), GWL_STYLE));
    }
    uint32_t ExtendedStyle(WindowHandle window) const override {
        return static_cast<uint32_t>(::GetWindowLongA(Hwnd(window), GWL_EXSTYLE));
    }
    void SetStyle(WindowHandle window, uint32_t style) override {
        ::SetWindowLongA(Hwnd(window), GWL_STYLE, static_cast<LONG>(style));
    }
    void SetExtendedStyle(WindowHandle window, uint32_t style) override {
        ::SetWindowLongA(Hwnd(window), GWL_EXSTYLE, static_cast<LONG>(style));
    }
    void BringToTop(WindowHandle window) override { ::SetForegroundWindow(Hwnd(window)); }
    bool Update(WindowHandle window) override {
        return ::RedrawWindow(Hwnd(window), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    }
    // Looked up when used: systems without the animation call simply answer false.
    bool Animate(WindowHandle window, uint32_t durationMs, uint32_t flags) override {
        using AnimateCall = BOOL(WINAPI*)(HWND, DWORD, DWORD);
        const HMODULE user = ::GetModuleHandleA("user32.dll");
        const auto animate =
            user ? reinterpret_cast<AnimateCall>(reinterpret_cast<void*>(::GetProcAddress(user, "AnimateWindow")))
                 : nullptr;
        return animate && animate(Hwnd(window), durationMs, flags);
    }
    void Pause(uint32_t ms) override { ::Sleep(ms); }
    WindowHandle CreateChild(const std::string& className, uint32_t style, const Rect& placed,
                             WindowHandle parent) override {
        return HandleOf(::CreateWindowExA(0, className.c_str(), "", style, placed.left, placed.top, placed.width,
                                          placed.height, Hwnd(parent), nullptr, ::GetModuleHandleA(nullptr), nullptr));
    }
    void Destroy(WindowHandle window) override { ::DestroyWindow(Hwnd(window)); }
    std::vector<WindowHandle> TopLevelWindows() const override {
        std::vector<WindowHandle> all;
        ::EnumWindows(&CollectWindow, reinterpret_cast<LPARAM>(&all));
        return all;
    }
    std::vector<WindowHandle> Descendants(WindowHandle window) const override {
        std::vector<WindowHandle> all;
        if (window) ::EnumChildWindows(Hwnd(window), &CollectWindow, reinterpret_cast<LPARAM>(&all));
        return all;
    }
    WindowHandle Find(const std::optional<std::string>& className,
                      const std::optional<std::string>& title) const override {
        return HandleOf(::FindWindowA(className ? className->c_str() : nullptr, title ? title->c_str() : nullptr));
    }
    intptr_t Send(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) override {
        return ::SendMessageA(Hwnd(window), message, wParam, lParam);
    }
    bool SendNotify(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) override {
        return ::SendNotifyMessageA(Hwnd(window), message, wParam, lParam);
    }
    bool Post(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) override {
        return ::PostMessageA(Hwnd(window), message, wParam, lParam);
    }
    std::optional<Rect> CursorSpot() const override {
        POINT p{};
        if (!::GetCursorPos(&p)) return std::nullopt;
        return Rect{p.x, p.y, 1, 1};
    }
    WindowHandle Capture() const override { return HandleOf(::GetCapture()); }
    void SetCapture(WindowHandle window) override { ::SetCapture(Hwnd(window)); }
    void ReleaseCapture() override { ::ReleaseCapture(); }
    bool StartTimer(WindowHandle window, uintptr_t id, uint32_t periodMs) override {
        return ::SetTimer(Hwnd(window), id, periodMs, nullptr) != 0;
    }
    void StopTimer(WindowHandle window, uintptr_t id) override { ::KillTimer(Hwnd(window), id); }

    bool Subclass(WindowHandle window, MessageHook hook) override {
        const HWND hwnd = Hwnd(window);
        if (!IsWindow(window) || !hook || RecordOf(hwnd)) return false;
        auto record = std::make_unique<Subclassing>();
        record->hook = std::move(hook);
        if (!::SetPropA(hwnd, kSubclassProperty, record.get())) return false;
        record->previous = reinterpret_cast<WNDPROC>(
            ::SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SharedProcedure)));
        if (!record->previous) {
            ::RemovePropA(hwnd, kSubclassProperty);
            return false;
        }
        record.release();
        return true;
    }
    void Unsubclass(WindowHandle window) override {
        const HWND hwnd = Hwnd(window);
        Subclassing* record = IsWindow(window) ? RecordOf(hwnd) : nullptr;
        if (!record || !record->hook) return;
        if (::GetWindowLongPtrA(hwnd, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&SharedProcedure))
            Detach(hwnd, record);
        else record->hook = nullptr;  // stays in the later procedure's chain, passing everything on
    }
    bool IsSubclassed(WindowHandle window) const override {
        const Subclassing* record = IsWindow(window) ? RecordOf(Hwnd(window)) : nullptr;
        return record && record->hook;
    }
    void SetSink(Sink) override {}
};

WindowSystem* chosenWindows = nullptr;  // not owned

}  // namespace

WindowSystem& Windows() {
    static Win32WindowSystem system;
    return chosenWindows ? *chosenWindows : system;
}
void UseWindowSystem(WindowSystem* windows) { chosenWindows = windows; }

}  // namespace velmo::platform
