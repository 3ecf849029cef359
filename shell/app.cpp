#include "shell/movie_cipher.h"
#include "shell/app.h"

#include "platform/environment.h"
#include "platform/error_report.h"
#include "platform/movie_control.h"
#include "platform/path.h"
#include "platform/resources.h"
#include "platform/system.h"
#include "platform/text.h"
#include "shell/control_choice.h"
#include "shell/options_sheet.h"
#include "shell/package.h"
#include "shell/resource_blob.h"
#include "shell/run_folder.h"
#include "shell/settings_loader.h"
#include "shell/shell_error.h"

namespace velmo::shell {

namespace {

constexpr int kAppIconResource = 128;
constexpr int kTrayIconResource = 198;

const char* SourceName(SettingsSource source) {
    switch (source) {
        case SettingsSource::StoredOptions: return "the user's stored options";
        case SettingsSource::BuiltIn: return "the built-in records";
        case SettingsSource::Defaults: return "defaults (no usable settings record)";
    }
    return "";
}

}  // namespace

bool AppServices::StartSockets() { return platform::StartSockets(); }
void AppServices::StopSockets() { platform::StopSockets(); }
bool AppServices::StartOle() { return platform::StartOle(); }
void AppServices::StopOle() { platform::StopOle(); }

App::~App() {
    SetMainWindowCaptionSource(nullptr);
    services_.AttachApplication(nullptr);
}

void App::ReapplyInputRestrictions() {
    if (!frame_) return;
    frame_->EnableInput(inputBlock_);
    inputBlock_ = frame_->DisableInput(settings_.interaction);
}

void App::ReapplySettings() {
    if (!frame_) return;
    frame_->ApplyAppearance(settings_.appearance);
    frame_->ApplySizeAndPosition(settings_.sizeAndPosition);
    frame_->ApplyWindowShape(settings_.appearance, settings_.regionList);
    ReapplyInputRestrictions();
    frame_->ApplyWindowFlags(settings_.behaviour);
    frame_->AddMenuCommands(settings_.behaviour);
    frame_->ApplyMiscellaneous(settings_.misc);
    ReapplyMute();
    frame_->KeepAspectRatio();
    ReapplyTrayIcon();
}

void App::ReapplyMute() {
    if (settings_.misc.flags & kMuteSpeakers) {
        if (!mutedByUs_) ApplyMute();
        return;
    }
    if (mutedByUs_ && platform::SetSpeakerMute(previousMute_)) Note("speakers restored");
    mutedByUs_ = false;
}

void App::ReapplyTrayIcon() {
    if (settings_.behaviour.flags & kShowInTray)
        frame_->AddTrayIcon((settings_.behaviour.flags & kTrayUsesAppIcon) ? kAppIconResource : kTrayIconResource);
    else if (frame_->Window() && frame_->Window()->TrayIconShown()) (void)frame_->RemoveTrayIcon();
}

void App::RunOptionsSheet() {
    if (!frame_) return;
    platform::SheetDescription sheet = MakeOptionsSheet(settings_);
    if (!frame_->RunPropertySheet(sheet).ok) return;  // Cancel changes nothing
    ReadOptionsSheet(sheet, settings_);
    // The running window takes the new settings even where the profile cannot keep them.
    Note(profile_ && StoreOptions(*profile_, settings_) ? "options stored in the profile"
                                                        : "options cannot be stored in the profile");
    ReapplySettings();
}

void App::Note(const std::string& line) const {
    if (log_) log_(line);
}

void App::Fail(const std::string& message) const {
    Note("start-up stopped: " + message);
    platform::ShowError(message, appName_);
}

ScriptRun App::RunScriptResource(const std::string& name) {
    // A build without the script simply skips it; only a damaged one is worth an error box.
    if (!platform::LoadImageResource(name, "VELMO")) {
        Note("script " + name + ": no such resource, nothing run");
        return {};
    }
    const std::optional<std::vector<uint8_t>> module = LoadResourceBlob(name, "VELMO");
    if (!module) {
        Note("script " + name + ": damaged resource, nothing run");
        return {};
    }
    ScriptRun run = services_.Scripts().RunModule(name, *module);
    Note("script " + name + " (" + std::to_string(module->size()) +
         " bytes): " + (run.ran ? "ran" : "not run, " + run.note) +
         (run.booleanCompletion ? (*run.booleanCompletion ? ", completed with true" : ", completed with false") : ""));
    return run;
}

// "/AfterInstall" and "/BeforeUninst" run their script in an engine of their own and end the
// process without a window.
bool App::RunInstallerHook(const std::string& name) {
    Note("installer hook " + name);
    const bool sockets = services_.StartSockets();
    const bool ole = services_.StartOle();
    RunScriptResource(name);
    services_.Scripts().DestroyEngine();
    if (ole) services_.StopOle();
    if (sockets) services_.StopSockets();
    commandLineModeHandled_ = true;
    return false;
}

bool App::ReadIdentifier() {
    std::optional<IdentifierRecord> record;
    try {
        record = ReadIdentifierRecord(LoadRawResource("ID", "MOVORA"), appName_);
    } catch (const ShellError&) {
        record.reset();  // a missing record is the same failure as a damaged one
    }
    if (!record) return false;
    identifier_ = *record;
    profile_ = platform::OpenProfile(identifier_.registryKey, identifier_.profileName);
    Note("identifier \"" + identifier_.identifier + "\", GUID " + identifier_.guidText + ", profile Software\\" +
         identifier_.registryKey + "\\" + identifier_.profileName);
    return profile_ != nullptr;
}

std::string App::ChooseControl() {
    const ScriptRun run = RunScriptResource("_GetFlashPlayer");
    const ControlChoice choice = ChooseControlFile(
        run.stringCompletion, std::string(platform::FolderPart(platform::ModuleFileName())),
        [this] { return player_.PrivatePlayerPath(); }, [] { return platform::RegisteredPlayerFile(); });
    Note(std::string("movie control ") + ControlSourceName(choice.source) +
         (choice.file.empty() ? "" : ": " + choice.file));
    return choice.file;
}

// Each failure notes why start-up stopped; only a missing control says so to the user, and only
// when the start-up script does not veto the message.
bool App::CreateFrame() {
    const std::string icon =
        movies_.iconFile.empty() ? "resource " + std::to_string(kAppIconResource) : movies_.iconFile;
    ownerWindow_ = services_.CreateOwnerWindow();
    frame_ = ownerWindow_ ? services_.MakeFrame() : nullptr;
    if (!frame_ || !frame_->Create(icon, [this] { return ChooseControl(); })) {
        frame_.reset();
        Note("start-up stopped: the main frame cannot be created");
        return false;
    }
    if (!frame_->Control()) {
        Note("the movie control cannot be created");
        const ScriptRun run = RunScriptResource("Initialize");
        if (run.booleanCompletion && !*run.booleanCompletion)
            Note("start-up stopped: no movie control, and the start-up script completed with false");
        else Fail("Failed to load the Adobe Flash Player!");
        frame_.reset();
        return false;
    }
    MainFrame* frame = frame_.get();
    SetMainWindowCaptionSource([frame] { return std::optional<std::string>(frame->Caption()); });
    if (movies_.movieName.empty()) frame_->SetNoMovie();
    frame_->SetMovieKey(MovieKeyFromProtection(movies_.protection));
    frame_->SetAboutInformation(settings_.about, settings_.aboutBox);
    frame_->SetConfigureHandler([this] { RunOptionsSheet(); });
    services_.AttachFrame(frame, &settings_);
    return true;
}

bool App::RunStartupScript() {
    const ScriptRun run = RunScriptResource("Initialize");
    return !(run.booleanCompletion && !*run.booleanCompletion);
}

void App::ApplyMute() {
    if (!(settings_.misc.flags & kMuteSpeakers)) return;
    const std::optional<bool> state = platform::SpeakerMute();
    if (!state) return;  // no mixer, speakers or mute control
    previousMute_ = *state;
    mutedByUs_ = !*state && platform::SetSpeakerMute(true);
    Note(mutedByUs_ ? "speakers muted" : "speakers were already muted");
}

void App::LoadMovieOrShowEmpty() {
    if (movies_.movieName.empty()) {
        frame_->ApplyAppearance(settings_.appearance);
        frame_->Show();
        return;
    }
    std::string path;
    if (std::optional<std::string> chosen = services_.ChooseMovie()) {
        path = std::move(*chosen);
        Note("movie chosen by the scripts: " + path);
    } else {
        try {
            path = ExtractPackageFile(movies_.movieName);
        } catch (const ShellError& error) {
            ReportError(error);  // the control gets an empty path and shows what it shows for that
        }
        Note("movie " + movies_.movieName + (path.empty() ? " not found" : " at " + path));
    }
    frame_->LoadMovie(path, (settings_.behaviour.flags & kAutoPlay) != 0);
    frame_->ApplyAppearance(settings_.appearance);
    frame_->ApplySizeAndPosition(settings_.sizeAndPosition);
    frame_->ApplyWindowShape(settings_.appearance, settings_.regionList);
}

bool App::InitInstance(const std::vector<std::string>& args) {
    appName_ = std::string(platform::StemPart(platform::ModuleFileName()));
    if (!args.empty() && platform::AnsiEqualNoCase(args[0], "/AfterInstall")) return RunInstallerHook("AfterInstall");
    if (!args.empty() && platform::AnsiEqualNoCase(args[0], "/BeforeUninst")) return RunInstallerHook("BeforeUninst");

    socketsStarted_ = services_.StartSockets();
    if (!socketsStarted_) {
        Fail("Failed to initialize the WIndows Socket!");  // fixed output, spelling included
        return false;
    }
    if (!ReadIdentifier()) {
        Fail("Invalid application data");
        return false;
    }
    try {
        CreateRunFolder();
    } catch (const ShellError& error) {
        Note("start-up stopped: the run folder cannot be created: " + error.Message());
        ReportError(error);  // no main window yet: nothing is shown
        return false;
    }
    Note("run folder " + RunFolder());

    settings_ = SettingsRecord{};
    movies_ = MovieListRecord{};
    Note("settings from " + std::string(SourceName(LoadSettings(*profile_, RunFolder(), settings_, movies_))));
    Note("movie name \"" + movies_.movieName + "\"");

    if (!CreateFrame()) return false;
    if (!RunStartupScript()) {
        Note("start-up stopped: the start-up script completed with false");
        return false;
    }
    ApplyMute();
    frame_->AddMenuCommands(settings_.behaviour);
    inputBlock_ = frame_->DisableInput(settings_.interaction);
    if (settings_.behaviour.flags & kShowInTray)
        frame_->AddTrayIcon((settings_.behaviour.flags & kTrayUsesAppIcon) ? kAppIconResource : kTrayIconResource);
    LoadMovieOrShowEmpty();
    frame_->KeepAspectRatio();
    frame_->ApplyWindowFlags(settings_.behaviour);
    frame_->ApplyMiscellaneous(settings_.misc);
    frame_->Update();
    Note("running");
    return true;
}

bool App::OnIdle(int /*idleCount*/) {
    // After a posted close the window is on its way out: queued scripts no longer run.
    if (!frame_ || frame_->ClosePosted() || frame_->AsyncQueue().empty()) return false;
    const std::string name = frame_->AsyncQueue().front();
    frame_->AsyncQueue().pop_front();
    RunScriptResource(name);
    return !frame_->AsyncQueue().empty();
}

bool App::DeliverEvent() { return frame_ && !frame_->ClosePosted() && frame_->DeliverEvent(); }

void App::CloseMainWindow() {
    services_.Scripts().DestroyEngine();  // "Velmo_Quit"
    services_.AttachFrame(nullptr, nullptr);
    if (frame_) frame_->Destroy();
    SetMainWindowCaptionSource(nullptr);
}

int App::ExitInstance() {
    if (commandLineModeHandled_) return 0;
    if (frame_) frame_->EnableInput(inputBlock_);
    inputBlock_ = 0;
    if (mutedByUs_ && platform::SetSpeakerMute(previousMute_)) Note("speakers restored");
    mutedByUs_ = false;
    settings_ = SettingsRecord{};
    movies_ = MovieListRecord{};
    if (!RunFolder().empty()) Note("run folder removed");
    RemoveRunFolder();
    SetMainWindowCaptionSource(nullptr);
    services_.AttachFrame(nullptr, nullptr);
    frame_.reset();
    if (ownerWindow_) services_.DestroyOwnerWindow();
    ownerWindow_ = false;
    if (socketsStarted_) services_.StopSockets();
    socketsStarted_ = false;
    Note("exited");
    return 0;
}

}  // namespace velmo::shell
