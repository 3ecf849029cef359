#include "platform/common/model_window_system.h"

#include <algorithm>
#include <cstdio>

namespace velmo::platform {

namespace {

// The window classes the system registers for every program, spelled as it reports them; others
// exist once the desktop registers them.
constexpr const char* kSystemClasses[] = {"Button", "Edit", "Static", "ListBox", "ComboBox", "ScrollBar", "MDIClient"};

// The SW_* and AW_* numbers the model acts on.
enum : int {
    kShowHide = 0,
    kShowNormal = 1,
    kShowMinimized = 2,
    kShowMaximized = 3,
    kShowNoActivate = 4,
    kShowShow = 5,
    kShowMinimize = 6,
    kShowMinNoActive = 7,
    kShowNa = 8,
    kShowRestore = 9,
    kShowDefault = 10,
    kShowForceMinimize = 11
};
constexpr uint32_t kAnimateHide = 0x10000, kAnimateActivate = 0x20000;
constexpr uint32_t kPosNoSize = 0x1, kPosNoMove = 0x2, kPosShow = 0x40, kPosHide = 0x80;

bool SameText(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
               return lower(x) == lower(y);
           });
}

intptr_t PackWords(int low, int high) {
    return static_cast<intptr_t>((static_cast<uint32_t>(low) & 0xFFFF) |
                                 ((static_cast<uint32_t>(high) & 0xFFFF) << 16));
}

std::string RectText(const Rect& r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + " " + std::to_string(r.width) + "x" +
           std::to_string(r.height);
}

}  // namespace

std::string WindowName(WindowHandle window) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(window));
    return text;
}

ModelWindowSystem& ModelWindowSystem::Shared() {
    static ModelWindowSystem shared;
    return shared;
}

int ModelWindowSystem::BorderFor(uint32_t style) {
    if (style & kStyleThickFrame) return 4;
    return (style & kStyleCaption) ? 3 : 0;
}

Size ModelWindowSystem::ClientOffsetFor(uint32_t style, uint32_t extendedStyle) {
    const int border = BorderFor(style);
    int caption = 0;
    if (!(style & kStylePopup) && (style & kStyleCaption) == kStyleCaption)
        caption = (extendedStyle & kStyleExToolWindow) ? 15 : 19;
    return {border, border + caption};
}

ModelWindowSystem::Window* ModelWindowSystem::Entry(WindowHandle window) {
    const auto it = windows_.find(window);
    return it == windows_.end() ? nullptr : it->second.get();
}
const ModelWindowSystem::Window* ModelWindowSystem::Entry(WindowHandle window) const {
    const auto it = windows_.find(window);
    return it == windows_.end() ? nullptr : it->second.get();
}

void ModelWindowSystem::Note(const std::string& line) const {
    if (sink_) sink_(line);
}

void ModelWindowSystem::Link(Window& w, WindowHandle parent) {
    w.parent = parent;
    if (Window* p = Entry(parent)) p->children.push_back(w.handle);
    else zOrder_.insert(zOrder_.begin(), w.handle);
}

void ModelWindowSystem::Unlink(Window& w) {
    std::vector<WindowHandle>& list = Entry(w.parent) ? Entry(w.parent)->children : zOrder_;
    list.erase(std::remove(list.begin(), list.end(), w.handle), list.end());
    w.parent = 0;
}

WindowHandle ModelWindowSystem::Register(const std::string& className, uint32_t style, const Rect& screenRect,
                                         WindowHandle parent, Procedure procedure) {
    auto w = std::make_unique<Window>();
    w->handle = next_;
    next_ += 4;
    w->className = className;
    w->rect = screenRect;
    w->style = style;
    w->procedure = std::move(procedure);
    Window& made = *w;
    windows_.emplace(made.handle, std::move(w));
    Link(made, parent);
    return made.handle;
}

void ModelWindowSystem::Unregister(WindowHandle window) {
    if (IsWindow(window)) DestroyTree(window);
}

std::string ModelWindowSystem::Title(WindowHandle window) const {
    const Window* w = Entry(window);
    return w ? w->title : std::string();
}

void ModelWindowSystem::SetTitle(WindowHandle window, const std::string& title) {
    Window* w = Entry(window);
    if (!w) return;
    w->title = title;
    Note("title " + WindowName(window) + " \"" + title + "\"");
}

std::string ModelWindowSystem::ClassName(WindowHandle window) const {
    const Window* w = Entry(window);
    return w ? w->className : std::string();
}

Rect ModelWindowSystem::ScreenRect(WindowHandle window) const {
    const Window* w = Entry(window);
    if (!w) return {};
    return w->maximized ? Rect{0, 0, screen_.width, screen_.height} : w->rect;
}

// The screen point where the client area of a window's parent begins (0, 0 for a top-level one).
Rect ModelWindowSystem::ParentClientOrigin(const Window& w) const {
    const Window* p = (w.style & kStyleChild) ? Entry(w.parent) : nullptr;
    if (!p) return {};
    const Rect r = ScreenRect(p->handle);
    const Size offset = ClientOffsetFor(p->style, p->extendedStyle);
    return {r.left + offset.width, r.top + offset.height, 0, 0};
}

Rect ModelWindowSystem::PlacedRect(WindowHandle window) const {
    const Window* w = Entry(window);
    if (!w) return {};
    Rect r = ScreenRect(window);
    const Rect origin = ParentClientOrigin(*w);
    r.left -= origin.left;
    r.top -= origin.top;
    return r;
}

Size ModelWindowSystem::ClientSize(WindowHandle window) const {
    const Window* w = Entry(window);
    if (!w) return {};
    const Rect r = ScreenRect(window);
    const Size offset = ClientOffsetFor(w->style, w->extendedStyle);
    const int border = BorderFor(w->style);
    return {std::max(0, r.width - 2 * offset.width), std::max(0, r.height - offset.height - border)};
}

// Children keep their place in their parent's client area; the window hears of the change as the
// system would tell it, in its parent's coordinates.
void ModelWindowSystem::Place(Window& w, const Rect& screen, bool sendMessages) {
    const Rect old = w.rect;
    w.rect = screen;
    const int dx = screen.left - old.left, dy = screen.top - old.top;
    if (dx || dy)
        for (const WindowHandle child : Descendants(w.handle))
            if (Window* c = Entry(child)) c->rect.left += dx, c->rect.top += dy;
    if (!sendMessages) return;
    const WindowHandle handle = w.handle;
    if (dx || dy) {
        const Rect placed = PlacedRect(handle);
        const Size offset = ClientOffsetFor(w.style, w.extendedStyle);
        Send(handle, kMsgMove, 0, PackWords(placed.left + offset.width, placed.top + offset.height));
    }
    if (screen.width != old.width || screen.height != old.height) {
        const Size client = ClientSize(handle);
        Send(handle, kMsgSize, 0, PackWords(client.width, client.height));
    }
}

void ModelWindowSystem::Move(WindowHandle window, const Rect& placed, bool) { SetPosition(window, placed, 0); }

void ModelWindowSystem::SetPosition(WindowHandle window, const Rect& placed, uint32_t flags) {
    Window* w = Entry(window);
    if (!w) return;
    const Rect now = PlacedRect(window);
    Rect target = placed;
    if (flags & kPosNoMove) target.left = now.left, target.top = now.top;
    if (flags & kPosNoSize) target.width = now.width, target.height = now.height;
    if (flags & kPosShow) w->visible = true;
    if (flags & kPosHide) w->visible = false;
    const Rect origin = ParentClientOrigin(*w);
    if (target != now) {
        Note("move " + WindowName(window) + " to " + RectText(target));
        w->maximized = w->minimized = false;
        Place(*w, {target.left + origin.left, target.top + origin.top, target.width, target.height}, true);
    }
}

WindowHandle ModelWindowSystem::Parent(WindowHandle window) const {
    const Window* w = Entry(window);
    return w ? w->parent : 0;
}

// A window keeps its place in its (new) parent's client area, as the system's re-parenting does.
void ModelWindowSystem::SetParent(WindowHandle window, WindowHandle parent) {
    Window* w = Entry(window);
    if (!w || window == parent) return;
    for (WindowHandle up = parent; up; up = Parent(up))
        if (up == window) return;  // a window cannot become its own descendant
    const Rect placed = PlacedRect(window);
    Unlink(*w);
    Link(*w, Entry(parent) ? parent : 0);
    const Rect origin = ParentClientOrigin(*w);
    Place(*w, {placed.left + origin.left, placed.top + origin.top, placed.width, placed.height}, false);
    Note("parent " + WindowName(window) + " " + WindowName(w->parent));
}

bool ModelWindowSystem::IsVisible(WindowHandle window) const {
    for (const Window* w = Entry(window); w; w = (w->style & kStyleChild) ? Entry(w->parent) : nullptr)
        if (!w->visible) return false;
    return IsWindow(window);
}

bool ModelWindowSystem::IsMinimized(WindowHandle window) const {
    const Window* w = Entry(window);
    return w && w->minimized;
}

bool ModelWindowSystem::IsMaximized(WindowHandle window) const {
    const Window* w = Entry(window);
    return w && w->maximized;
}

void ModelWindowSystem::Show(WindowHandle window, int command) {
    Window* w = Entry(window);
    if (!w) return;
    switch (command) {
        case kShowHide: w->visible = false; break;
        case kShowNormal:
        case kShowRestore:
        case kShowDefault: w->visible = true, w->minimized = w->maximized = false; break;
        case kShowMinimized:
        case kShowMinimize:
        case kShowMinNoActive:
        case kShowForceMinimize: w->visible = w->minimized = true; break;
        case kShowMaximized: w->visible = w->maximized = true, w->minimized = false; break;
        case kShowNoActivate:
        case kShowShow:
        case kShowNa: w->visible = true; break;
        default: return;  // the system refuses numbers it does not know
    }
    Note("show " + WindowName(window) + " " + std::to_string(command));
}

bool ModelWindowSystem::IsEnabled(WindowHandle window) const {
    const Window* w = Entry(window);
    return w && !(w->style & kStyleDisabled);
}

void ModelWindowSystem::Enable(WindowHandle window, bool enable) {
    Window* w = Entry(window);
    if (!w) return;
    w->style = enable ? (w->style & ~kStyleDisabled) : (w->style | kStyleDisabled);
    Note(std::string(enable ? "enable " : "disable ") + WindowName(window));
}

uint32_t ModelWindowSystem::Style(WindowHandle window) const {
    const Window* w = Entry(window);
    return w ? (w->style | (w->visible ? kStyleVisible : 0)) : 0;
}

uint32_t ModelWindowSystem::ExtendedStyle(WindowHandle window) const {
    const Window* w = Entry(window);
    return w ? w->extendedStyle : 0;
}

void ModelWindowSystem::SetStyle(WindowHandle window, uint32_t style) {
    Window* w = Entry(window);
    if (!w) return;
    w->visible = (style & kStyleVisible) != 0;
    w->style = style & ~kStyleVisible;
    Note("style " + WindowName(window) + " " + WindowName(style));
}

void ModelWindowSystem::SetExtendedStyle(WindowHandle window, uint32_t style) {
    Window* w = Entry(window);
    if (!w) return;
    w->extendedStyle = style;
    Note("extended style " + WindowName(window) + " " + WindowName(style));
}

void ModelWindowSystem::BringToTop(WindowHandle window) {
    WindowHandle top = window;
    while (IsWindow(top) && (Entry(top)->style & kStyleChild) && IsWindow(Parent(top))) top = Parent(top);
    if (!IsWindow(top)) return;
    foreground_ = top;
    if (!Entry(top)->parent) {
        zOrder_.erase(std::remove(zOrder_.begin(), zOrder_.end(), top), zOrder_.end());
        zOrder_.insert(zOrder_.begin(), top);
    }
    Note("foreground " + WindowName(top));
}

// As the system does, showing a shown window or hiding a hidden one fails.
bool ModelWindowSystem::Animate(WindowHandle window, uint32_t durationMs, uint32_t flags) {
    Window* w = Entry(window);
    if (!w) return false;
    const bool hide = (flags & kAnimateHide) != 0;
    if (hide != w->visible) return false;
    w->visible = !hide;
    if (flags & kAnimateActivate) foreground_ = window;
    Note("animate " + WindowName(window) + " " + std::to_string(durationMs) + " " + WindowName(flags));
    return true;
}

WindowHandle ModelWindowSystem::CreateChild(const std::string& className, uint32_t style, const Rect& placed,
                                            WindowHandle parent) {
    std::string known;
    for (const char* name : kSystemClasses)
        if (SameText(className, name)) known = name;
    for (const auto& [handle, w] : windows_)
        if (known.empty() && SameText(className, w->className)) known = w->className;
    if (known.empty()) return 0;
    if ((style & kStyleChild) && !IsWindow(parent)) return 0;  // a child style needs a parent
    const WindowHandle made = Register(known, style & ~kStyleVisible, {}, IsWindow(parent) ? parent : 0, nullptr);
    Window& w = *Entry(made);
    w.visible = (style & kStyleVisible) != 0;
    const Rect origin = ParentClientOrigin(w);
    w.rect = {placed.left + origin.left, placed.top + origin.top, placed.width, placed.height};
    Note("create " + WindowName(made) + " " + known + " in " + WindowName(w.parent) + " at " + RectText(placed));
    return made;
}

void ModelWindowSystem::Destroy(WindowHandle window) {
    if (!IsWindow(window)) return;
    Note("destroy " + WindowName(window));
    DestroyTree(window);
}

// The window hears of its end first, its children go next, and its record last: a hook that
// destroys the window again meanwhile finds nothing more to do.
void ModelWindowSystem::DestroyTree(WindowHandle window) {
    Window* w = Entry(window);
    if (!w || w->destroying) return;
    w->destroying = true;
    Send(window, kMsgDestroy, 0, 0);
    for (const WindowHandle child : std::vector<WindowHandle>(Entry(window)->children)) DestroyTree(child);
    Send(window, kMsgNcDestroy, 0, 0);
    w = Entry(window);
    if (capture_ == window) capture_ = 0;
    if (foreground_ == window) foreground_ = 0;
    Unlink(*w);
    windows_.erase(window);
}

std::vector<WindowHandle> ModelWindowSystem::Descendants(WindowHandle window) const {
    std::vector<WindowHandle> all;
    const Window* w = Entry(window);
    if (!w) return all;
    for (const WindowHandle child : w->children) {
        all.push_back(child);
        const std::vector<WindowHandle> below = Descendants(child);
        all.insert(all.end(), below.begin(), below.end());
    }
    return all;
}

WindowHandle ModelWindowSystem::Find(const std::optional<std::string>& className,
                                     const std::optional<std::string>& title) const {
    for (const WindowHandle handle : zOrder_) {
        const Window& w = *Entry(handle);
        if ((!className || SameText(*className, w.className)) && (!title || SameText(*title, w.title))) return handle;
    }
    return 0;
}

// A hook that throws is treated as one that passed the message on, so the window's own procedure
// still runs and the chain stays whole.
intptr_t ModelWindowSystem::Send(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    Window* w = Entry(window);
    if (!w) return 0;
    const WindowMessage m{window, message, wParam, lParam};
    if (w->hook) {
        const MessageHook hook = w->hook;  // the hook may un-subclass, and so drop itself, while it runs
        std::optional<intptr_t> answer;
        try {
            answer = hook(m);
        } catch (...) {
            answer.reset();
        }
        if (answer) return *answer;
        w = Entry(window);
        if (!w) return 0;
    }
    if (message == kMsgNcDestroy) w->hook = nullptr;
    if (w->procedure) {
        const Procedure procedure = w->procedure;
        return procedure(m);
    }
    if (message == kMsgClose) Destroy(window);
    return 0;
}

bool ModelWindowSystem::SendNotify(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    if (!IsWindow(window)) return false;
    Send(window, message, wParam, lParam);
    return true;
}

bool ModelWindowSystem::Post(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    if (!IsWindow(window)) return false;
    posted_.push_back({window, message, wParam, lParam});
    return true;
}

bool ModelWindowSystem::DeliverPosted() {
    if (posted_.empty()) return false;
    std::deque<WindowMessage> now;
    now.swap(posted_);
    for (const WindowMessage& m : now) Send(m.window, m.message, m.wParam, m.lParam);
    return true;
}

void ModelWindowSystem::SetCapture(WindowHandle window) {
    if (IsWindow(window)) capture_ = window;
}

bool ModelWindowSystem::StartTimer(WindowHandle window, uintptr_t id, uint32_t) {
    Window* w = Entry(window);
    if (!w) return false;
    w->timers.insert(id);
    return true;
}

void ModelWindowSystem::StopTimer(WindowHandle window, uintptr_t id) {
    if (Window* w = Entry(window)) w->timers.erase(id);
}

bool ModelWindowSystem::Subclass(WindowHandle window, MessageHook hook) {
    Window* w = Entry(window);
    if (!w || w->hook || !hook) return false;
    w->hook = std::move(hook);
    Note("subclass " + WindowName(window));
    return true;
}

void ModelWindowSystem::Unsubclass(WindowHandle window) {
    Window* w = Entry(window);
    if (!w || !w->hook) return;
    w->hook = nullptr;
    Note("unsubclass " + WindowName(window));
}

bool ModelWindowSystem::IsSubclassed(WindowHandle window) const {
    const Window* w = Entry(window);
    return w && w->hook;
}

}  // namespace velmo::platform
