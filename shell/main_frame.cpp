#include "shell/main_frame.h"

#include <cstdio>

#include "platform/files.h"
#include "platform/path.h"
#include "platform/timers.h"
#include "shell/movie_cipher.h"
#include "shell/movie_header.h"
#include "shell/movie_host.h"
#include "shell/package.h"
#include "shell/shell_error.h"
#include "shell/run_folder.h"
#include "shell/window_region.h"

namespace velmo::shell {

namespace {

std::string Hex(uint32_t v) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", v);
    return text;
}

std::string RectText(const platform::Rect& r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + " " + std::to_string(r.width) + "x" +
           std::to_string(r.height);
}

// The tray's and the system menu's mouse messages, by the system's numbers.
constexpr uint32_t kLeftDoubleClick = 0x203;
constexpr uint32_t kRightButtonUp = 0x205;

// The player's own commands, forwarded to the movie control.
bool IsPlayerCommand(uint32_t id) {
    return id == 0x4E39 || id == 0x4E3E || (id >= 0x4E42 && id <= 0x4E45) || (id >= 0x4E47 && id <= 0x4E4C) ||
           id == 0x4E4E;
}

platform::MenuEntry Command(uint32_t id, const char* text) { return {id, text, {}, false}; }

platform::MenuEntry PlayerMenu() {
    platform::MenuEntry quality{
        0, "Quality", {Command(0x4E43, "Low"), Command(0x4E44, "Medium"), Command(0x4E45, "High")}};
    return {0,
            "Macromedia Flash Player",
            {Command(0x4E4A, "Zoom In"),
             Command(0x4E3E, "Zoom Out"),
             Command(0x4E4E, "100%"),
             Command(0x4E42, "Show All"),
             {},
             quality,
             {},
             Command(0x4E47, "Play"),
             Command(0x4E4B, "Loop"),
             {},
             Command(0x4E39, "Rewind"),
             Command(0x4E48, "Forward"),
             Command(0x4E49, "Back"),
             {},
             Command(0x4E4C, "About Macromedia Flash Player...")}};
}

// The mask file of the clip shape: the clip image's name with ".msk" in the run folder. The
// builder stores region images under their stem, so a clip image given with its folder and
// extension finds its mask too.
std::optional<platform::Region> ReadMask(const std::string& clipImage) {
    if (clipImage.empty() || RunFolder().empty()) return std::nullopt;
    for (const std::string& name : {clipImage, std::string(platform::StemPart(clipImage))}) {
        std::vector<uint8_t> bytes;
        if (platform::ReadWholeFile(RunFolder() + name + ".msk", bytes)) return ParseMaskFile(bytes);
    }
    return std::nullopt;
}

}  // namespace

MainFrame::MainFrame(platform::Desktop& desktop, ControlFactory makeControl, Sink sink)
    : desktop_(desktop), makeControl_(std::move(makeControl)), sink_(std::move(sink)) {}

MainFrame::~MainFrame() {
    if (readsRedirected_) (void)platform::RedirectMovieReads({}, {}, nullptr);
    renderer_.reset();
    if (control_) control_->SetEventSink(nullptr);
    control_.reset();
    window_.reset();
}

void MainFrame::Record(const std::string& line) {
    applied_.push_back(line);
    if (sink_) sink_(line);
}

bool MainFrame::Create(const std::string& iconSource, const ControlFileChooser& chooseControlFile) {
    window_ = desktop_.CreateFrameWindow(iconSource, *this);
    if (!window_) return false;
    Record("frame created, icon " + iconSource + ", accelerators 128");
    const std::string controlFile = chooseControlFile ? chooseControlFile() : std::string();
    controlFile_ = controlFile;
    if (makeControl_) control_ = makeControl_(*window_, controlFile);
    Record((controlFile.empty() ? std::string("control by class id ") + platform::kPlayerClassId
                                : "control from \"" + controlFile + "\"") +
           (control_ ? "" : ": cannot be created"));
    return true;
}

void MainFrame::SetNoMovie() { Record("no movie"); }

void MainFrame::SetMovieKey(std::string key) { movieKey_ = std::move(key); }

void MainFrame::LoadMovie(const std::string& path, bool autoPlay) {
    moviePath_ = path;
    Record("movie \"" + path + "\"" + (autoPlay ? ", playing" : ", stopped"));
    if (!movieKey_.empty() && !path.empty()) {
        const std::string key = movieKey_;
        readsRedirected_ =
            platform::RedirectMovieReads(controlFile_, path, [path, key] { return OpenEncipheredMovie(path, key); });
        Record(readsRedirected_ ? "movie enciphered: its readers see it deciphered"
                                : "movie enciphered, but its reads cannot be redirected");
    }
    if (control_ && LoadMovieInto(*control_, path, autoPlay) && movieLoaded_) movieLoaded_(path);
}

void MainFrame::ApplyAppearance(const Appearance& a) {
    appearance_ = a;
    caption_ = a.caption;
    std::string line = "appearance: shape " + std::to_string(a.windowShape) + ", border " + Hex(a.borderStyle) +
                       ", icons " + Hex(a.borderIcons) + ", scale " + Hex(a.scaleMode) + ", caption \"" + a.caption +
                       "\"";
    if (window_) {
        const WindowStyles styles = ComputeWindowStyles(a);
        window_->Show(platform::ShowCommand::Hide);
        window_->ChangeStyles(styles.remove, styles.add, styles.removeExtended, styles.addExtended);
        window_->SetCaption(a.caption);
        line += ", style " + Hex(window_->Style()) + ", extended " + Hex(window_->ExtendedStyle());
    }
    Record(line);
    if (control_) ApplyScaleMode(*control_, a.scaleMode);
}

void MainFrame::ApplySizeAndPosition(const SizeAndPosition& s) {
    size_ = s;
    std::string line = "size: mode " + std::to_string(s.sizeMode) + " " + std::to_string(s.width) + "x" +
                       std::to_string(s.height) + ", position " + std::to_string(s.position) + " at " +
                       std::to_string(s.x) + "," + std::to_string(s.y) + (s.keepRatio ? ", keep ratio" : "");
    if (window_) {
        std::optional<Size> movie;
        if ((s.sizeMode == kSizeMovie || s.sizeMode == kSizeMaximized) && !moviePath_.empty())
            if (const std::optional<MovieHeader> header = ReadMovieHeader(moviePath_)) movie = header->FrameSize();
        const Placement p =
            ComputePlacement(s, desktop_.ScreenSize(), window_->WindowRect(), window_->ClientSize(), movie);
        if (p.rect) window_->Move(*p.rect, p.repaint);
        window_->Show(p.show == ShowMode::ShowMaximized ? platform::ShowCommand::ShowMaximized
                                                        : platform::ShowCommand::Show);
        const Size client = window_->ClientSize();
        line += " -> window " + RectText(window_->WindowRect()) + ", client " + std::to_string(client.width) + "x" +
                std::to_string(client.height);
        if (movie) line += ", movie " + std::to_string(movie->width) + "x" + std::to_string(movie->height);
    }
    Record(line);
}

void MainFrame::ApplyWindowRegion(const std::vector<std::string>& regions) {
    regions_ = regions;
    std::string line = "window region from " + std::to_string(regions.size()) + " image(s)";
    if (window_) {
        if (const std::optional<platform::Region> mask = ReadMask(appearance_.clipShapeImage)) {
            std::optional<Size> movie;
            if (const std::optional<MovieHeader> header = ReadMovieHeader(moviePath_)) movie = header->FrameSize();
            const int scale = control_ ? control_->ScaleMode() : 0;
            const platform::Region placed = PlaceMaskRegion(*mask, movie.value_or(window_->ClientSize()),
                                                            window_->ClientSize(), scale, window_->ClientOffset());
            window_->SetRegion(placed);
            window_->Update();
            line += ", " + std::to_string(placed.size()) + " rectangle(s)";
        }
    }
    Record(line);
}

void MainFrame::ApplyWindowShape(const Appearance& appearance, const std::vector<std::string>& regions) {
    appearance_ = appearance;
    const ShapeRequest shape = ComputeShape(appearance);
    if (!shape.transparentControl) SetTransparentMode(false);
    if (shape.clipRegion) ApplyWindowRegion(regions);
    else if (window_ && !shape.transparentControl) window_->SetRegion(std::nullopt);
    if (shape.transparentControl) SetTransparentMode(true);
}

void MainFrame::SetTransparentMode(bool on) {
    if (!on) {
        if (!renderer_) return;
        renderer_.reset();
        // A sprite (or a script) may have moved or shrunk the window meanwhile: it gets back the
        // place it had when the movie became transparent.
        if (window_ && transparentFrom_ && *transparentFrom_ != window_->WindowRect()) {
            window_->Move(*transparentFrom_, true);
            Record("transparent off: window back at " + RectText(*transparentFrom_));
        }
        transparentFrom_.reset();
        return;
    }
    if (!window_ || !control_) return;
    if (!renderer_) {
        transparentFrom_ = window_->WindowRect();
        const bool regionOnly = regionOnly_ || (regionOnlyQuery_ && regionOnlyQuery_());
        renderer_ = std::make_unique<Renderer>(*window_, *control_, regionOnly);
        std::optional<Size> movie;
        if (const std::optional<MovieHeader> header = ReadMovieHeader(moviePath_)) movie = header->FrameSize();
        renderer_->SetSprite(sprite_, movie.value_or(Size{}));
    }
    renderer_->Render(std::nullopt);
    switch (renderer_->GetMode()) {
        case Renderer::Mode::None: Record("transparent: no surfaces, the movie paints itself"); break;
        case Renderer::Mode::Layered: Record("transparent: layered"); break;
        case Renderer::Mode::Region: {
            const std::optional<platform::Region> region = window_->GetRegion();
            Record("transparent: region of " + std::to_string(region ? region->size() : 0) + " rectangle(s)");
            break;
        }
    }
}

// Only a change of mode does anything; switched off, a window without the clip shape loses the
// region the renderer may have cut.
void MainFrame::OnTransparentModeMessage(bool on) {
    if (on == (renderer_ != nullptr)) return;
    SetTransparentMode(on);
    if (!on && window_ && !ComputeShape(appearance_).clipRegion) window_->SetRegion(std::nullopt);
}

bool MainFrame::OnPaintControl(std::optional<platform::Rect> dirty) {
    if (!renderer_) return false;
    if (!renderer_->PaintingSuppressed()) renderer_->Render(dirty);
    return true;
}

void MainFrame::SetSprite(std::optional<SpriteSource> sprite) {
    sprite_ = std::move(sprite);
    if (!renderer_) return;
    std::optional<Size> movie;
    if (const std::optional<MovieHeader> header = ReadMovieHeader(moviePath_)) movie = header->FrameSize();
    renderer_->SetSprite(sprite_, movie.value_or(Size{}));
    renderer_->Render(std::nullopt);
}

void MainFrame::Show() {
    if (window_) window_->Show(platform::ShowCommand::Show);
    Record("shown");
}

void MainFrame::KeepAspectRatio() {
    if (window_) {
        const Size client = window_->ClientSize();
        aspectRatio_ = client.height > 0 ? static_cast<double>(client.width) / client.height : 0;
    }
    Record("aspect ratio kept");
}

void MainFrame::ApplyWindowFlags(const Behaviour& b) {
    if (window_) {
        if (b.flags & kStartMinimized) window_->Show(platform::ShowCommand::Minimize);
        window_->SetTopmost((b.flags & kAlwaysOnTop) != 0, true);
    }
    Record(std::string("window flags:") + ((b.flags & kAlwaysOnTop) ? " always on top" : "") +
           ((b.flags & kStartMinimized) ? " minimized" : "") +
           ((b.flags & (kAlwaysOnTop | kStartMinimized)) ? "" : " none"));
}

void MainFrame::ApplyMiscellaneous(const Miscellaneous& m) {
    Record("miscellaneous: flags " + Hex(m.flags) + ", background " + Hex(m.backgroundColour));
    helpPath_.clear();
    if ((m.flags & kUseHelpFile) && !m.helpFile.empty()) {
        try {
            helpPath_ = ExtractPackageFile(m.helpFile);
        } catch (const ShellError&) {
            // A help file the package lacks leaves Help without a file to open.
        }
    }
    if (control_) ApplyBackgroundColor(*control_, m.backgroundColour);
}

std::vector<platform::MenuEntry> MainFrame::MenuEntries(const std::vector<MenuItem>& items) const {
    std::vector<platform::MenuEntry> entries;
    for (const MenuItem item : items) {
        switch (item) {
            case MenuItem::Separator: entries.emplace_back(); break;
            case MenuItem::FlashPlayerMenu: entries.push_back(PlayerMenu()); break;
            case MenuItem::Configure: entries.push_back(Command(kCommandConfigure, "Config...")); break;
            case MenuItem::Help: entries.push_back(Command(kCommandHelp, "Help")); break;
            case MenuItem::About: entries.push_back(Command(kCommandAbout, "About...")); break;
            case MenuItem::Close: entries.push_back(Command(kCommandClose, "&Close")); break;
            case MenuItem::ShowHide: {
                const platform::WindowState state = window_ ? window_->State() : platform::WindowState::Hidden;
                entries.push_back({kCommandShowHide, TrayShowItemText(state, Caption()), {}, true});
                break;
            }
        }
    }
    return entries;
}

void MainFrame::SetAboutInformation(const AboutText& about, const AboutBox& box) {
    const std::string product = about.productName.value_or("");
    aboutTitle_ = "About " + (product.empty() ? caption_ : product);
    aboutText_.clear();
    const auto add = [this](const std::string& line) {
        if (line.empty()) return;
        if (!aboutText_.empty()) aboutText_ += '\n';
        aboutText_ += line;
    };
    const std::string version = about.version.value_or("");
    add(product + (version.empty() ? "" : (product.empty() ? "" : " ") + version));
    for (const Text* text : {&about.description, &about.company, &about.legalNotice, &about.trademarks, &about.comment,
                             &box.author, &box.webAddress, &box.emailAddress})
        add(text->value_or(""));
}

void MainFrame::AddMenuCommands(const Behaviour& b) {
    menuAdditions_ = b.menuAdditions;
    if (window_) window_->SetSystemMenuAdditions(MenuEntries(SystemMenuAdditions(b.menuAdditions)));
    Record("menu commands " + Hex(b.menuAdditions));
}

// The screen-saver and task-bar switches of the input disabling acted only on the old consumer
// systems, which this runtime does not run on; of the flags only the hidden pointer is left.
InputBlockHandle MainFrame::DisableInput(const Interaction& i) {
    interaction_ = i;
    desktop_.SetPointerShown(!(i.inputDisabling & kHideCursor));
    Record("input disabling " + Hex(i.inputDisabling));
    return i.inputDisabling ? 1 : 0;
}

void MainFrame::EnableInput(InputBlockHandle handle) {
    desktop_.SetPointerShown(true);
    if (handle) Record("input enabled again");
}

void MainFrame::AddTrayIcon(int iconResource) {
    if (window_) (void)window_->ShowTrayIcon(iconResource, Caption());
    Record("tray icon " + std::to_string(iconResource) + ", tip \"" + caption_ + "\"");
}

void MainFrame::ApplyFrameStyle(const Appearance& a) {
    appearance_.borderStyle = a.borderStyle;
    appearance_.borderIcons = a.borderIcons;
    std::string line = "frame style: border " + Hex(a.borderStyle) + ", icons " + Hex(a.borderIcons);
    if (window_) {
        const WindowStyles styles = ComputeWindowStyles(appearance_);
        window_->ChangeStyles(styles.remove, styles.add, styles.removeExtended, styles.addExtended);
        line += ", style " + Hex(window_->Style()) + ", extended " + Hex(window_->ExtendedStyle());
    }
    Record(line);
}

void MainFrame::SetCaption(const std::string& caption) {
    caption_ = caption;
    appearance_.caption = caption;
    if (window_) window_->SetCaption(caption);
    Record("caption \"" + caption + "\"");
}

void MainFrame::SetScaleMode(uint32_t mode) {
    appearance_.scaleMode = mode;
    Record("scale mode " + Hex(mode));
    if (control_) ApplyScaleMode(*control_, mode);
}

bool MainFrame::Relayout(const SizeAndPosition& size) {
    if (!control_ || control_->Movie().empty()) {
        size_ = size;  // taken up by the next layout
        Record("layout waits for a movie");
        return false;
    }
    ApplySizeAndPosition(size);
    return true;
}

bool MainFrame::ShowTrayIcon(const std::string& iconFile, int iconResource, const std::string& tip) {
    bool shown = false;
    if (window_)
        shown = iconFile.empty() ? window_->ShowTrayIcon(iconResource, tip) : window_->ShowTrayIconFile(iconFile, tip);
    Record("tray icon " + (iconFile.empty() ? std::to_string(iconResource) : "\"" + iconFile + "\"") + ", tip \"" +
           tip + "\"" + (shown ? "" : ": not shown"));
    return shown;
}

bool MainFrame::RemoveTrayIcon() {
    const bool shown = window_ && window_->TrayIconShown();
    if (window_) window_->RemoveTrayIcon();
    Record(shown ? "tray icon removed" : "tray icon: none to remove");
    return shown;
}

bool MainFrame::ShowTrayBalloon(const std::string& text, const std::string& title, const std::string& icon,
                                uint32_t timeoutMs) {
    const bool shown = window_ && window_->ShowTrayBalloon(text, title, icon, timeoutMs);
    Record("tray balloon \"" + title + "\": \"" + text + "\", icon \"" + icon + "\", " + std::to_string(timeoutMs) +
           " ms" + (shown ? "" : ": no tray icon"));
    return shown;
}

bool MainFrame::SetSmallIcon(const std::string& iconFile) {
    const bool set = window_ && window_->SetSmallIcon(iconFile);
    Record("small icon \"" + iconFile + "\"" + (set ? "" : ": cannot be loaded"));
    return set;
}

void MainFrame::SetDragRegion(const std::optional<platform::Region>& region) {
    if (window_) window_->SetDragRegion(region);
    Record(region ? "drag region of " + std::to_string(region->size()) + " rectangle(s)" : "no drag region");
}

void MainFrame::ShowPointer(bool show) {
    desktop_.SetPointerShown(show);
    Record(show ? "pointer shown" : "pointer hidden");
}

bool MainFrame::SetMovieCursor(const std::string& cursorFile) {
    const bool set = window_ && window_->SetMovieCursor(cursorFile);
    Record(cursorFile.empty() ? "cursor: the arrow"
                              : "cursor \"" + cursorFile + "\"" + (set ? "" : ": cannot be loaded"));
    return set;
}

void MainFrame::SetMovieCapture(bool capture) {
    if (window_) window_->SetMovieCapture(capture);
    Record(capture ? "movie window captures the mouse" : "mouse capture released");
}

void MainFrame::FocusMovie() {
    if (window_) window_->FocusMovie();
    Record("movie window focused");
}

void MainFrame::Update() {
    if (window_) window_->Update();
    Record("updated");
}

// The control stays for tests to read what was done to it, but raises nothing more.
void MainFrame::Destroy() {
    destroyed_ = true;
    renderer_.reset();
    if (window_) {
        window_->RemoveTrayIcon();
        window_->Show(platform::ShowCommand::Hide);
    }
    Record("frame destroyed");
}

bool MainFrame::DeliverEvent() {
    if (destroyed_ || closePosted_) return false;
    if (control_ && control_->RaiseNextEvent()) return true;
    // While the movie still has something to say, the loop goes on even with no window event.
    if (control_ && control_->HoldsEvents()) {
        (void)desktop_.ProcessEvents(true);
        return !closePosted_;
    }
    // Scripts' intervals keep a window without a user open as they keep the message loop going.
    if (closesWhenMovieIsDone_ && platform::RunningTimers() == 0) {
        (void)desktop_.ProcessEvents(false);  // what the window already has waiting, then no more
        return false;
    }
    return desktop_.ProcessEvents(true) && !closePosted_;
}

std::string MainFrame::Caption() const { return window_ ? window_->Caption() : caption_; }

bool MainFrame::Visible() const {
    if (!window_ || destroyed_) return false;
    return window_->State() != platform::WindowState::Hidden;
}

void MainFrame::ShowTrayMenu() {
    if (!window_) return;
    const uint32_t chosen = window_->TrackMenu(MenuEntries(TrayMenuItems(menuAdditions_)));
    if (chosen) RunCommand(chosen);
}

void MainFrame::RunCommand(uint32_t id) {
    if (!window_) return;
    switch (id) {
        case kCommandClose: OnCloseRequest(); return;
        case kCommandShowHide:
            switch (window_->State()) {
                case platform::WindowState::Hidden: window_->Show(platform::ShowCommand::Show); break;
                case platform::WindowState::Minimized: window_->Show(platform::ShowCommand::Restore); break;
                default: window_->Show(platform::ShowCommand::Hide); break;
            }
            return;
        default: break;
    }
    if (id == kCommandAbout) {
        Record("about box \"" + aboutTitle_ + "\"");
        window_->ShowAbout(aboutTitle_, aboutText_);
        return;
    }
    if (id == kCommandHelp) {
        const bool opened = window_->OpenHelp(helpPath_);
        Record(helpPath_.empty() ? "help: no help file" : "help \"" + helpPath_ + "\"" + (opened ? "" : ": no viewer"));
        return;
    }
    if (id == kCommandConfigure) {
        // Only a menu that offers "Config..." can send it; anyone else's 0x8009 is not obeyed.
        if (!(menuAdditions_ & kMenuConfigure) || (menuAdditions_ & kMenuNone))
            Record("command 0x8009: \"Config...\" is not in the menus");
        else if (configure_) configure_();
        else Record("command 0x8009: no options sheet");
        return;
    }
    // The player's own commands are not built yet: the command is told, so that a test or a user
    // sees it arrived.
    Record(std::string(IsPlayerCommand(id) ? "player command " : "command ") + Hex(id));
}

platform::SheetResult MainFrame::RunPropertySheet(platform::SheetDescription& sheet) {
    std::string pages;
    for (const platform::SheetPage& page : sheet.pages) pages += (pages.empty() ? "" : ", ") + page.caption;
    Record("options sheet \"" + sheet.caption + "\": " + pages);
    platform::SheetResult result;
    if (window_) result = window_->RunPropertySheet(sheet);
    for (const std::string& note : result.notes) Record("options sheet: " + note);
    Record(result.ok ? "options sheet: OK" : "options sheet: Cancel");
    return result;
}

void MainFrame::OnCloseRequest() {
    if (window_) window_->RemoveTrayIcon();
    PostClose();
}

void MainFrame::OnEndSession() {
    sessionEnded_ = true;
    if (window_) window_->RemoveTrayIcon();
    PostClose();
}

void MainFrame::OnSizeMoveStart() {
    if (window_) {
        const platform::Rect r = window_->WindowRect();
        sizeMoveStart_ = {r.width, r.height};
    }
}

void MainFrame::OnSizeMoveEnd() {
    if (!window_ || !size_.keepRatio) return;
    const platform::Rect r = window_->WindowRect();
    if (Size{r.width, r.height} == sizeMoveStart_) return;  // a plain move
    const Size kept = KeepRatio(aspectRatio_, sizeMoveStart_, {r.width, r.height}, window_->ClientSize());
    if (kept != Size{r.width, r.height}) window_->Move({r.left, r.top, kept.width, kept.height}, true);
}

void MainFrame::OnCommand(uint32_t id) {
    if (id >= kFirstScriptedCommand && id <= kLastScriptedCommand && scriptedCommands_ && scriptedCommands_(id)) return;
    RunCommand(id);
}

void MainFrame::OnTrayNotify(uint32_t mouseMessage) {
    if (!window_) return;
    if (trayListener_ && !trayListener_(mouseMessage)) return;
    if (mouseMessage == kLeftDoubleClick) {
        window_->Show(platform::ShowCommand::Show);
        window_->Show(platform::ShowCommand::Restore);
    } else if (mouseMessage == kRightButtonUp) {
        ShowTrayMenu();
    }
}

platform::KeyDecision MainFrame::OnKey(platform::KeyEvent event, uint32_t key, uint32_t modifiersDown) {
    const platform::KeyDecision decision = FilterKey(interaction_, event, key, modifiersDown);
    if (decision.close && window_) window_->PostCloseRequest();
    return decision;
}

platform::MouseDecision MainFrame::OnMouse(const platform::MouseInput& input) {
    if (!window_) return {};
    const MouseFilter::Outcome out = mouse_.Filter(interaction_, input, window_->WindowRect());
    if (out.moveWindow) window_->Move(*out.moveWindow, true);
    return out.decision;
}

void MainFrame::OnScaleModeMessage(int mode) {
    if (control_) ApplyScaleMode(*control_, static_cast<uint32_t>(mode));
}

void MainFrame::OnBackgroundMessage(uint32_t rgb) {
    if (control_) ApplyBackgroundColor(*control_, rgb);
}

void MainFrame::OnShapeMessage() {
    const std::vector<std::string> regions = regions_;
    ApplyWindowShape(appearance_, regions);
}

}  // namespace velmo::shell
