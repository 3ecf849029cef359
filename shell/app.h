#pragma once
// The application object: the start-up sequence, idle-time work and shutdown. Start-up reads the
// identifier, creates the run folder, loads the settings, creates the main frame, runs the start-up
// script and loads the movie, in that order, because each step reads what the earlier ones made.
// Shutdown undoes whatever part of that happened, and always removes the run folder.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/profile.h"
#include "shell/identifier_record.h"
#include "shell/main_frame.h"
#include "shell/movie_list.h"
#include "shell/player_setup.h"
#include "shell/script_host.h"
#include "shell/settings_record.h"

namespace velmo::shell {

class App;

// What the application object reaches outside itself; tests replace parts of it.
class AppServices {
public:
    virtual ~AppServices() = default;
    virtual bool StartSockets();
    virtual void StopSockets();
    virtual bool StartOle();
    virtual void StopOle();
    virtual bool CreateOwnerWindow() { return true; }
    virtual void DestroyOwnerWindow() {}
    virtual std::unique_ptr<MainFrame> MakeFrame() = 0;
    virtual ScriptHost& Scripts() = 0;
    // The frame and settings the movie's window commands act on: given once the frame exists,
    // taken back (null) before it goes.
    virtual void AttachFrame(MainFrame* /*frame*/, SettingsRecord* /*settings*/) {}
    // The application object, for the scripts' view of the projector: given when it is made,
    // taken back (null) when it goes.
    virtual void AttachApplication(App* /*app*/) {}
    // The movie path the scripts choose at start-up instead of the configured movie; none keeps it.
    virtual std::optional<std::string> ChooseMovie() { return std::nullopt; }
};

class App {
public:
    using Log = std::function<void(const std::string&)>;
    App(AppServices& services, Log log = nullptr) : services_(services), log_(std::move(log)) {
        services_.AttachApplication(this);
    }
    ~App();

    // Runs the start-up sequence for the command-line `args` (program name excluded); false means
    // the process ends without a message loop (also after an installer hook ran).
    bool InitInstance(const std::vector<std::string>& args);
    // Runs one queued asynchronous script; true while more are queued.
    bool OnIdle(int idleCount);
    // Delivers the next waiting event of the main frame and its movie; false when none is waiting
    // or the window is closing.
    bool DeliverEvent();
    // Closing the main window: the script engine goes and the frame is destroyed.
    void CloseMainWindow();
    int ExitInstance();

    const SettingsRecord& Settings() const { return settings_; }
    // The records scripts change in place while the application runs.
    SettingsRecord& MutableSettings() { return settings_; }
    // The application's profile store; null before the identifier was read.
    platform::Profile* Profile() const { return profile_.get(); }
    // Takes the keyboard and pointer restrictions away and installs them again for the interaction
    // record as it stands now.
    void ReapplyInputRestrictions();
    // Applies the whole settings record to the running frame again, as after the options sheet:
    // look, place, shape, input, window flags, menus, help and background, mute, ratio, tray.
    void ReapplySettings();
    const MovieListRecord& Movies() const { return movies_; }
    const IdentifierRecord& Identifier() const { return identifier_; }
    MainFrame* Frame() const { return frame_.get(); }
    bool CommandLineModeHandled() const { return commandLineModeHandled_; }
    // The name messages are titled with: the executable's name without folder and extension.
    const std::string& AppName() const { return appName_; }

    // One line of the application's log (`[app]` under `velmo play --verbose`).
    void Note(const std::string& line) const;

    // Runs the compiled script resource `name` (type "VELMO"), as the "Velmo_Run" command does.
    ScriptRun RunScriptResource(const std::string& name);

private:
    bool RunInstallerHook(const std::string& name);
    bool ReadIdentifier();
    bool CreateFrame();
    std::string ChooseControl();
    bool RunStartupScript();
    void ApplyMute();
    void ReapplyMute();
    void ReapplyTrayIcon();
    // "Config...": the options sheet over the current settings; OK stores and applies its values.
    void RunOptionsSheet();
    void LoadMovieOrShowEmpty();
    void Fail(const std::string& message) const;

    AppServices& services_;
    Log log_;
    std::string appName_;
    IdentifierRecord identifier_;
    std::unique_ptr<platform::Profile> profile_;
    SettingsRecord settings_;
    MovieListRecord movies_;
    std::unique_ptr<MainFrame> frame_;
    PlayerSetup player_{[this](const std::string& line) { Note(line); }};
    InputBlockHandle inputBlock_ = 0;
    bool ownerWindow_ = false;
    bool socketsStarted_ = false;
    bool mutedByUs_ = false;
    bool previousMute_ = false;
    bool commandLineModeHandled_ = false;
};

}  // namespace velmo::shell
