#pragma once
// The main frame: the projector's only top-level window and the movie control inside it. The
// start-up sequence creates it and hands it the movie and every settings record in turn; the movie's
// commands and the user re-apply them later. Every decision comes from the pure rules of
// frame_rules.h; the window itself is the desktop's (platform/window.h), so the same frame runs
// over the real Win32 window and over the headless model. Each operation is also told as one line
// of text, for `velmo play --verbose` and for tests, with what the window answered afterwards.

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/movie_control.h"
#include "platform/property_sheet.h"
#include "platform/window.h"
#include "shell/frame_rules.h"
#include "shell/mouse_filter.h"
#include "shell/renderer.h"
#include "shell/settings_record.h"

namespace velmo::shell {

using InputBlockHandle = int;  // 0: nothing blocked

// Menu command identifiers of the frame's menus.
enum : uint32_t {
    kCommandClose = 8,
    kCommandConfigure = 0x8009,
    kCommandHelp = 0x800A,
    kCommandAbout = 0x800C,
    kCommandShowHide = 0x8010,
    // Commands of the scripts' menus, handed to them before the frame's own handling.
    kFirstScriptedCommand = 0xB798,
    kLastScriptedCommand = 0xDEA7,
};

class MainFrame final : private platform::FrameWindowEvents {
public:
    using Sink = std::function<void(const std::string&)>;
    // Makes the movie control inside a newly created window, from `controlFile` or, when that is
    // empty, by the player's class id; null when the control cannot be created.
    using ControlFactory =
        std::function<std::unique_ptr<platform::MovieControl>(platform::FrameWindow&, const std::string& controlFile)>;
    // Names the control file once the window exists (scripts it runs may look at the window).
    using ControlFileChooser = std::function<std::string()>;

    MainFrame(platform::Desktop& desktop, ControlFactory makeControl, Sink sink = nullptr);
    ~MainFrame() override;
    MainFrame(const MainFrame&) = delete;
    MainFrame& operator=(const MainFrame&) = delete;

    // Creates the hidden window (owned by the hidden owner window) and the movie control inside it,
    // from the file `chooseControlFile` names (by class id without a chooser). False when the
    // window cannot be made; a control that cannot be made leaves Control() null.
    [[nodiscard]] bool Create(const std::string& iconSource, const ControlFileChooser& chooseControlFile = nullptr);
    void SetNoMovie();
    // The key of a movie stored enciphered (empty for a plain one): from the next LoadMovie on,
    // every reader of the movie file, the control's module included, sees its plain bytes.
    void SetMovieKey(std::string key);
    void LoadMovie(const std::string& path, bool autoPlay);
    // Hides the window and gives it the styles and caption of `appearance`; the movie gets its
    // scale mode. The window stays hidden until ApplySizeAndPosition or Show.
    void ApplyAppearance(const Appearance& appearance);
    // Places and shows the window; the movie's own size comes from the loaded movie's header.
    void ApplySizeAndPosition(const SizeAndPosition& size);
    // The clip shape's region from its mask file in the run folder (none when the file is missing).
    void ApplyWindowRegion(const std::vector<std::string>& regions);
    // The window shape as the settings give it: only the clip shape has a window region.
    void ApplyWindowShape(const Appearance& appearance, const std::vector<std::string>& regions);
    // Transparent mode: the renderer draws the movie into the window with its background see-through.
    // Switched off, the window gets back the place it had when the mode was switched on.
    void SetTransparentMode(bool on);
    void Show();
    // Takes the client area's width / height, which resizing keeps when the settings ask for it.
    void KeepAspectRatio();
    void ApplyWindowFlags(const Behaviour& behaviour);  // always on top, start minimized
    void ApplyMiscellaneous(const Miscellaneous& misc);
    void AddMenuCommands(const Behaviour& behaviour);
    // What the About box shows: the product's texts and the About box record's.
    void SetAboutInformation(const AboutText& about, const AboutBox& box);
    InputBlockHandle DisableInput(const Interaction& interaction);
    void EnableInput(InputBlockHandle handle);
    void AddTrayIcon(int iconResource);
    void Update();

    // ---- What scripts change while the frame runs
    // The styles and caption of `appearance` on the window as it stands (it is not hidden).
    void ApplyFrameStyle(const Appearance& appearance);
    void SetCaption(const std::string& caption);
    // The movie's scale mode, as the frame's private scale-mode message sets it.
    void SetScaleMode(uint32_t mode);
    // Lays the window out again for the loaded movie; false (the record kept for the next layout)
    // while no movie is loaded.
    bool Relayout(const SizeAndPosition& size);
    // The tray icon from an ".ico" file, or from `iconResource` when the file is empty.
    bool ShowTrayIcon(const std::string& iconFile, int iconResource, const std::string& tip);
    bool RemoveTrayIcon();
    bool ShowTrayBalloon(const std::string& text, const std::string& title, const std::string& icon,
                         uint32_t timeoutMs);
    bool SetSmallIcon(const std::string& iconFile);
    void SetDragRegion(const std::optional<platform::Region>& region);
    void ShowPointer(bool show);
    bool SetMovieCursor(const std::string& cursorFile);
    void SetMovieCapture(bool capture);
    void FocusMovie();
    // A command of the frame's menus, as if the user chose it (the About box's, the Close item's).
    void RunMenuCommand(uint32_t id) { RunCommand(id); }
    // Who runs the options sheet when the user chooses "Config..." (command 0x8009); the command
    // does nothing while the menus do not offer it.
    void SetConfigureHandler(std::function<void()> handler) { configure_ = std::move(handler); }
    // Shows `sheet` modally over the window and tells how it closed; the values chosen stay in it.
    platform::SheetResult RunPropertySheet(platform::SheetDescription& sheet);
    // Who hears of the tray icon's mouse messages first: false from it skips the built-in
    // handling (the menu, the double click that shows the window).
    void SetTrayListener(std::function<bool(uint32_t mouseMessage)> listener) { trayListener_ = std::move(listener); }
    // Who hears of the commands of the scripts' menus (kFirstScriptedCommand..kLastScriptedCommand);
    // true when it took the command, which then goes no further.
    void SetScriptedCommandListener(std::function<bool(uint32_t id)> listener) {
        scriptedCommands_ = std::move(listener);
    }
    // Who hears of each movie path the control accepted.
    void SetMovieLoadedListener(std::function<void(const std::string& path)> listener) {
        movieLoaded_ = std::move(listener);
    }
    void Destroy();

    // The movie control inside the frame; null until Create made it and after Destroy.
    platform::MovieControl* Control() const { return control_.get(); }
    // The movie last handed to the control; empty before the first.
    const std::string& MoviePath() const { return moviePath_; }
    // Delivers one event of the window or its movie, waiting for one when none is waiting; false
    // once the frame is closing or no event can come any more. Idle work runs between calls, as a
    // message loop runs it.
    bool DeliverEvent();

    std::string Caption() const;
    // Script names queued by asynchronous run requests, run one per idle pass.
    std::deque<std::string>& AsyncQueue() { return asyncQueue_; }
    // Asks for the close the close box gives. It is only posted: a movie command asking for it is
    // still running, and closing takes the script engine away.
    void PostClose() { closePosted_ = true; }
    bool ClosePosted() const { return closePosted_; }
    // The user's session ended while the frame was up.
    bool SessionEnded() const { return sessionEnded_; }

    platform::FrameWindow* Window() const { return window_.get(); }
    // The transparent window's renderer while the shape asks for one.
    const Renderer* GetRenderer() const { return renderer_.get(); }
    // The sprite a desktop-toy movie publishes: a transparent window shrinks to it. None stops it.
    void SetSprite(std::optional<SpriteSource> sprite);
    // Makes the frame close once its movie has nothing more to say, as a window without a user
    // would: `velmo play` runs so on every desktop. The runtime waits for its user instead.
    void SetClosesWhenMovieIsDone(bool closes) { closesWhenMovieIsDone_ = closes; }
    // Keeps a transparent window to a region even where layered windows exist.
    void SetRegionOnlyTransparency(bool regionOnly) { regionOnly_ = regionOnly; }
    // Asked each time a transparent window begins: true keeps that one to a region too (the
    // scripts may ask for it while the application runs).
    void SetRegionOnlyQuery(std::function<bool()> query) { regionOnlyQuery_ = std::move(query); }
    bool Visible() const;
    const std::vector<std::string>& Applied() const { return applied_; }

private:
    void Record(const std::string& line);
    void ShowTrayMenu();
    void RunCommand(uint32_t id);
    std::vector<platform::MenuEntry> MenuEntries(const std::vector<MenuItem>& items) const;

    void OnCloseRequest() override;
    void OnEndSession() override;
    void OnSizeMoveStart() override;
    void OnSizeMoveEnd() override;
    void OnCommand(uint32_t id) override;
    void OnTrayNotify(uint32_t mouseMessage) override;
    platform::KeyDecision OnKey(platform::KeyEvent event, uint32_t key, uint32_t modifiersDown) override;
    platform::MouseDecision OnMouse(const platform::MouseInput& input) override;
    void OnScaleModeMessage(int mode) override;
    void OnBackgroundMessage(uint32_t rgb) override;
    void OnShapeMessage() override;
    void OnTransparentModeMessage(bool on) override;
    bool OnPaintControl(std::optional<platform::Rect> dirty) override;

    platform::Desktop& desktop_;
    ControlFactory makeControl_;
    Sink sink_;
    std::unique_ptr<platform::FrameWindow> window_;
    std::unique_ptr<platform::MovieControl> control_;
    std::unique_ptr<Renderer> renderer_;
    std::optional<SpriteSource> sprite_;  // before the window and control it draws, after them in destruction order
    std::vector<std::string> applied_;
    std::deque<std::string> asyncQueue_;
    std::string caption_;
    std::string moviePath_;
    std::string movieKey_;
    std::string controlFile_;  // the file the control was made from; empty when made by class id
    bool readsRedirected_ = false;
    std::vector<std::string> regions_;
    std::string aboutTitle_, aboutText_;
    std::string
        helpPath_;  // the extracted help file, when the settings name one  // the region images of the last shape applied
    Appearance appearance_;
    Interaction interaction_;
    SizeAndPosition size_;
    MouseFilter mouse_;
    uint32_t menuAdditions_ = 0;
    double aspectRatio_ = 0;
    platform::Size sizeMoveStart_;
    bool regionOnly_ = false;
    std::optional<platform::Rect> transparentFrom_;  // the window's place when transparent mode began
    bool closesWhenMovieIsDone_ = false;
    bool closePosted_ = false;
    bool sessionEnded_ = false;
    bool destroyed_ = false;
    std::function<bool(uint32_t)> trayListener_;
    std::function<void()> configure_;
    std::function<bool(uint32_t)> scriptedCommands_;
    std::function<bool()> regionOnlyQuery_;
    std::function<void(const std::string&)> movieLoaded_;
};

}  // namespace velmo::shell
