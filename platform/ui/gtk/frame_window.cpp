// The GTK frame window. Geometry is kept as the frame last placed it and as the window manager last
// configured it, so the frame reads back at once what it asked for, as it does of the Win32 window;
// a configure of another size than asked for is the user's resize, reported as a size-move that ends
// once the configures stop for a moment (GTK has no modal sizing loop to bracket it).
#include "platform/ui/gtk/gtk_frame_window.h"

#include <cairo.h>

#include <algorithm>
#include <string>

#include "platform/common/sheet_values.h"
#include "platform/menu_system.h"
#include "platform/text.h"
#include "platform/ui/gtk/gtk_desktop.h"
#include "platform/ui/gtk/gtk_guard.h"

namespace velmo::platform::gtk {

namespace {

constexpr uint32_t kStylePopupBit = 0x80000000, kStyleCaptionBits = 0x00C00000, kStyleThickFrameBit = 0x00040000;
constexpr uint32_t kCloseMessage = 0x8064;  // the frame's private close message
constexpr uint32_t kMsgSysCommand = 0x0112, kFirstSystemCommand = 0xF000;
constexpr uint32_t kTrayLeftDoubleClick = 0x203, kTrayRightButtonUp = 0x205;
constexpr uint32_t kCloseCommand = 8;  // the frame's Close item
constexpr guint kSizeMoveQuietMs = 300;
constexpr gint64 kRequestAnswerUs = 1000000;  // how long a place asked for may wait for its configure
constexpr size_t kTipLimit = 127;

// Window text is the 8-bit code page, which GTK takes only as UTF-8.
std::string Utf8Of(const std::string& ansi) {
    const std::u16string text16 = AnsiToUtf16(ansi);
    gchar* utf8 = g_utf16_to_utf8(reinterpret_cast<const gunichar2*>(text16.data()), static_cast<glong>(text16.size()),
                                  nullptr, nullptr, nullptr);
    std::string out = utf8 ? utf8 : "";
    g_free(utf8);
    return out;
}

// The keys the frame's filter looks at, as the system's virtual-key numbers.
uint32_t VirtualKeyOf(guint keyval) {
    const guint upper = gdk_keyval_to_upper(keyval);
    if ((upper >= GDK_KEY_A && upper <= GDK_KEY_Z) || (upper >= GDK_KEY_0 && upper <= GDK_KEY_9)) return upper;
    if (keyval >= GDK_KEY_F1 && keyval <= GDK_KEY_F24) return 0x70 + (keyval - GDK_KEY_F1);
    static constexpr struct {
        guint keyval;
        uint32_t vk;
    } kKeys[] = {
        {GDK_KEY_Escape, 0x1B},    {GDK_KEY_Return, 0x0D},  {GDK_KEY_KP_Enter, 0x0D},  {GDK_KEY_Tab, 0x09},
        {GDK_KEY_BackSpace, 0x08}, {GDK_KEY_space, 0x20},   {GDK_KEY_Left, 0x25},      {GDK_KEY_Up, 0x26},
        {GDK_KEY_Right, 0x27},     {GDK_KEY_Down, 0x28},    {GDK_KEY_Page_Up, 0x21},   {GDK_KEY_Page_Down, 0x22},
        {GDK_KEY_End, 0x23},       {GDK_KEY_Home, 0x24},    {GDK_KEY_Insert, 0x2D},    {GDK_KEY_Delete, 0x2E},
        {GDK_KEY_Shift_L, 0x10},   {GDK_KEY_Shift_R, 0x10}, {GDK_KEY_Control_L, 0x11}, {GDK_KEY_Control_R, 0x11},
        {GDK_KEY_Alt_L, 0x12},     {GDK_KEY_Alt_R, 0x12},   {GDK_KEY_Pause, 0x13}};
    for (const auto& k : kKeys)
        if (k.keyval == keyval) return k.vk;
    return 0;
}

uint32_t ModifiersOf(guint state) {
    uint32_t down = 0;
    if (state & GDK_SHIFT_MASK) down |= kModifierShift;
    if (state & GDK_CONTROL_MASK) down |= kModifierControl;
    if (state & GDK_MOD1_MASK) down |= kModifierAlt;
    return down;
}

cairo_region_t* CairoRegionOf(const Region& region) {
    cairo_region_t* out = cairo_region_create();
    for (const Rect& r : region) {
        const cairo_rectangle_int_t c{r.left, r.top, r.width, r.height};
        cairo_region_union_rectangle(out, &c);
    }
    return out;
}

// One entry of a frame menu as a GTK item; choosing it leaves its id in `chosen`.
void AddMenuItems(GtkMenuShell* shell, const std::vector<MenuEntry>& entries, uint32_t* chosen) {
    for (const MenuEntry& entry : entries) {
        if (entry.IsSeparator()) {
            gtk_menu_shell_append(shell, gtk_separator_menu_item_new());
            continue;
        }
        GtkWidget* item = gtk_menu_item_new_with_mnemonic(Utf8Of(entry.text).c_str());
        if (!entry.items.empty()) {
            GtkWidget* sub = gtk_menu_new();
            AddMenuItems(GTK_MENU_SHELL(sub), entry.items, chosen);
            gtk_menu_item_set_submenu(GTK_MENU_ITEM(item), sub);
        } else {
            g_object_set_data(G_OBJECT(item), "velmo-command", GUINT_TO_POINTER(entry.id));
            g_signal_connect(item, "activate", G_CALLBACK(+[](GtkMenuItem* self, gpointer out) {
                                 *static_cast<uint32_t*>(out) =
                                     GPOINTER_TO_UINT(g_object_get_data(G_OBJECT(self), "velmo-command"));
                             }),
                             chosen);
        }
        gtk_menu_shell_append(shell, item);
    }
}

}  // namespace

GtkFrameWindow::GtkFrameWindow(GtkDesktop& desktop, ModelWindowSystem& windows, const std::string& iconSource,
                               FrameWindowEvents& events)
    : desktop_(desktop), windows_(windows), events_(events) {
    style_ = kStyleOverlappedWindow | kStyleClipSiblings;
    window_ = GTK_WINDOW(gtk_window_new(GTK_WINDOW_TOPLEVEL));
    g_object_ref_sink(window_);
    gtk_window_set_gravity(window_, GDK_GRAVITY_NORTH_WEST);
    gtk_widget_add_events(GTK_WIDGET(window_), GDK_STRUCTURE_MASK);
    g_signal_connect(window_, "delete-event", G_CALLBACK(OnDelete), this);
    g_signal_connect(window_, "configure-event", G_CALLBACK(OnConfigure), this);
    g_signal_connect(window_, "window-state-event", G_CALLBACK(OnWindowState), this);
    g_signal_connect(window_, "key-press-event", G_CALLBACK(OnKey), this);
    g_signal_connect(window_, "key-release-event", G_CALLBACK(OnKey), this);
    if (iconSource.ends_with(".ico") || iconSource.ends_with(".ICO")) (void)SetSmallIcon(iconSource);
    frame_ =
        windows_.Register("VelmoFrame", style_, rect_, 0, [this](const WindowMessage& m) { return OnModelMessage(m); });
    area_ = windows_.Register("VelmoMovieArea", kStyleChild | kStyleClipSiblings, rect_, frame_, nullptr);
    if (ModelWindowSystem::Window* area = windows_.Entry(area_)) area->visible = true;
    SyncRecord();
}

GtkFrameWindow::~GtkFrameWindow() {
    desktop_.Forget(this);
    if (sizeMoveQuiet_) g_source_remove(sizeMoveQuiet_);
    RemoveTrayIcon();
    DetachMovieWidget();
    g_signal_handlers_disconnect_by_data(window_, this);
    gtk_widget_destroy(GTK_WIDGET(window_));
    g_object_unref(window_);
    windows_.Unregister(frame_);
}

// ---- The movie widget and input ----

void GtkFrameWindow::AttachMovieWidget(GtkWidget* widget) {
    DetachMovieWidget();
    movie_ = widget;
    gtk_widget_add_events(widget, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK | GDK_BUTTON1_MOTION_MASK);
    movieHandlers_.push_back(g_signal_connect(widget, "button-press-event", G_CALLBACK(OnButton), this));
    movieHandlers_.push_back(g_signal_connect(widget, "button-release-event", G_CALLBACK(OnButton), this));
    movieHandlers_.push_back(g_signal_connect(widget, "motion-notify-event", G_CALLBACK(OnMotion), this));
    gtk_container_add(GTK_CONTAINER(window_), widget);
    gtk_widget_show(widget);
}

void GtkFrameWindow::DetachMovieWidget() {
    if (!movie_) return;
    for (const gulong id : movieHandlers_) g_signal_handler_disconnect(movie_, id);
    movieHandlers_.clear();
    gtk_container_remove(GTK_CONTAINER(window_), movie_);
    movie_ = nullptr;
}

// Key events reach the toplevel before its focus widget: the frame's filter sees them first.
gboolean GtkFrameWindow::OnKey(GtkWidget*, GdkEventKey* event, gpointer self) {
    return Guarded(FALSE, [&] { return static_cast<GtkFrameWindow*>(self)->FilterKey(*event) ? FALSE : TRUE; });
}

bool GtkFrameWindow::FilterKey(const GdkEventKey& event) {
    const uint32_t key = VirtualKeyOf(event.keyval);
    if (key == 0) return true;
    const uint32_t modifiers = ModifiersOf(event.state);
    const bool down = event.type == GDK_KEY_PRESS;
    const bool system = (modifiers & kModifierAlt) != 0 || key == 0x12;
    const KeyEvent kind =
        system ? (down ? KeyEvent::SystemDown : KeyEvent::SystemUp) : (down ? KeyEvent::Down : KeyEvent::Up);
    const KeyDecision d = events_.OnKey(kind, key, modifiers);
    if (d.close) PostCloseRequest();
    if (d.contextMenu) TrackSystemMenu();
    // Alt+F4 closes as the system's default handling does, when the filter lets it through.
    if (d.pass && down && key == 0x73 && system) events_.OnCloseRequest();
    return d.pass;
}

gboolean GtkFrameWindow::OnButton(GtkWidget*, GdkEventButton* event, gpointer self) {
    return Guarded(FALSE, [&] { return static_cast<GtkFrameWindow*>(self)->FilterButton(*event) ? FALSE : TRUE; });
}

// The buttons the movie sees go through the filter; a drag may move the window meanwhile. The
// substitute left click and the capture are the frame's to decide and the view's to carry out:
// GTK gives the pressed widget an implicit grab, so the capture is only recorded.
bool GtkFrameWindow::FilterButton(const GdkEventButton& event) {
    if (event.button != 1 && event.button != 3) return true;
    const bool left = event.button == 1;
    MouseInput input;
    if (event.type == GDK_BUTTON_PRESS) input.event = left ? MouseEvent::LeftDown : MouseEvent::RightDown;
    else if (event.type == GDK_2BUTTON_PRESS)
        input.event = left ? MouseEvent::LeftDoubleClick : MouseEvent::RightDoubleClick;
    else if (event.type == GDK_BUTTON_RELEASE) input.event = left ? MouseEvent::LeftUp : MouseEvent::RightUp;
    else return true;
    input.screenX = static_cast<int>(event.x_root);
    input.screenY = static_cast<int>(event.y_root);
    input.leftButtonDown = (event.state & GDK_BUTTON1_MASK) != 0 || input.event == MouseEvent::LeftDown;
    return FilterMouse(input, event.x, event.y);
}

// Moves with the left button down: what a drag of the window follows. Other moves go to the movie
// unfiltered, as the frame lets them through anyway.
gboolean GtkFrameWindow::OnMotion(GtkWidget*, GdkEventMotion* event, gpointer self) {
    MouseInput input;
    input.event = MouseEvent::Move;
    input.screenX = static_cast<int>(event->x_root);
    input.screenY = static_cast<int>(event->y_root);
    input.leftButtonDown = (event->state & GDK_BUTTON1_MASK) != 0;
    return Guarded(FALSE, [&] {
        return static_cast<GtkFrameWindow*>(self)->FilterMouse(input, event->x, event->y) ? FALSE : TRUE;
    });
}

// `x`, `y` in the movie widget's coordinates.
bool GtkFrameWindow::FilterMouse(MouseInput input, double x, double y) {
    input.captureHeld = capture_;
    if (dragRegion_) {
        const int ix = static_cast<int>(x), iy = static_cast<int>(y);
        input.inDragRegion =
            std::any_of(dragRegion_->begin(), dragRegion_->end(), [&](const Rect& r) { return r.Contains(ix, iy); });
    }
    const MouseDecision d = events_.OnMouse(input);
    if (d.releaseCapture || d.giveBackCapture) capture_ = false;
    if (d.takeCapture) capture_ = true;
    if (d.contextMenu) TrackSystemMenu();
    return d.pass;
}

// The system menu's additions with a Close item after them, as the context menu.
void GtkFrameWindow::TrackSystemMenu() {
    std::vector<MenuEntry> entries = additions_;
    if (!entries.empty()) entries.push_back({});
    entries.push_back({.id = kCloseCommand, .text = "_Close", .items = {}, .isDefault = false});
    const uint32_t chosen = TrackMenu(entries);
    if (chosen == kCloseCommand) events_.OnCloseRequest();
    else if (chosen != 0) events_.OnCommand(chosen);
}

uint32_t GtkFrameWindow::TrackMenu(const std::vector<MenuEntry>& entries) {
    uint32_t chosen = 0;
    GtkWidget* menu = gtk_menu_new();
    g_object_ref_sink(menu);
    AddMenuItems(GTK_MENU_SHELL(menu), entries, &chosen);
    gtk_widget_show_all(menu);
    GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
    const gulong done = g_signal_connect_swapped(menu, "deactivate", G_CALLBACK(g_main_loop_quit), loop);
    // The event that asked for the menu, when there is one, gives GTK the pointer, the time and
    // the grab a popup needs; without one (a script's or the tray's menu) it is placed at the
    // pointer against the frame's own window.
    if (GdkEvent* trigger = gtk_get_current_event()) {
        gtk_menu_popup_at_pointer(GTK_MENU(menu), trigger);
        gdk_event_free(trigger);
    } else if (GdkWindow* frame = gtk_widget_get_window(GTK_WIDGET(window_))) {
        GdkRectangle at{0, 0, 1, 1};
        GdkDisplay* display = gdk_display_get_default();
        GdkDevice* pointer = display ? gdk_seat_get_pointer(gdk_display_get_default_seat(display)) : nullptr;
        if (pointer) gdk_window_get_device_position(frame, pointer, &at.x, &at.y, nullptr);
        gtk_menu_popup_at_rect(GTK_MENU(menu), frame, &at, GDK_GRAVITY_NORTH_WEST, GDK_GRAVITY_NORTH_WEST, nullptr);
    }
    // The item's activate comes after deactivate; the idle pass after the loop delivers it.
    if (gtk_widget_get_visible(menu)) g_main_loop_run(loop);
    while (g_main_context_iteration(nullptr, FALSE)) {}
    g_signal_handler_disconnect(menu, done);
    g_main_loop_unref(loop);
    gtk_widget_destroy(menu);
    g_object_unref(menu);
    return chosen;
}

// ---- Styles, caption and geometry ----

void GtkFrameWindow::ChangeStyles(uint32_t remove, uint32_t add, uint32_t removeExtended, uint32_t addExtended) {
    style_ = (style_ & ~remove) | add | kStyleClipSiblings;
    extendedStyle_ = (extendedStyle_ & ~removeExtended) | addExtended;
    const bool caption = (style_ & kStyleCaptionBits) == kStyleCaptionBits && !(style_ & kStylePopupBit);
    gtk_window_set_decorated(window_, caption || (style_ & kStyleThickFrameBit) != 0);
    gtk_window_set_resizable(window_, (style_ & kStyleThickFrameBit) != 0);
    PlaceNative(rect_);
    // A window off the task bar is a tool window's kind of window.
    gtk_window_set_skip_taskbar_hint(window_, (extendedStyle_ & kStyleExToolWindow) != 0);
    SyncRecord();
}

void GtkFrameWindow::SetCaption(const std::string& caption) {
    caption_ = caption;
    gtk_window_set_title(window_, Utf8Of(caption).c_str());
    SyncRecord();
}

Size GtkFrameWindow::ClientSize() const {
    return {std::max(0, rect_.width - 2 * offset_.width), std::max(0, rect_.height - offset_.height - offset_.width)};
}

void GtkFrameWindow::PlaceNative(const Rect& rect) {
    const Size client{std::max(1, rect.width - 2 * offset_.width),
                      std::max(1, rect.height - offset_.height - offset_.width)};
    requested_.push_back({client, g_get_monotonic_time()});
    gtk_window_move(window_, rect.left, rect.top);
    // A window the user cannot size takes its size from its request, not from a resize.
    if (gtk_window_get_resizable(window_)) gtk_widget_set_size_request(GTK_WIDGET(window_), -1, -1);
    else gtk_widget_set_size_request(GTK_WIDGET(window_), client.width, client.height);
    gtk_window_resize(window_, client.width, client.height);
}

void GtkFrameWindow::Move(const Rect& rect, bool) {
    rect_ = rect;
    PlaceNative(rect);
    SyncRecord();
}

void GtkFrameWindow::Show(ShowCommand command) {
    switch (command) {
        case ShowCommand::Hide:
            gtk_widget_hide(GTK_WIDGET(window_));
            state_ = WindowState::Hidden;
            break;
        case ShowCommand::Show:
            gtk_widget_show(GTK_WIDGET(window_));
            if (state_ == WindowState::Hidden) state_ = WindowState::Visible;
            break;
        case ShowCommand::ShowMaximized:
            gtk_window_maximize(window_);
            gtk_widget_show(GTK_WIDGET(window_));
            state_ = WindowState::Maximized;
            break;
        case ShowCommand::Minimize:
            gtk_widget_show(GTK_WIDGET(window_));
            gtk_window_iconify(window_);
            state_ = WindowState::Minimized;
            break;
        case ShowCommand::Restore:
            gtk_widget_show(GTK_WIDGET(window_));
            if (state_ == WindowState::Minimized) gtk_window_deiconify(window_);
            else gtk_window_unmaximize(window_);
            state_ = WindowState::Visible;
            break;
    }
    SyncRecord();
}

void GtkFrameWindow::SetTopmost(bool topmost, bool show) {
    topmost_ = topmost;
    gtk_window_set_keep_above(window_, topmost);
    if (show) Show(ShowCommand::Show);
}

// The window's shape, for input and drawing alike (the X shape extension).
void GtkFrameWindow::SetRegion(const std::optional<Region>& region) {
    region_ = region;
    cairo_region_t* shape = region ? CairoRegionOf(*region) : nullptr;
    gtk_widget_shape_combine_region(GTK_WIDGET(window_), shape);
    gtk_widget_input_shape_combine_region(GTK_WIDGET(window_), shape);
    if (shape) cairo_region_destroy(shape);
}

// GTK paints on its frame clock; what is waiting to be drawn is drawn by the next pass of the loop.
void GtkFrameWindow::Update() { gtk_widget_queue_draw(GTK_WIDGET(window_)); }

// Without layered windows the sprite shows in its window as it is; the window only takes its place.
void GtkFrameWindow::PlaceForSprite(const Rect& screen, Size) {
    Move(screen, true);
    Show(ShowCommand::Show);
}

gboolean GtkFrameWindow::OnDelete(GtkWidget*, GdkEvent*, gpointer self) {
    Guarded([&] { static_cast<GtkFrameWindow*>(self)->events_.OnCloseRequest(); });
    return TRUE;  // the frame decides whether and when the window goes
}

gboolean GtkFrameWindow::OnConfigure(GtkWidget* widget, GdkEventConfigure* event, gpointer self) {
    auto* frame = static_cast<GtkFrameWindow*>(self);
    // The frame's extents come from the window manager; without one (Xvfb) there are none.
    if (GdkWindow* w = gtk_widget_get_window(widget)) {
        GdkRectangle outer;
        int x = 0, y = 0;
        gdk_window_get_frame_extents(w, &outer);
        gdk_window_get_origin(w, &x, &y);
        frame->offset_ = {std::max(0, x - outer.x), std::max(0, y - outer.y)};
        Guarded([&] { frame->Configured({outer.x, outer.y, event->width, event->height}); });
    }
    return FALSE;
}

// `client` has the frame's corner and the client area's size. A request that never got its
// configure (a size the window had already) is forgotten after a while.
void GtkFrameWindow::Configured(const Rect& client) {
    const Size size{client.width, client.height};
    const gint64 forgetBefore = g_get_monotonic_time() - kRequestAnswerUs;
    while (!requested_.empty() && requested_.front().atUs < forgetBefore) requested_.pop_front();
    const Rect now{client.left, client.top, client.width + 2 * offset_.width,
                   client.height + offset_.height + offset_.width};
    if (!requested_.empty()) {
        // The answer to a request of ours: the one of this size, else the oldest (the system may
        // have changed what we asked for). Older requests than the one answered have had theirs.
        auto answered =
            std::find_if(requested_.begin(), requested_.end(), [&](const Requested& r) { return r.client == size; });
        if (answered == requested_.end()) answered = requested_.begin();
        requested_.erase(requested_.begin(), answered + 1);
        if (!requested_.empty()) return;  // stale: a newer place is on its way
        rect_ = now;
        SyncRecord();
        return;
    }
    // Nothing asked for: the user moves or sizes the window.
    if (Size{now.width, now.height} != Size{rect_.width, rect_.height} && state_ == WindowState::Visible) {
        if (!sizing_) {
            sizing_ = true;
            events_.OnSizeMoveStart();
        }
        if (sizeMoveQuiet_) g_source_remove(sizeMoveQuiet_);
        sizeMoveQuiet_ = g_timeout_add(kSizeMoveQuietMs, OnSizeMoveQuiet, this);
    }
    rect_ = now;
    SyncRecord();
}

gboolean GtkFrameWindow::OnSizeMoveQuiet(gpointer self) {
    auto* frame = static_cast<GtkFrameWindow*>(self);
    frame->sizeMoveQuiet_ = 0;
    frame->sizing_ = false;
    Guarded([&] { frame->events_.OnSizeMoveEnd(); });
    return G_SOURCE_REMOVE;
}

gboolean GtkFrameWindow::OnWindowState(GtkWidget*, GdkEventWindowState* event, gpointer self) {
    auto* frame = static_cast<GtkFrameWindow*>(self);
    const GdkWindowState s = event->new_window_state;
    if (s & GDK_WINDOW_STATE_WITHDRAWN) frame->state_ = WindowState::Hidden;
    else if (s & GDK_WINDOW_STATE_ICONIFIED) frame->state_ = WindowState::Minimized;
    else if (s & GDK_WINDOW_STATE_MAXIMIZED) frame->state_ = WindowState::Maximized;
    else frame->state_ = WindowState::Visible;
    Guarded([&] { frame->SyncRecord(); });
    return FALSE;
}

// ---- The model record ----

void GtkFrameWindow::SyncRecord() {
    ModelWindowSystem::Window* w = windows_.Entry(frame_);
    if (!w) return;
    w->title = caption_;
    w->style = style_;
    w->extendedStyle = extendedStyle_;
    w->visible = state_ != WindowState::Hidden;
    w->minimized = state_ == WindowState::Minimized;
    w->maximized = state_ == WindowState::Maximized;
    windows_.Relocate(frame_, rect_);
    const Size client = ClientSize();
    windows_.Relocate(area_, {rect_.left + offset_.width, rect_.top + offset_.height, client.width, client.height});
    written_ = *w;
}

// A copy: each change below writes the record again.
void GtkFrameWindow::FollowRecord() {
    const ModelWindowSystem::Window* entry = windows_.Entry(frame_);
    if (!entry) return;
    const ModelWindowSystem::Window w = *entry;
    if (w.title != written_.title) SetCaption(w.title);
    if (w.rect != written_.rect) Move(w.rect, true);
    if (w.visible != written_.visible) Show(w.visible ? ShowCommand::Show : ShowCommand::Hide);
    if (w.minimized != written_.minimized) Show(w.minimized ? ShowCommand::Minimize : ShowCommand::Restore);
}

// What the frame's window procedure does with the messages scripts send it by handle.
intptr_t GtkFrameWindow::OnModelMessage(const WindowMessage& m) {
    switch (m.message) {
        case kMsgClose:
        case kCloseMessage: events_.OnCloseRequest(); return 0;
        case kMsgEnterSizeMove: events_.OnSizeMoveStart(); return 0;
        case kMsgExitSizeMove: events_.OnSizeMoveEnd(); return 0;
        case kMsgCommand: events_.OnCommand(static_cast<uint32_t>(m.wParam & 0xFFFF)); return 0;
        case kMsgSysCommand:
            if ((m.wParam & 0xFFFF) < kFirstSystemCommand) events_.OnCommand(static_cast<uint32_t>(m.wParam & 0xFFFF));
            return 0;
        case kMsgInitMenuPopup: Menus().NotifyOpening(static_cast<MenuHandle>(m.wParam)); return 0;
        default: return 0;
    }
}

// ---- Tray, icons, pointer, focus ----

// GtkStatusIcon is deprecated but is GTK 3's only tray icon; it shows only where the desktop has a
// tray (none under Xvfb), and it has no balloons.
G_GNUC_BEGIN_IGNORE_DEPRECATIONS
void GtkFrameWindow::SetTrayIcon(GdkPixbuf* pixbuf, const std::string& tip) {
    if (!tray_) {
        tray_ = pixbuf ? gtk_status_icon_new_from_pixbuf(pixbuf)
                       : gtk_status_icon_new_from_icon_name("application-x-executable");
        g_signal_connect(
            tray_, "activate", G_CALLBACK(+[](GtkStatusIcon*, gpointer self) {
                Guarded([&] { static_cast<GtkFrameWindow*>(self)->events_.OnTrayNotify(kTrayLeftDoubleClick); });
            }),
            this);
        g_signal_connect(
            tray_, "popup-menu", G_CALLBACK(+[](GtkStatusIcon*, guint, guint, gpointer self) {
                Guarded([&] { static_cast<GtkFrameWindow*>(self)->events_.OnTrayNotify(kTrayRightButtonUp); });
            }),
            this);
    } else if (pixbuf) {
        gtk_status_icon_set_from_pixbuf(tray_, pixbuf);
    }
    tip_ = tip.substr(0, kTipLimit);
    gtk_status_icon_set_tooltip_text(tray_, Utf8Of(tip_).c_str());
    gtk_status_icon_set_visible(tray_, TRUE);
}

void GtkFrameWindow::RemoveTrayIcon() {
    if (!tray_) return;
    g_signal_handlers_disconnect_by_data(tray_, this);
    gtk_status_icon_set_visible(tray_, FALSE);
    g_object_unref(tray_);
    tray_ = nullptr;
}
G_GNUC_END_IGNORE_DEPRECATIONS

// The application's icon resources are Windows icons inside the image; the tray shows the desktop's
// icon for programs instead.
bool GtkFrameWindow::ShowTrayIcon(int, const std::string& tip) {
    SetTrayIcon(nullptr, tip);
    return true;
}

bool GtkFrameWindow::ShowTrayIconFile(const std::string& iconFile, const std::string& tip) {
    GdkPixbuf* pixbuf = gdk_pixbuf_new_from_file(iconFile.c_str(), nullptr);
    if (!pixbuf) return false;
    SetTrayIcon(pixbuf, tip);
    g_object_unref(pixbuf);
    return true;
}

bool GtkFrameWindow::SetSmallIcon(const std::string& iconFile) {
    return gtk_window_set_icon_from_file(window_, iconFile.c_str(), nullptr) != FALSE;
}

bool GtkFrameWindow::SetMovieCursor(const std::string& cursorFile) {
    GdkWindow* w = movie_ ? gtk_widget_get_window(movie_) : nullptr;
    if (cursorFile.empty()) {
        if (w) gdk_window_set_cursor(w, nullptr);
        return true;
    }
    GdkPixbuf* pixbuf = gdk_pixbuf_new_from_file(cursorFile.c_str(), nullptr);
    if (!pixbuf) return false;
    GdkCursor* cursor = gdk_cursor_new_from_pixbuf(gdk_display_get_default(), pixbuf, 0, 0);
    g_object_unref(pixbuf);
    if (w) gdk_window_set_cursor(w, cursor);
    if (cursor) g_object_unref(cursor);
    return cursor != nullptr;
}

void GtkFrameWindow::ApplyPointerShown(bool shown) {
    GdkWindow* w = gtk_widget_get_window(GTK_WIDGET(window_));
    if (!w) return;
    GdkCursor* cursor = shown ? nullptr : gdk_cursor_new_for_display(gdk_display_get_default(), GDK_BLANK_CURSOR);
    gdk_window_set_cursor(w, cursor);
    if (cursor) g_object_unref(cursor);
}

bool GtkFrameWindow::MovieHasFocus() const { return movie_ && gtk_widget_has_focus(movie_); }

void GtkFrameWindow::FocusMovie() {
    if (movie_) gtk_widget_grab_focus(movie_);
}

// ---- Dialogs ----

void GtkFrameWindow::ShowAbout(const std::string& title, const std::string& text) {
    GtkWidget* box =
        gtk_message_dialog_new(window_, GTK_DIALOG_MODAL, GTK_MESSAGE_INFO, GTK_BUTTONS_OK, "%s", Utf8Of(text).c_str());
    gtk_window_set_title(GTK_WINDOW(box), Utf8Of(title).c_str());
    gtk_dialog_run(GTK_DIALOG(box));
    gtk_widget_destroy(box);
}

// The options sheet has no GTK form: it is answered from the values file, as headless.
SheetResult GtkFrameWindow::RunPropertySheet(SheetDescription& sheet) { return AnswerSheetFromEnvironment(sheet); }

bool GtkFrameWindow::OpenHelp(const std::string& path) {
    if (path.empty()) return false;
    gchar* uri = g_filename_to_uri(path.c_str(), nullptr, nullptr);
    if (!uri) return false;
    const gboolean shown = gtk_show_uri_on_window(window_, uri, GDK_CURRENT_TIME, nullptr);
    g_free(uri);
    return shown != FALSE;
}

void GtkFrameWindow::PostCloseRequest() {
    desktop_.Post([this] { events_.OnCloseRequest(); });
}

}  // namespace velmo::platform::gtk
