#pragma once
// What the Application object, its settings objects and the global host functions reach of the
// running projector: its settings records, the main frame, the movie control, the attached
// package, the profile and the message loop. The shell implements it for a running application
// (shell/projector_bridge.h) and hands it to every engine it makes (EngineOptions::host). An engine
// made without one (a script run by `velmo run`, a unit test) gets StandaloneProjector(): settings
// records of its own that nothing applies, no frame, no movie, no package, and the tool's own
// profile. Every member answers on both desktops; the headless frame records what it did.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/window.h"
#include "shell/settings_record.h"

namespace velmo::platform {
class MovieControl;
class Profile;
}  // namespace velmo::platform

namespace velmo::script {
class Interpreter;
}

namespace velmo::host {

struct MovieCallContext;

// A change scripts made to Settings() that the running frame must take up. The frame reads the
// records again; nothing is passed with the change.
enum class SettingsChange {
    WindowShape,        // the shape and its mask path: the frame's private shape message
    FrameStyle,         // border style and icons
    ScaleMode,          // the frame's private scale-mode message with the record's scale mode
    Caption,            // the window title
    Layout,             // size and position: laid out again when a movie is loaded
    WindowFlags,        // always on top, start minimized
    ContextMenu,        // the menu additions: the system and context menus are rebuilt
    InputRestrictions,  // the keyboard restrictions are removed and installed again
};

// The notification-area icon as the SysTray object describes it.
struct TrayIconSpec {
    std::string tip;
    std::string iconFile;  // an ".ico" file; empty for the application's icon resource
    int iconResource = 128;
};
struct TrayBalloon {
    std::string text, title;
    std::string icon;  // "info", "warning", "error" or empty
    uint32_t timeoutMs = 0;
};

class Projector {
public:
    Projector();
    virtual ~Projector();
    Projector(const Projector&) = delete;
    Projector& operator=(const Projector&) = delete;

    // ---- Records
    // The settings records the frame was made from; scripts change them in place, then Apply.
    virtual shell::SettingsRecord& Settings() { return settings_; }
    // The paths of the movie collection's entries whose flag is 1, in list order.
    virtual std::vector<std::string> MovieCollection() const { return {}; }
    // The decoded bytes of the menu definition `name` the application carries (resource type
    // "MENUS", shell/menu_definition.h); none when it has no such definition.
    virtual std::optional<std::vector<uint8_t>> MenuDefinition(const std::string& /*name*/) const {
        return std::nullopt;
    }

    // ---- The main frame
    virtual void Apply(SettingsChange /*change*/) {}
    // The frame window's system handle (on the headless desktop a handle of its model); 0 without
    // a frame.
    virtual uintptr_t MainWindow() const { return 0; }
    // Replaces the frame's small icon by the 16 x 16 icon of `iconFile`; false when it cannot be
    // loaded (the old icon stays).
    virtual bool SetSmallIcon(const std::string& /*iconFile*/) { return false; }
    // Posts a system command (the About box's 0x800C) to the frame.
    virtual void PostSystemCommand(uint32_t /*command*/) {}
    // The part of the window with which the user moves it; none: no such part.
    virtual void SetDragRegion(std::optional<platform::Region> /*region*/) {}
    // The pointer over the frame: shown or hidden (a display count, as the system keeps it), and
    // the custom cursor loaded from a file (false when it cannot be loaded; the old one stays);
    // an empty path drops the custom cursor.
    virtual void ShowPointer(bool /*show*/) {}
    virtual bool SetCustomCursor(const std::string& /*cursorFile*/) { return false; }
    // The mouse capture and the keyboard focus of the movie window.
    virtual bool MovieWindowHasCapture() const { return false; }
    virtual void SetMovieWindowCapture(bool /*capture*/) {}
    virtual bool MovieWindowHasFocus() const { return false; }
    virtual void FocusMovieWindow() {}
    // The system's synchronous send-message call; 0 where there is no such window.
    virtual intptr_t SendWindowMessage(uintptr_t /*window*/, uint32_t /*message*/, uintptr_t /*wParam*/,
                                       intptr_t /*lParam*/) {
        return 0;
    }

    // ---- The tray icon
    virtual bool ShowTrayIcon(const TrayIconSpec& /*icon*/) { return false; }
    virtual bool RemoveTrayIcon() { return false; }
    virtual bool TrayIconShown() const { return false; }
    virtual bool ShowTrayBalloon(const TrayBalloon& /*balloon*/) { return false; }

    // ---- The movie
    // The frame's movie control; null without one.
    virtual platform::MovieControl* Movie() const { return nullptr; }
    // The movie window (the control's own window in the frame, or the frame's movie area); 0
    // without one.
    virtual uintptr_t MovieWindow() const { return 0; }
    // The frame's client area; none without a frame.
    virtual std::optional<platform::Size> MainClientSize() const { return std::nullopt; }
    // The loaded movie's frame size in pixels; none while no movie of a known size is loaded.
    virtual std::optional<platform::Size> MovieFrameSize() const { return std::nullopt; }
    // The movie command channel's side of movie calls; null without a channel.
    virtual const MovieCallContext* MovieCalls() const { return nullptr; }
    // Runs a movie command ("Velmo_Run" with a script name) as the channel runs an fscommand.
    virtual void RunCommand(const std::string& /*command*/, const std::string& /*ansiArgument*/) {}

    // ---- The process
    // The command line as the process got it, the program first.
    virtual std::string CommandLine() const;
    // Takes the named file out of the attached package into the run folder and gives its path;
    // empty when there is no such file (or no package).
    virtual std::string ExtractAttachedFile(const std::string& /*packagePath*/) { return {}; }
    // The folder attached files are extracted to; empty without a package.
    virtual std::string AttachmentsFolder() const { return {}; }
    // The application's profile store (the registry on Windows); null when there is none.
    virtual platform::Profile* Profile();
    // Handles the window events waiting now; false when the application is to end (the quit
    // message came, or the frame is closing).
    virtual bool PumpMessages();

    // ---- The frame on the desktop: moving it, the desktop-toy sprite, the display mode
    // The frame window's rectangle on the screen; none without a frame.
    virtual std::optional<platform::Rect> MainWindowRect() const { return std::nullopt; }
    // Puts the frame window's top left corner at `left`, `top`, keeping its size; false without a frame.
    virtual bool MoveMainWindow(int /*left*/, int /*top*/) { return false; }
    // The desktop's work area (the screen less the task bar); none without a desktop.
    virtual std::optional<platform::Rect> WorkArea() const { return std::nullopt; }
    // The mouse pointer on the screen; none without a desktop.
    virtual std::optional<platform::Point> PointerPosition() const { return std::nullopt; }
    // The sprite a desktop-toy movie publishes: the name of the movie object holding its bounds and
    // the frame label that updates them (8-bit texts, either may be empty). An empty name: no sprite.
    virtual void SetSprite(const std::string& /*boundsName*/, const std::string& /*frameLabel*/) {}
    // Tells what the application did to the system outside its frame (a display mode change), for
    // `velmo play --verbose`; nothing hears it without an application.
    virtual void Note(const std::string& /*line*/) {}

private:
    shell::SettingsRecord settings_;
    std::unique_ptr<platform::Profile> profile_;
};

// The projector an engine made without one uses: one per process.
Projector& StandaloneProjector();
// The projector of the engine that runs `interp`.
Projector& ProjectorOf(const script::Interpreter& interp);

}  // namespace velmo::host
