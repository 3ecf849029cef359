#include "shell/projector_bridge.h"

#include <cstdio>

#include "host/classes/application_object.h"
#include "host/classes/menu_object.h"
#include "platform/environment.h"
#include "platform/movie_control.h"
#include "platform/path.h"
#include "platform/text.h"
#include "platform/window.h"
#include "shell/app.h"
#include "shell/command_channel.h"
#include "shell/main_frame.h"
#include "shell/menu_definition.h"
#include "shell/movie_header.h"
#include "shell/package.h"
#include "shell/resource_blob.h"
#include "shell/run_folder.h"
#include "shell/shell_error.h"

namespace velmo::shell {

ProjectorBridge::ProjectorBridge(platform::Desktop& desktop, CommandChannel& channel)
    : desktop_(desktop), channel_(channel) {}

void ProjectorBridge::Attach(App* app) { app_ = app; }

MainFrame* ProjectorBridge::Frame() const { return app_ ? app_->Frame() : nullptr; }

std::optional<std::string> ProjectorBridge::ChooseMovie() {
    script::Engine* engine = channel_.Engine();
    if (!engine) return std::nullopt;  // no script has run: nobody can have asked
    return host::AskForMovie(engine->Interp());
}

// The listeners look the engine up when the event comes: the one that ran the start-up script may
// have quit and another taken its place.
void ProjectorBridge::ListenTo(MainFrame& frame) {
    frame.SetTrayListener([this](uint32_t message) {
        script::Engine* engine = channel_.Engine();
        return !engine || host::NotifyTrayMouse(engine->Interp(), message);
    });
    // Inside a dispatch of its own, so that a close the command asks for waits until it is done.
    frame.SetScriptedCommandListener([this](uint32_t id) {
        script::Engine* engine = channel_.Engine();
        if (!engine) return false;
        const CommandChannel::NestingScope dispatch(channel_);
        return host::FireMenuCommand(engine->Interp(), id);
    });
    frame.SetRegionOnlyQuery([this] {
        script::Engine* engine = channel_.Engine();
        return engine && host::KeepsLayeredOff(engine->Interp());
    });
    frame.SetMovieLoadedListener([this](const std::string& path) {
        if (script::Engine* engine = channel_.Engine()) host::NotifyMovieLoaded(engine->Interp(), path);
    });
}

// A definition that is there but damaged is reported as every damaged record is.
std::optional<std::vector<uint8_t>> ProjectorBridge::MenuDefinition(const std::string& name) const {
    if (name.empty() || name[0] == '#') return std::nullopt;  // "#n" would name a numbered resource
    return LoadResourceBlobIfPresent(name, kMenuResourceType);
}

SettingsRecord& ProjectorBridge::Settings() { return app_ ? app_->MutableSettings() : Projector::Settings(); }

void ProjectorBridge::Apply(host::SettingsChange change) {
    MainFrame* frame = Frame();
    if (!frame) return;
    const SettingsRecord& s = Settings();
    switch (change) {
        case host::SettingsChange::WindowShape:
            // Posted, as the frame's shape message is: the script that asked finishes first.
            desktop_.Post([this] {
                if (MainFrame* f = Frame()) f->ApplyWindowShape(Settings().appearance, Settings().regionList);
            });
            return;
        case host::SettingsChange::FrameStyle: frame->ApplyFrameStyle(s.appearance); return;
        case host::SettingsChange::ScaleMode: frame->SetScaleMode(s.appearance.scaleMode); return;
        case host::SettingsChange::Caption: frame->SetCaption(s.appearance.caption); return;
        case host::SettingsChange::Layout: (void)frame->Relayout(s.sizeAndPosition); return;
        case host::SettingsChange::WindowFlags: frame->ApplyWindowFlags(s.behaviour); return;
        case host::SettingsChange::ContextMenu: frame->AddMenuCommands(s.behaviour); return;
        case host::SettingsChange::InputRestrictions: app_->ReapplyInputRestrictions(); return;
    }
}

uintptr_t ProjectorBridge::MainWindow() const {
    MainFrame* frame = Frame();
    return frame && frame->Window() ? frame->Window()->NativeHandle() : 0;
}

bool ProjectorBridge::SetSmallIcon(const std::string& iconFile) {
    MainFrame* frame = Frame();
    return frame && frame->SetSmallIcon(iconFile);
}

void ProjectorBridge::PostSystemCommand(uint32_t command) {
    desktop_.Post([this, command] {
        if (MainFrame* f = Frame()) f->RunMenuCommand(command);
    });
}

void ProjectorBridge::SetDragRegion(std::optional<platform::Region> region) {
    if (MainFrame* frame = Frame()) frame->SetDragRegion(region);
}

void ProjectorBridge::ShowPointer(bool show) {
    if (MainFrame* frame = Frame()) frame->ShowPointer(show);
    else desktop_.SetPointerShown(show);
}

bool ProjectorBridge::SetCustomCursor(const std::string& cursorFile) {
    MainFrame* frame = Frame();
    return frame && frame->SetMovieCursor(cursorFile);
}

bool ProjectorBridge::MovieWindowHasCapture() const {
    MainFrame* frame = Frame();
    return frame && frame->Window() && frame->Window()->MovieHasCapture();
}

void ProjectorBridge::SetMovieWindowCapture(bool capture) {
    if (MainFrame* frame = Frame()) frame->SetMovieCapture(capture);
}

bool ProjectorBridge::MovieWindowHasFocus() const {
    MainFrame* frame = Frame();
    return frame && frame->Window() && frame->Window()->MovieHasFocus();
}

void ProjectorBridge::FocusMovieWindow() {
    if (MainFrame* frame = Frame()) frame->FocusMovie();
}

intptr_t ProjectorBridge::SendWindowMessage(uintptr_t window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    const intptr_t result = desktop_.SendWindowMessage(window, message, wParam, lParam);
    if (app_) {
        char line[160];
        std::snprintf(line, sizeof line, "message 0x%X (0x%llX, 0x%llX) sent to window 0x%llX: %lld", message,
                      static_cast<unsigned long long>(wParam), static_cast<unsigned long long>(lParam),
                      static_cast<unsigned long long>(window), static_cast<long long>(result));
        app_->Note(line);
    }
    return result;
}

bool ProjectorBridge::ShowTrayIcon(const host::TrayIconSpec& icon) {
    MainFrame* frame = Frame();
    return frame && frame->ShowTrayIcon(icon.iconFile, icon.iconResource, icon.tip);
}

bool ProjectorBridge::RemoveTrayIcon() {
    MainFrame* frame = Frame();
    return frame && frame->RemoveTrayIcon();
}

bool ProjectorBridge::TrayIconShown() const {
    MainFrame* frame = Frame();
    return frame && frame->Window() && frame->Window()->TrayIconShown();
}

bool ProjectorBridge::ShowTrayBalloon(const host::TrayBalloon& balloon) {
    MainFrame* frame = Frame();
    return frame && frame->ShowTrayBalloon(balloon.text, balloon.title, balloon.icon, balloon.timeoutMs);
}

platform::MovieControl* ProjectorBridge::Movie() const {
    MainFrame* frame = Frame();
    return frame ? frame->Control() : nullptr;
}

uintptr_t ProjectorBridge::MovieWindow() const {
    MainFrame* frame = Frame();
    return frame && frame->Window() ? frame->Window()->MovieWindowHandle() : 0;
}

std::optional<platform::Size> ProjectorBridge::MainClientSize() const {
    MainFrame* frame = Frame();
    if (!frame || !frame->Window()) return std::nullopt;
    return frame->Window()->ClientSize();
}

// The movie's header says; a control that knows the size of what it plays answers for a movie
// whose file has no header this program reads.
std::optional<platform::Size> ProjectorBridge::MovieFrameSize() const {
    MainFrame* frame = Frame();
    if (!frame || frame->MoviePath().empty()) return std::nullopt;
    if (const std::optional<MovieHeader> header = ReadMovieHeader(frame->MoviePath())) {
        const platform::Size size = header->FrameSize();
        if (size.width > 0 && size.height > 0) return size;
    }
    return frame->Control() ? frame->Control()->FrameSize() : std::nullopt;
}

const host::MovieCallContext* ProjectorBridge::MovieCalls() const { return &channel_.MovieCalls(); }

void ProjectorBridge::RunCommand(const std::string& command, const std::string& ansiArgument) {
    channel_.DispatchMovieCommand(command.c_str(), ansiArgument.c_str());
}

std::string ProjectorBridge::ExtractAttachedFile(const std::string& packagePath) {
    try {
        return ExtractPackageFile(packagePath);
    } catch (const ShellError& error) {
        ReportError(error);
        return {};
    }
}

std::string ProjectorBridge::AttachmentsFolder() const {
    if (!ListPackage(platform::ModuleFileName())) return {};
    return ExtraFolder();
}

platform::Profile* ProjectorBridge::Profile() {
    platform::Profile* profile = app_ ? app_->Profile() : nullptr;
    return profile ? profile : Projector::Profile();
}

// The window events waiting now; the application ends when its frame is closing.
std::optional<platform::Rect> ProjectorBridge::MainWindowRect() const {
    MainFrame* frame = Frame();
    if (!frame || !frame->Window()) return std::nullopt;
    return frame->Window()->WindowRect();
}

// Not told as a frame line: a moving desktop toy moves the window a hundred times a second.
bool ProjectorBridge::MoveMainWindow(int left, int top) {
    MainFrame* frame = Frame();
    if (!frame || !frame->Window()) return false;
    const platform::Rect now = frame->Window()->WindowRect();
    frame->Window()->Move({left, top, now.width, now.height}, true);
    return true;
}

void ProjectorBridge::SetSprite(const std::string& boundsName, const std::string& frameLabel) {
    MainFrame* frame = Frame();
    if (!frame) return;
    if (boundsName.empty()) return frame->SetSprite(std::nullopt);
    frame->SetSprite(SpriteSource{platform::AnsiToUtf16(frameLabel), platform::AnsiToUtf16(boundsName)});
}

void ProjectorBridge::Note(const std::string& line) {
    if (app_) app_->Note(line);
}

bool ProjectorBridge::PumpMessages() {
    (void)desktop_.ProcessEvents(false);
    MainFrame* frame = Frame();
    return !(frame && frame->ClosePosted());
}

}  // namespace velmo::shell
