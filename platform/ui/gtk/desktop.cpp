// The GTK desktop's loop and screen. GTK is opened once per process, without letting it set the
// C library's locale: the rest of the system writes and reads numbers in the C locale.
#include "platform/ui/gtk/gtk_desktop.h"

#include <gtk/gtk.h>

#include <algorithm>
#include <cstdlib>

#include "platform/linux_desktop.h"
#include "platform/timers.h"
#include "platform/ui/gtk/gtk_frame_window.h"

namespace velmo::platform {

namespace gtk {

namespace {

constexpr int64_t kWaitMs = 100;       // at most, so that the caller can look at its own flags
constexpr int kMaxEventsPerPass = 64;  // a busy view must not starve the frame's idle work

GdkMonitor* PrimaryMonitor() {
    GdkDisplay* display = gdk_display_get_default();
    if (!display) return nullptr;
    GdkMonitor* monitor = gdk_display_get_primary_monitor(display);
    return monitor ? monitor : gdk_display_get_monitor(display, 0);
}

Rect RectOf(const GdkRectangle& r) { return {r.x, r.y, r.width, r.height}; }

}  // namespace

GtkDesktop::GtkDesktop() : windows_(ModelWindowSystem::Shared()) { windows_.SetScreen(ScreenSize()); }

Size GtkDesktop::ScreenSize() const {
    GdkMonitor* monitor = PrimaryMonitor();
    if (!monitor) return {1024, 768};
    GdkRectangle r;
    gdk_monitor_get_geometry(monitor, &r);
    return {r.width, r.height};
}

Rect GtkDesktop::WorkArea() const {
    GdkMonitor* monitor = PrimaryMonitor();
    if (!monitor) return {0, 0, 1024, 768};
    GdkRectangle r;
    gdk_monitor_get_workarea(monitor, &r);
    return RectOf(r);
}

Point GtkDesktop::PointerPosition() const {
    GdkDisplay* display = gdk_display_get_default();
    GdkSeat* seat = display ? gdk_display_get_default_seat(display) : nullptr;
    GdkDevice* pointer = seat ? gdk_seat_get_pointer(seat) : nullptr;
    Point at;
    if (pointer) gdk_device_get_position(pointer, nullptr, &at.x, &at.y);
    return at;
}

std::unique_ptr<FrameWindow> GtkDesktop::CreateFrameWindow(const std::string& iconSource, FrameWindowEvents& events) {
    auto frame = std::make_unique<GtkFrameWindow>(*this, windows_, iconSource, events);
    frames_.push_back(frame.get());
    frame->ApplyPointerShown(pointerShown_);
    return frame;
}

void GtkDesktop::Forget(GtkFrameWindow* frame) { std::erase(frames_, frame); }

void GtkDesktop::SetPointerShown(bool shown) {
    pointerShown_ = shown;
    for (GtkFrameWindow* frame : frames_) frame->ApplyPointerShown(shown);
}

void GtkDesktop::Post(std::function<void()> event) {
    posted_.push_back(std::move(event));
    g_main_context_wakeup(nullptr);
}

// The headless desktop's work first (what it would run now), then what GTK has waiting. Only when
// neither had anything does a waiting call block in the main loop, until an event arrives, the next
// timer is due or the wait's bound has passed. A real desktop always has a user: never false.
bool GtkDesktop::ProcessEvents(bool wait) {
    bool handled = windows_.DeliverPosted();
    for (GtkFrameWindow* frame : frames_) frame->FollowRecord();
    if (!posted_.empty()) {
        std::deque<std::function<void()>> now;
        now.swap(posted_);
        for (std::function<void()>& event : now) event();
        handled = true;
    }
    if (NextTimerDueInMs() == 0) {
        RunDueTimers(0);
        handled = true;
    }
    for (int i = 0; i < kMaxEventsPerPass && g_main_context_iteration(nullptr, FALSE); ++i) handled = true;
    if (handled || !wait || !posted_.empty()) return true;
    const int64_t due = NextTimerDueInMs();
    const int64_t waitMs = due >= 0 ? std::min(due, kWaitMs) : kWaitMs;
    bool fired = false;
    const guint bound = g_timeout_add(
        static_cast<guint>(waitMs),
        [](gpointer flag) {
            *static_cast<bool*>(flag) = true;
            return G_SOURCE_REMOVE;
        },
        &fired);
    g_main_context_iteration(nullptr, TRUE);
    if (!fired) g_source_remove(bound);
    RunDueTimers(0);
    return true;
}

}  // namespace gtk

bool LinuxDesktopBuilt() { return true; }

LinuxDesktopOpening OpenLinuxDesktop() {
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) return {nullptr, "no display to open a window on (DISPLAY is not set)"};
    static bool opened = false;
    if (!opened) {
        gtk_disable_setlocale();
        // Positions, shapes and the root window's pixels need X; a Wayland session has XWayland.
        gdk_set_allowed_backends("x11");
        if (!gtk_init_check(nullptr, nullptr)) return {nullptr, std::string("cannot open the display ") + display};
        opened = true;
    }
    return {std::make_unique<gtk::GtkDesktop>(), {}};
}

}  // namespace velmo::platform
