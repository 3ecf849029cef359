#include "platform/ui/win32/frame_window.h"

#include <shellapi.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "platform/environment.h"
#include "platform/menu_system.h"
#include "platform/path.h"
#include "platform/ui/win32/picture_bitmap.h"
#include "platform/ui/win32/property_sheet.h"

namespace velmo::platform::win32 {

namespace {

constexpr const char* kOwnerClass = "VelmoOwner";
constexpr const char* kFrameClass = "VelmoFrame";
constexpr const char* kAreaClass = "VelmoMovieArea";
// Finds the frame from the control's window, whose user data belongs to the control.
constexpr const char* kMovieFrameProperty = "VelmoMovieFrame";
constexpr size_t kTipLimit = 127;

HINSTANCE Instance() { return ::GetModuleHandleA(nullptr); }

// "resource N" names an icon of the application's image; anything else is an icon file. The
// system's application icon stands in when neither gives one.
HICON LoadFrameIcon(const std::string& source, int size, IconHandle& owned) {
    int id = 0;
    if (std::sscanf(source.c_str(), "resource %d", &id) == 1) {
        if (HICON icon =
                static_cast<HICON>(::LoadImageA(Instance(), MAKEINTRESOURCEA(id), IMAGE_ICON, size, size, LR_SHARED)))
            return icon;
    } else if (!source.empty()) {
        owned.Reset(static_cast<HICON>(::LoadImageA(nullptr, source.c_str(), IMAGE_ICON, size, size, LR_LOADFROMFILE)));
        if (owned) return owned.Get();
    }
    return ::LoadIconA(nullptr, IDI_APPLICATION);
}

uint32_t ModifiersDown() {
    uint32_t down = 0;
    if (::GetKeyState(VK_SHIFT) & 0x8000) down |= kModifierShift;
    if (::GetKeyState(VK_CONTROL) & 0x8000) down |= kModifierControl;
    if (::GetKeyState(VK_MENU) & 0x8000) down |= kModifierAlt;
    return down;
}

bool KeyEventOf(UINT message, KeyEvent& event) {
    switch (message) {
        case WM_KEYDOWN: event = KeyEvent::Down; return true;
        case WM_KEYUP: event = KeyEvent::Up; return true;
        case WM_CHAR: event = KeyEvent::Char; return true;
        case WM_SYSKEYDOWN: event = KeyEvent::SystemDown; return true;
        case WM_SYSKEYUP: event = KeyEvent::SystemUp; return true;
        case WM_SYSCHAR: event = KeyEvent::SystemChar; return true;
        default: return false;
    }
}

bool MouseEventOf(UINT message, MouseEvent& event) {
    switch (message) {
        case WM_LBUTTONDOWN: event = MouseEvent::LeftDown; return true;
        case WM_LBUTTONUP: event = MouseEvent::LeftUp; return true;
        case WM_LBUTTONDBLCLK: event = MouseEvent::LeftDoubleClick; return true;
        case WM_MOUSEMOVE: event = MouseEvent::Move; return true;
        case WM_RBUTTONDOWN: event = MouseEvent::RightDown; return true;
        case WM_RBUTTONUP: event = MouseEvent::RightUp; return true;
        case WM_RBUTTONDBLCLK: event = MouseEvent::RightDoubleClick; return true;
        default: return false;
    }
}

// The player's own commands: the context menu hands them to the control, not to the frame.
bool IsPlayerCommand(UINT id) {
    return id == 0x4E39 || id == 0x4E3E || (id >= 0x4E42 && id <= 0x4E45) || (id >= 0x4E47 && id <= 0x4E4C) ||
           id == 0x4E4E;
}

// Appends `entries` to `menu`, sub-menus built recursively (the menu owns them once appended).
void AppendEntries(HMENU menu, const std::vector<MenuEntry>& entries) {
    for (const MenuEntry& e : entries) {
        if (e.IsSeparator()) {
            ::AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
        } else if (!e.items.empty()) {
            MenuHandle sub(::CreatePopupMenu());
            if (!sub) continue;
            AppendEntries(sub.Get(), e.items);
            if (::AppendMenuA(menu, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(sub.Get()), e.text.c_str()))
                (void)sub.Release();
        } else {
            ::AppendMenuA(menu, MF_STRING, e.id, e.text.c_str());
            if (e.isDefault) ::SetMenuDefaultItem(menu, e.id, FALSE);
        }
    }
}

NOTIFYICONDATAA TrayData(HWND window) {
    NOTIFYICONDATAA data;
    std::memset(&data, 0, sizeof data);
    // The version-2 size: every system since the tray's balloons accepts it, and so does wine.
    data.cbSize = NOTIFYICONDATAA_V2_SIZE;
    data.hWnd = window;
    data.uID = kTrayIconId;
    return data;
}

}  // namespace

bool FrameWindowImpl::RegisterClasses() {
    static const bool registered = [] {
        WNDCLASSEXA owner{};
        owner.cbSize = sizeof owner;
        owner.lpfnWndProc = ::DefWindowProcA;
        owner.hInstance = Instance();
        owner.lpszClassName = kOwnerClass;
        WNDCLASSEXA frame{};
        frame.cbSize = sizeof frame;
        frame.style = CS_DBLCLKS;
        frame.lpfnWndProc = &FrameWindowImpl::FrameProc;
        frame.hInstance = Instance();
        frame.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
        frame.lpszClassName = kFrameClass;
        WNDCLASSEXA area{};
        area.cbSize = sizeof area;
        area.style = CS_DBLCLKS;
        area.lpfnWndProc = &FrameWindowImpl::AreaProc;
        area.hInstance = Instance();
        area.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
        area.hbrBackground = static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH));
        area.lpszClassName = kAreaClass;
        return ::RegisterClassExA(&owner) && ::RegisterClassExA(&frame) && ::RegisterClassExA(&area);
    }();
    return registered;
}

std::unique_ptr<FrameWindowImpl> FrameWindowImpl::Create(const std::string& iconSource, FrameWindowEvents& events) {
    if (!RegisterClasses()) return nullptr;
    std::unique_ptr<FrameWindowImpl> w(new FrameWindowImpl(events));
    // The owner never shows: an owned window has no taskbar button unless it asks for one.
    w->owner_.Reset(::CreateWindowExA(0, kOwnerClass, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, Instance(), nullptr));
    if (!w->owner_) return nullptr;
    w->frame_.Reset(::CreateWindowExA(0, kFrameClass, "", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT,
                                      CW_USEDEFAULT, 640, 480, w->owner_.Get(), nullptr, Instance(), w.get()));
    if (!w->frame_) return nullptr;
    RECT client;
    ::GetClientRect(w->frame_.Get(), &client);
    w->area_.Reset(::CreateWindowExA(0, kAreaClass, "", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0, 0, client.right,
                                     client.bottom, w->frame_.Get(), reinterpret_cast<HMENU>(kControlWindowId),
                                     Instance(), w.get()));
    if (!w->area_) return nullptr;
    const HICON big = LoadFrameIcon(iconSource, ::GetSystemMetrics(SM_CXICON), w->bigIcon_);
    const HICON small = LoadFrameIcon(iconSource, ::GetSystemMetrics(SM_CXSMICON), w->smallIcon_);
    ::SendMessageA(w->frame_.Get(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
    ::SendMessageA(w->frame_.Get(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
    w->initialSystemMenuItems_ = ::GetMenuItemCount(::GetSystemMenu(w->frame_.Get(), FALSE));
    return w;
}

FrameWindowImpl::~FrameWindowImpl() {
    RemoveTrayIcon();
    // The control leaves while its window still exists, so that it can deactivate cleanly.
    if (movieHost_) {
        MovieWindowHost* host = movieHost_;
        DetachMovieWindow();
        host->MovieWindowGone(false);
    }
    // The procedures must not reach this object while the windows go.
    if (frame_) ::SetWindowLongPtrA(frame_.Get(), GWLP_USERDATA, 0);
    if (area_) ::SetWindowLongPtrA(area_.Get(), GWLP_USERDATA, 0);
    (void)area_.Release();  // destroyed with its parent
    frame_.Reset();
    // Once the session has ended the system takes the windows down itself; destroying the owner
    // then could only wait on a desktop that is going away.
    if (sessionEnded_) (void)owner_.Release();
    owner_.Reset();
}

LRESULT CALLBACK FrameWindowImpl::FrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        ::SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<FrameWindowImpl*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
    if (!self || !self->frame_) return ::DefWindowProcA(window, message, wParam, lParam);
    return self->OnFrameMessage(message, wParam, lParam);
}

LRESULT CALLBACK FrameWindowImpl::AreaProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        ::SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<FrameWindowImpl*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
    if (!self || !self->area_) return ::DefWindowProcA(window, message, wParam, lParam);
    return self->OnAreaMessage(message, wParam, lParam);
}

LRESULT CALLBACK FrameWindowImpl::MovieProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = static_cast<FrameWindowImpl*>(::GetPropA(window, kMovieFrameProperty));
    if (!self || self->movieWindow_ != window) return ::DefWindowProcA(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        // The control's window goes before the control does: un-subclass it on its way out.
        const WNDPROC own = self->movieProc_;
        MovieWindowHost* host = self->movieHost_;
        self->DetachMovieWindow();
        if (host) host->MovieWindowGone(true);
        return ::CallWindowProcA(own, window, message, wParam, lParam);
    }
    return self->OnMovieMessage(message, wParam, lParam);
}

bool FrameWindowImpl::AttachMovieWindow(HWND window, MovieWindowHost& host) {
    if (movieWindow_ || !window || ::GetParent(window) != frame_.Get()) return false;
    if (!::SetPropA(window, kMovieFrameProperty, this)) return false;
    movieWindow_ = window;
    movieHost_ = &host;
    movieProc_ = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&FrameWindowImpl::MovieProc)));
    if (!movieProc_) {
        ::RemovePropA(window, kMovieFrameProperty);
        movieWindow_ = nullptr;
        movieHost_ = nullptr;
        return false;
    }
    // The control's window takes the area's place and id; the area waits hidden for its return.
    ::ShowWindow(area_.Get(), SW_HIDE);
    ::SetWindowLongPtrA(area_.Get(), GWLP_ID, 0);
    ::SetWindowLongPtrA(window, GWLP_ID, kControlWindowId);
    return true;
}

void FrameWindowImpl::DetachMovieWindow() {
    if (!movieWindow_) return;
    const HWND window = movieWindow_;
    // Someone who subclassed the window after us keeps our procedure in their chain: it then
    // stays, and passes everything on since the window is no longer ours.
    if (::GetWindowLongPtrA(window, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&FrameWindowImpl::MovieProc))
        ::SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(movieProc_));
    ::RemovePropA(window, kMovieFrameProperty);
    movieWindow_ = nullptr;
    movieHost_ = nullptr;
    movieProc_ = nullptr;
    if (area_) {
        ::SetWindowLongPtrA(area_.Get(), GWLP_ID, kControlWindowId);
        RECT client;
        ::GetClientRect(frame_.Get(), &client);
        ::SetWindowPos(area_.Get(), nullptr, 0, 0, client.right, client.bottom, SWP_NOZORDER | SWP_SHOWWINDOW);
    }
}

void FrameWindowImpl::FitMovieWindow(const RECT& rect) {
    if (movieHost_) movieHost_->PlaceMovieWindow(rect);
    else if (area_)
        ::MoveWindow(area_.Get(), rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, TRUE);
}

LRESULT FrameWindowImpl::OnFrameMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    const HWND window = frame_.Get();
    switch (message) {
        case WM_CLOSE:
        case kCloseMessage: events_.OnCloseRequest(); return 0;
        case WM_QUERYENDSESSION: return TRUE;
        case WM_ENDSESSION:
            if (wParam) {
                sessionEnded_ = true;
                events_.OnEndSession();
            }
            return 0;
        case WM_ENTERSIZEMOVE: events_.OnSizeMoveStart(); return 0;
        case WM_EXITSIZEMOVE: events_.OnSizeMoveEnd(); return 0;
        case WM_SIZE:
            // A window shrunk to a sprite keeps its control where the sprite placement put it.
            if (!placingSprite_) FitMovieWindow({0, 0, LOWORD(lParam), HIWORD(lParam)});
            return 0;
        case WM_SETFOCUS:
            if (const HWND movie = ControlWindow()) ::SetFocus(movie);
            return 0;
        case WM_SYSCOMMAND:
            // The additions' ids lie below the system's own commands (0xF000 and up).
            if ((wParam & 0xFFFF) < 0xF000) {
                events_.OnCommand(static_cast<uint32_t>(wParam & 0xFFFF));
                return 0;
            }
            break;
        case WM_COMMAND: events_.OnCommand(LOWORD(wParam)); return 0;
        case WM_INITMENUPOPUP:
            // The scripts' menus on the bar and tracked with the frame as owner: their items'
            // states are brought up to date before the popup shows.
            Menus().NotifyOpening(static_cast<platform::MenuHandle>(wParam));
            break;
        case kScaleModeMessage: events_.OnScaleModeMessage(static_cast<int>(lParam)); return 0;
        case kBackgroundMessage: events_.OnBackgroundMessage(static_cast<uint32_t>(lParam)); return 0;
        case kShapeMessage: events_.OnShapeMessage(); return 0;
        case kTrayMessage:
            if (wParam == kTrayIconId) events_.OnTrayNotify(static_cast<uint32_t>(lParam));
            return 0;
        default: break;
    }
    return ::DefWindowProcA(window, message, wParam, lParam);
}

bool FrameWindowImpl::IsInput(UINT message) const {
    KeyEvent key;
    MouseEvent mouse;
    return KeyEventOf(message, key) || MouseEventOf(message, mouse);
}

bool FrameWindowImpl::FilterInput(UINT message, WPARAM wParam, LPARAM lParam) {
    const HWND window = ControlWindow();
    KeyEvent key;
    MouseEvent mouse;
    if (KeyEventOf(message, key)) {
        const KeyDecision d = events_.OnKey(key, static_cast<uint32_t>(wParam), ModifiersDown());
        if (d.contextMenu) ::SendMessageA(window, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(window), -1);
        if (!d.pass) return false;
    } else if (MouseEventOf(message, mouse)) {
        if (!FilterMouse(mouse, wParam, lParam)) return false;
        if (message == WM_LBUTTONDOWN) ::SetFocus(window);
    } else {
        return false;
    }
    if (passedInput_) passedInput_(message, wParam);
    return true;
}

namespace {
std::optional<Rect> UpdateRectOf(HWND window) {
    RECT dirty;
    if (!::GetUpdateRect(window, &dirty, FALSE)) return std::nullopt;
    return Rect{dirty.left, dirty.top, dirty.right - dirty.left, dirty.bottom - dirty.top};
}
}  // namespace

LRESULT FrameWindowImpl::OnMovieMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    const HWND window = movieWindow_;
    const WNDPROC own = movieProc_;
    if (IsInput(message)) {
        if (!FilterInput(message, wParam, lParam)) return 0;
        return ::CallWindowProcA(own, window, message, wParam, lParam);
    }
    switch (message) {
        case kTransparentModeMessage: events_.OnTransparentModeMessage(wParam == 1); return 0;
        case WM_PAINT:
            // A transparent window's renderer draws the control off screen itself; otherwise the
            // control paints as usual.
            if (events_.OnPaintControl(UpdateRectOf(window))) {
                ::ValidateRect(window, nullptr);
                return 0;
            }
            break;
        case WM_SETCURSOR: {
            if (movieCursor_ && LOWORD(lParam) == HTCLIENT) {
                ::SetCursor(movieCursor_.Get());
                return TRUE;
            }
            // A control that sets no pointer of its own gets the arrow rather than whatever the
            // pointer last was.
            const LRESULT set = ::CallWindowProcA(own, window, message, wParam, lParam);
            if (set || LOWORD(lParam) != HTCLIENT) return set;
            ::SetCursor(::LoadCursorA(nullptr, IDC_ARROW));
            return TRUE;
        }
        default: break;
    }
    return ::CallWindowProcA(own, window, message, wParam, lParam);
}

LRESULT FrameWindowImpl::OnAreaMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    const HWND window = area_.Get();
    if (IsInput(message)) {
        if (!FilterInput(message, wParam, lParam)) return 0;
    } else if (message == kTransparentModeMessage) {
        events_.OnTransparentModeMessage(wParam == 1);
        return 0;
    } else if (message == WM_SETCURSOR && movieCursor_ && LOWORD(lParam) == HTCLIENT) {
        ::SetCursor(movieCursor_.Get());
        return TRUE;
    } else if (message == WM_PAINT) {
        if (events_.OnPaintControl(UpdateRectOf(window))) ::ValidateRect(window, nullptr);
        else PaintPlaceholder();
        return 0;
    }
    return ::DefWindowProcA(window, message, wParam, lParam);
}

// Until the player's control is hosted, the area says why it shows no movie.
void FrameWindowImpl::PaintPlaceholder() {
    PAINTSTRUCT paint;
    const HDC dc = ::BeginPaint(area_.Get(), &paint);
    RECT client;
    ::GetClientRect(area_.Get(), &client);
    ::FillRect(dc, &client, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, RGB(160, 160, 160));
    char text[] = "The stand-in movie control draws nothing here.";
    ::DrawTextA(dc, text, -1, &client, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS);
    ::EndPaint(area_.Get(), &paint);
}

bool FrameWindowImpl::FilterMouse(MouseEvent event, WPARAM wParam, LPARAM lParam) {
    const HWND window = ControlWindow();
    POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    ::ClientToScreen(window, &at);
    MouseInput input;
    input.event = event;
    input.screenX = at.x;
    input.screenY = at.y;
    input.leftButtonDown = (wParam & MK_LBUTTON) != 0;
    input.captureHeld = ::GetCapture() != nullptr;
    if (dragRegion_) {
        POINT inMovie = at;
        ::ScreenToClient(window, &inMovie);
        input.inDragRegion = std::any_of(dragRegion_->begin(), dragRegion_->end(),
                                         [&](const Rect& r) { return r.Contains(inMovie.x, inMovie.y); });
    }
    const MouseDecision d = events_.OnMouse(input);
    if (d.releaseCapture || d.giveBackCapture) ::ReleaseCapture();
    if (d.takeCapture) ::SetCapture(window);
    if (d.contextMenu) TrackContextMenu(at.x, at.y);
    if (d.leftClickInstead) {
        ::SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, lParam);
        ::SendMessageA(window, WM_LBUTTONUP, 0, lParam);
        return ::GetCapture() == window;
    }
    return d.pass;
}

void FrameWindowImpl::TrackContextMenu(int screenX, int screenY) {
    const HMENU menu = ::GetSystemMenu(frame_.Get(), FALSE);
    if (!menu) return;
    // The system menu doubles as the context menu: its items are brought up to date first, as
    // when it opens from the caption.
    ::SendMessageA(ControlWindow(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu), 0xFFFF);
    const UINT chosen = static_cast<UINT>(
        ::TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, screenX, screenY, 0, frame_.Get(), nullptr));
    if (chosen == 0) return;
    if (IsPlayerCommand(chosen)) ::SendMessageA(ControlWindow(), WM_COMMAND, chosen, 0);
    else ::SendMessageA(frame_.Get(), WM_SYSCOMMAND, chosen, 0);
}

void FrameWindowImpl::ChangeStyles(uint32_t remove, uint32_t add, uint32_t removeExtended, uint32_t addExtended) {
    const HWND w = frame_.Get();
    const LONG_PTR style = (::GetWindowLongPtrA(w, GWL_STYLE) & ~static_cast<LONG_PTR>(remove)) | add;
    const LONG_PTR extended =
        (::GetWindowLongPtrA(w, GWL_EXSTYLE) & ~static_cast<LONG_PTR>(removeExtended)) | addExtended;
    ::SetWindowLongPtrA(w, GWL_STYLE, style);
    ::SetWindowLongPtrA(w, GWL_EXSTYLE, extended);
    ::SetWindowPos(w, nullptr, 0, 0, 0, 0, SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

uint32_t FrameWindowImpl::Style() const { return static_cast<uint32_t>(::GetWindowLongPtrA(frame_.Get(), GWL_STYLE)); }

uint32_t FrameWindowImpl::ExtendedStyle() const {
    return static_cast<uint32_t>(::GetWindowLongPtrA(frame_.Get(), GWL_EXSTYLE));
}

void FrameWindowImpl::SetCaption(const std::string& caption) { ::SetWindowTextA(frame_.Get(), caption.c_str()); }

std::string FrameWindowImpl::Caption() const {
    const int length = ::GetWindowTextLengthA(frame_.Get());
    std::string text(static_cast<size_t>(std::max(length, 0)) + 1, '\0');
    const int got = ::GetWindowTextA(frame_.Get(), text.data(), static_cast<int>(text.size()));
    text.resize(static_cast<size_t>(std::max(got, 0)));
    return text;
}

Rect FrameWindowImpl::WindowRect() const {
    RECT r;
    if (!::GetWindowRect(frame_.Get(), &r)) return {};
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

Size FrameWindowImpl::ClientSize() const {
    RECT r;
    if (!::GetClientRect(frame_.Get(), &r)) return {};
    return {r.right, r.bottom};
}

Size FrameWindowImpl::ClientOffset() const {
    POINT origin{0, 0};
    ::ClientToScreen(frame_.Get(), &origin);
    const Rect w = WindowRect();
    return {origin.x - w.left, origin.y - w.top};
}

void FrameWindowImpl::Move(const Rect& r, bool repaint) {
    ::MoveWindow(frame_.Get(), r.left, r.top, r.width, r.height, repaint ? TRUE : FALSE);
}

void FrameWindowImpl::Show(ShowCommand command) {
    int how = SW_SHOW;
    switch (command) {
        case ShowCommand::Hide: how = SW_HIDE; break;
        case ShowCommand::Show: how = SW_SHOW; break;
        case ShowCommand::ShowMaximized: how = SW_SHOWMAXIMIZED; break;
        case ShowCommand::Minimize: how = SW_MINIMIZE; break;
        case ShowCommand::Restore: how = SW_RESTORE; break;
    }
    ::ShowWindow(frame_.Get(), how);
}

WindowState FrameWindowImpl::State() const {
    const HWND w = frame_.Get();
    if (!::IsWindowVisible(w)) return WindowState::Hidden;
    if (::IsIconic(w)) return WindowState::Minimized;
    return ::IsZoomed(w) ? WindowState::Maximized : WindowState::Visible;
}

void FrameWindowImpl::SetTopmost(bool topmost, bool show) {
    ::SetWindowPos(frame_.Get(), topmost ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | (show ? SWP_SHOWWINDOW : SWP_NOREDRAW));
}

bool FrameWindowImpl::Topmost() const { return (ExtendedStyle() & WS_EX_TOPMOST) != 0; }

void FrameWindowImpl::SetRegion(const std::optional<Region>& region) {
    if (!region) {
        ::SetWindowRgn(frame_.Get(), nullptr, TRUE);
        return;
    }
    // The region data the system's own region reader takes: a header, then the rectangles.
    std::vector<uint8_t> bytes(sizeof(RGNDATAHEADER) + region->size() * sizeof(RECT));
    auto* data = reinterpret_cast<RGNDATA*>(bytes.data());
    data->rdh.dwSize = sizeof(RGNDATAHEADER);
    data->rdh.iType = RDH_RECTANGLES;
    data->rdh.nCount = static_cast<DWORD>(region->size());
    data->rdh.nRgnSize = static_cast<DWORD>(region->size() * sizeof(RECT));
    RECT bound{0, 0, 0, 0};
    auto* rects = reinterpret_cast<RECT*>(data->Buffer);
    for (size_t i = 0; i < region->size(); ++i) {
        const Rect& r = (*region)[i];
        rects[i] = {r.left, r.top, r.left + r.width, r.top + r.height};
        if (i == 0) bound = rects[i];
        ::UnionRect(&bound, &bound, &rects[i]);
    }
    data->rdh.rcBound = bound;
    GdiObject made(::ExtCreateRegion(nullptr, static_cast<DWORD>(bytes.size()), data));
    if (!made) return;
    if (::SetWindowRgn(frame_.Get(), static_cast<HRGN>(made.Get()), TRUE)) (void)made.Release();
    // What the window no longer covers belongs to the windows beneath it again: have them repaint
    // it now rather than when something else exposes it.
    const Rect at = WindowRect();
    const RECT uncovered{at.left, at.top, at.left + at.width, at.top + at.height};
    ::RedrawWindow(nullptr, &uncovered, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

std::optional<Region> FrameWindowImpl::GetRegion() const {
    GdiObject region(::CreateRectRgn(0, 0, 0, 0));
    if (!region || ::GetWindowRgn(frame_.Get(), static_cast<HRGN>(region.Get())) == ERROR) return std::nullopt;
    const DWORD size = ::GetRegionData(static_cast<HRGN>(region.Get()), 0, nullptr);
    if (size == 0) return std::nullopt;
    std::vector<uint8_t> bytes(size);
    auto* data = reinterpret_cast<RGNDATA*>(bytes.data());
    if (::GetRegionData(static_cast<HRGN>(region.Get()), size, data) == 0) return std::nullopt;
    Region rects;
    const auto* r = reinterpret_cast<const RECT*>(data->Buffer);
    for (DWORD i = 0; i < data->rdh.nCount; ++i)
        rects.push_back({r[i].left, r[i].top, r[i].right - r[i].left, r[i].bottom - r[i].top});
    return rects;
}

void FrameWindowImpl::Update() { ::UpdateWindow(frame_.Get()); }

namespace {
using UpdateLayeredWindowCall = BOOL(WINAPI*)(HWND, HDC, POINT*, SIZE*, HDC, POINT*, COLORREF, BLENDFUNCTION*, DWORD);

// Looked up by name: a system without layered windows lacks the call, and the renderer then cuts
// a region instead.
UpdateLayeredWindowCall LayeredCall() {
    static const auto call = reinterpret_cast<UpdateLayeredWindowCall>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("user32.dll"), "UpdateLayeredWindow")));
    return call;
}
}  // namespace

bool FrameWindowImpl::LayeredAvailable() const { return LayeredCall() != nullptr; }

bool FrameWindowImpl::UpdateLayered(const PixelImage& image, const Rect& source, int screenLeft, int screenTop) {
    const UpdateLayeredWindowCall update = LayeredCall();
    if (!update || source.left < 0 || source.top < 0 || source.width <= 0 || source.height <= 0 ||
        source.left + source.width > image.size.width || source.top + source.height > image.size.height)
        return false;
    const HWND w = frame_.Get();
    const LONG_PTR extended = ::GetWindowLongPtrA(w, GWL_EXSTYLE);
    if (!(extended & WS_EX_LAYERED)) ::SetWindowLongPtrA(w, GWL_EXSTYLE, extended | WS_EX_LAYERED);

    uint32_t* bits = nullptr;
    const GdiObject bitmap = PictureBitmap(image, &bits);
    if (!bitmap) return false;
    WindowDc screen(nullptr);
    const HDC memory = ::CreateCompatibleDC(screen.Get());
    if (!memory) return false;
    const HGDIOBJ previous = ::SelectObject(memory, bitmap.Get());
    POINT destination{screenLeft, screenTop}, from{source.left, source.top};
    SIZE size{source.width, source.height};
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    const BOOL ok = update(w, screen.Get(), &destination, &size, memory, &from, 0, &blend, ULW_ALPHA);
    ::SelectObject(memory, previous);
    ::DeleteDC(memory);
    return ok != FALSE;
}

void FrameWindowImpl::PlaceForSprite(const Rect& screen, Size controlAt) {
    // Neither move may ask the frame to re-place itself: both go without changing the z-order.
    const UINT flags = SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOSENDCHANGING | SWP_SHOWWINDOW;
    RECT control;
    ::GetClientRect(ControlWindow(), &control);
    placingSprite_ = true;
    ::SetWindowPos(frame_.Get(), nullptr, screen.left, screen.top, screen.width, screen.height, flags);
    if (movieHost_)
        movieHost_->PlaceMovieWindow(
            {controlAt.width, controlAt.height, controlAt.width + control.right, controlAt.height + control.bottom});
    else ::SetWindowPos(area_.Get(), nullptr, controlAt.width, controlAt.height, control.right, control.bottom, flags);
    placingSprite_ = false;
}

void FrameWindowImpl::EndLayered() {
    const HWND w = frame_.Get();
    const LONG_PTR extended = ::GetWindowLongPtrA(w, GWL_EXSTYLE);
    if (!(extended & WS_EX_LAYERED)) return;
    ::SetWindowLongPtrA(w, GWL_EXSTYLE, extended & ~static_cast<LONG_PTR>(WS_EX_LAYERED));
    ::RedrawWindow(w, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_FRAME | RDW_ALLCHILDREN);
}

void FrameWindowImpl::SetSystemMenuAdditions(const std::vector<MenuEntry>& entries) {
    const HMENU menu = ::GetSystemMenu(frame_.Get(), FALSE);
    if (!menu) return;
    // Back to the items the system gave, then the new additions after them.
    for (int count = ::GetMenuItemCount(menu); count > initialSystemMenuItems_; --count)
        ::DeleteMenu(menu, static_cast<UINT>(count - 1), MF_BYPOSITION);
    AppendEntries(menu, entries);
    additions_ = entries;
}

uint32_t FrameWindowImpl::TrackMenu(const std::vector<MenuEntry>& entries) {
    MenuHandle menu(::CreatePopupMenu());
    if (!menu) return 0;
    AppendEntries(menu.Get(), entries);
    POINT at;
    ::GetCursorPos(&at);
    // Without the foreground the menu would not close when the user clicks elsewhere; the null
    // message afterwards lets the menu's own loop end cleanly.
    ::SetForegroundWindow(frame_.Get());
    const BOOL chosen = ::TrackPopupMenu(menu.Get(), TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, at.x, at.y, 0,
                                         frame_.Get(), nullptr);
    ::PostMessageA(frame_.Get(), WM_NULL, 0, 0);
    return static_cast<uint32_t>(chosen);
}

bool FrameWindowImpl::NotifyTray(HICON icon, const std::string& tip) {
    NOTIFYICONDATAA data = TrayData(frame_.Get());
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = kTrayMessage;
    data.hIcon = icon ? icon : ::LoadIconA(nullptr, IDI_APPLICATION);
    tip_ = tip.substr(0, kTipLimit);
    std::memcpy(data.szTip, tip_.c_str(), tip_.size() + 1);
    const BOOL ok = ::Shell_NotifyIconA(trayShown_ ? NIM_MODIFY : NIM_ADD, &data);
    if (ok) trayShown_ = true;
    return ok != FALSE;
}

bool FrameWindowImpl::ShowTrayIcon(int iconResource, const std::string& tip) {
    const HICON icon =
        static_cast<HICON>(::LoadImageA(Instance(), MAKEINTRESOURCEA(iconResource), IMAGE_ICON, 16, 16, LR_SHARED));
    const bool shown = NotifyTray(icon, tip);
    if (shown) trayIcon_.Reset();  // a shared resource icon now; the file's goes
    return shown;
}

bool FrameWindowImpl::ShowTrayIconFile(const std::string& iconFile, const std::string& tip) {
    IconHandle icon(static_cast<HICON>(::LoadImageA(nullptr, iconFile.c_str(), IMAGE_ICON, 16, 16, LR_LOADFROMFILE)));
    if (!icon) return false;
    if (!NotifyTray(icon.Get(), tip)) return false;
    trayIcon_ = std::move(icon);
    return true;
}

bool FrameWindowImpl::ShowTrayBalloon(const std::string& text, const std::string& title, const std::string& icon,
                                      uint32_t timeoutMs) {
    if (!trayShown_) return false;
    NOTIFYICONDATAA data = TrayData(frame_.Get());
    data.uFlags = NIF_INFO;
    std::snprintf(data.szInfo, sizeof data.szInfo, "%s", text.c_str());
    std::snprintf(data.szInfoTitle, sizeof data.szInfoTitle, "%s", title.c_str());
    data.uTimeout = timeoutMs;
    data.dwInfoFlags = icon == "info"      ? NIIF_INFO
                       : icon == "warning" ? NIIF_WARNING
                       : icon == "error"   ? NIIF_ERROR
                                           : NIIF_NONE;
    return ::Shell_NotifyIconA(NIM_MODIFY, &data) != FALSE;
}

bool FrameWindowImpl::SetSmallIcon(const std::string& iconFile) {
    IconHandle icon(static_cast<HICON>(::LoadImageA(nullptr, iconFile.c_str(), IMAGE_ICON, 16, 16, LR_LOADFROMFILE)));
    if (!icon) return false;
    ::SendMessageA(frame_.Get(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon.Get()));
    smallIcon_ = std::move(icon);  // the icon it replaced goes once the window no longer shows it
    return true;
}

bool FrameWindowImpl::SetMovieCursor(const std::string& cursorFile) {
    if (cursorFile.empty()) {
        movieCursor_.Reset();
        return true;
    }
    CursorHandle cursor(static_cast<HCURSOR>(
        ::LoadImageA(nullptr, cursorFile.c_str(), IMAGE_CURSOR, 0, 0, LR_LOADFROMFILE | LR_DEFAULTSIZE)));
    if (!cursor) return false;
    movieCursor_ = std::move(cursor);
    // Shown at once when the pointer is over the movie; otherwise when it gets there.
    POINT at;
    RECT area;
    if (::GetCursorPos(&at) && ::GetWindowRect(ControlWindow(), &area) && ::PtInRect(&area, at))
        ::SetCursor(movieCursor_.Get());
    return true;
}

void FrameWindowImpl::SetMovieCapture(bool capture) {
    if (capture) ::SetCapture(ControlWindow());
    else if (::GetCapture() == ControlWindow()) ::ReleaseCapture();
}

void FrameWindowImpl::RemoveTrayIcon() {
    if (!trayShown_) return;
    NOTIFYICONDATAA data = TrayData(frame_.Get());
    ::Shell_NotifyIconA(NIM_DELETE, &data);
    trayShown_ = false;
}

void FrameWindowImpl::ShowAbout(const std::string& title, const std::string& text) {
    // Automated runs never wait for a click: the box becomes a line on standard output.
    if (GetEnvironment("VELMO_NO_DIALOGS")) {
        std::printf("%s: %s\n", title.c_str(), text.c_str());
        std::fflush(stdout);
        return;
    }
    ::MessageBoxA(frame_.Get(), text.c_str(), title.c_str(), MB_OK | MB_ICONINFORMATION);
}

bool FrameWindowImpl::OpenHelp(const std::string& path) {
    if (path.empty()) return false;
    if (GetEnvironment("VELMO_NO_DIALOGS")) return true;  // no viewer windows in automated runs
    std::string extension(ExtensionPart(path));
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (extension == ".chm") {
        // The HTML help library is loaded on first use and kept: its viewer outlives the call.
        using HtmlHelpCall = HWND(WINAPI*)(HWND, LPCSTR, UINT, DWORD_PTR);
        static const HMODULE library = ::LoadLibraryA("HHCTRL.OCX");
        if (!library) return false;
        const auto htmlHelp =
            reinterpret_cast<HtmlHelpCall>(reinterpret_cast<void*>(::GetProcAddress(library, "HtmlHelpA")));
        constexpr UINT kDisplayTopic = 0;
        return htmlHelp && htmlHelp(frame_.Get(), path.c_str(), kDisplayTopic, 0) != nullptr;
    }
    return ::WinHelpA(frame_.Get(), path.c_str(), HELP_CONTENTS, 0) != FALSE;
}

SheetResult FrameWindowImpl::RunPropertySheet(SheetDescription& sheet) {
    return RunPropertySheetOver(frame_.Get(), sheet);
}

void FrameWindowImpl::PostCloseRequest() { ::PostMessageA(frame_.Get(), WM_CLOSE, 0, 0); }

}  // namespace velmo::platform::win32
