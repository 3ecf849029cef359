#include "shell/command_channel.h"

#include <algorithm>
#include <utility>

#include "host/make_engine.h"
#include "host/movie/movie_calls.h"
#include "platform/environment.h"
#include "platform/files.h"
#include "platform/path.h"
#include "platform/program_start.h"
#include "platform/text.h"
#include "script/runtime/strings.h"
#include "script/runtime/value.h"
#include "shell/package.h"
#include "shell/resource_blob.h"
#include "shell/shell_error.h"

namespace velmo::shell {

namespace {

bool IsProgramFile(const std::string& path) { return !path.empty() && platform::FileExists(path); }

std::string PackageItem(const std::string& name) {
    try {
        return ExtractPackageFile(name);
    } catch (const ShellError& error) {
        ReportError(error);  // a damaged item is not found; the search goes on
        return "";
    }
}

// Counts one script run in progress for as long as it lives.
struct ActiveRun {
    int& count;
    explicit ActiveRun(int& c) : count(++c) {}
    ~ActiveRun() { --count; }
    ActiveRun(const ActiveRun&) = delete;
    ActiveRun& operator=(const ActiveRun&) = delete;
};

void StartWithPlatform(const ProgramLaunch& launch) {
    (void)platform::StartProgram(launch.path, launch.parameters,
                                 launch.folder);  // a refusal is ignored
}

}  // namespace

uint32_t ModuleBucket(std::string_view name) {
    uint32_t h = 0;
    for (const char c : name) h = (h << 5) ^ ((((h >> 9) ^ h) >> 7) ^ static_cast<uint8_t>(c));
    return h % kModuleBuckets;
}

// Compared without regard to case, first match wins.
const CommandChannel::Command CommandChannel::kCommands[] = {
    {"Velmo_Quit", &CommandChannel::Quit},
    {"Velmo_Run", &CommandChannel::Run},
    {"Velmo_AsynRun", &CommandChannel::AsyncRun},
    {"Velmo_Eval", &CommandChannel::Eval},
    {"Velmo_File", &CommandChannel::File},
    {"Velmo_Trace", &CommandChannel::Trace},
    {"quit", &CommandChannel::CloseWindow},
    {"fullscreen", &CommandChannel::FullScreen},
    {"exec", &CommandChannel::Exec},
};

CommandChannel::CommandChannel(EngineFactory makeEngine, ProgramStarter startProgram)
    : makeEngine_(std::move(makeEngine)), startProgram_(std::move(startProgram)) {
    if (!makeEngine_) makeEngine_ = [] { return host::MakeEngine(); };
    if (!startProgram_) startProgram_ = &StartWithPlatform;
    movieCalls_.engine = [this] { return EnsureEngine(); };
    movieCalls_.runCommand = [this](std::string_view command, std::string_view text) {
        DispatchMovieCommand(std::string(command).c_str(), std::string(text).c_str());
    };
    movieCalls_.callMovie = [this](std::u16string_view request) -> std::optional<std::u16string> {
        if (!movie_) return std::nullopt;
        return movie_->CallFunction(request);
    };
}

CommandChannel::~CommandChannel() {
    // Long module chains would otherwise unwind recursively through the `next`
    // destructors.
    for (std::unique_ptr<ScriptModule>& head : buckets_)
        while (head) head = std::move(head->next);
}

void CommandChannel::Attach(MainFrame* frame, SettingsRecord* settings) {
    frame_ = frame;
    settings_ = settings;
    AttachMovie(frame ? frame->Control() : nullptr);
}

void CommandChannel::AttachMovie(platform::MovieControl* control) {
    if (movie_ == control) return;
    if (movie_) movie_->SetEventSink(nullptr);
    movie_ = control;
    movieCalls_.flashGateOpen = false;
    if (movie_) {
        movie_->SetEventSink(&movieEvents_);
        movieCalls_.flashGateOpen = (movie_->FlashVersion() >> 16) >= 8;
    }
}

void CommandChannel::MovieEvents::OnFSCommand(std::u16string_view command, std::u16string_view argument) {
    channel_.DispatchMovieCommand(platform::Utf16ToAnsi(command).c_str(), platform::Utf16ToAnsi(argument).c_str());
}

void CommandChannel::MovieEvents::OnFlashCall(std::u16string_view request) {
    const std::u16string reply = channel_.HandleMovieCall(request);
    if (channel_.movie_) channel_.movie_->SetReturnValue(reply);
}

// Counted as a dispatch and as a run: a request may run script text that quits
// the engine it runs in, which then goes only after the request is answered.
std::u16string CommandChannel::HandleMovieCall(std::u16string_view request) {
    const NestingScope scope(*this);
    std::optional<std::u16string> reply;
    {
        const ActiveRun active(activeRuns_);
        reply = host::HandleMovieCall(movieCalls_, request);
    }
    ReleaseRetiredEngines();
    return reply ? std::move(*reply) : std::u16string(u"<undefined/>");
}

void CommandChannel::SetTraceSink(script::TraceOutput::Sink sink) { traceSink_ = std::move(sink); }

void CommandChannel::DispatchMovieCommand(const char* command, const char* argument) {
    if (!command) return;
    const NestingScope scope(*this);
    const std::string text = argument ? argument : "";
    for (const Command& entry : kCommands) {
        if (platform::AnsiEqualNoCase(command, entry.name)) {
            (this->*entry.run)(text);
            return;
        }
    }
}

// ---- Engine ----

script::Engine* CommandChannel::EnsureEngine() {
    if (engine_) return engine_.get();
    engine_ = makeEngine_();
    if (engine_ && traceSink_) engine_->Trace().OpenSink(traceSink_);
    return engine_.get();
}

// The engine reports its own errors: a failed run writes the error text to the
// engine's trace output (nothing when none is open), and the dispatcher goes on
// as if the run had ended normally.
ScriptRun CommandChannel::RunInEngine(const std::function<int(script::Engine&)>& run) {
    script::Engine* engine = EnsureEngine();
    if (!engine) return {false, std::nullopt, std::nullopt, "the script engine cannot be built"};
    int status = 0;
    {
        const ActiveRun active(activeRuns_);
        status = run(*engine);
    }
    ScriptRun outcome{true, std::nullopt, std::nullopt, ""};
    if (status != 1) {
        outcome.note = engine->ErrorText();
        if (!outcome.note.empty()) engine->Trace().WriteLine(outcome.note);
    } else if (const script::Value result = engine->Result(); result.Is(script::Tag::Boolean)) {
        outcome.booleanCompletion = result.AsBoolean();
    } else if (result.Is(script::Tag::String)) {
        outcome.stringCompletion = platform::Utf16ToAnsi(script::Text(result.AsString()));
    }
    ReleaseRetiredEngines();
    return outcome;
}

void CommandChannel::ReleaseRetiredEngines() {
    if (activeRuns_ == 0) retired_.clear();
}

ScriptRun CommandChannel::RunModule(ScriptModule& module) {
    // Records never move or go, but the run gets its own copy of the bytes all
    // the same: a nested run of the same module must not see them change under
    // it.
    const std::vector<uint8_t> bytes = module.bytes;
    return RunInEngine([&](script::Engine& engine) { return engine.RunCompiledBuffer(bytes.data(), bytes.size()); });
}

// ---- Module cache ----

ScriptModule* CommandChannel::FindModule(const std::string& name) const {
    for (ScriptModule* m = buckets_[ModuleBucket(name)].get(); m; m = m->next.get())
        if (platform::AnsiEqualNoCase(m->name, name)) return m;
    return nullptr;
}

ScriptModule& CommandChannel::InsertModule(const std::string& name, std::vector<uint8_t> bytes) {
    auto record = std::make_unique<ScriptModule>();
    record->name = name;
    record->bytes = std::move(bytes);
    std::unique_ptr<ScriptModule>& head = buckets_[ModuleBucket(name)];
    record->next = std::move(head);
    head = std::move(record);
    return *head;
}

ScriptModule* CommandChannel::LoadModule(const std::string& name) {
    if (ScriptModule* cached = FindModule(name)) return cached;
    // The movie may ask for scripts this build does not carry: that is no error.
    std::optional<std::vector<uint8_t>> bytes = LoadResourceBlobIfPresent(name, "VELMO");
    if (!bytes) return nullptr;
    return &InsertModule(name, std::move(*bytes));
}

const ScriptModule* CommandChannel::LoadScriptModule(const std::string& name) { return LoadModule(name); }

ScriptRun CommandChannel::RunModuleBytes(const std::string& name, std::span<const uint8_t> bytes) {
    ScriptModule* module = FindModule(name);
    if (!module) module = &InsertModule(name, std::vector<uint8_t>(bytes.begin(), bytes.end()));
    return RunModule(*module);
}

// ---- Commands ----

// A script of this engine may still be running (it sent the command): the
// engine is set aside and destroyed when no run is active, while later commands
// already get a fresh one.
void CommandChannel::Quit(const std::string&) {
    if (!engine_) return;
    retired_.push_back(std::move(engine_));
    ReleaseRetiredEngines();
}

void CommandChannel::Run(const std::string& name) {
    if (ScriptModule* module = LoadModule(name)) RunModule(*module);
}

void CommandChannel::AsyncRun(const std::string& name) {
    if (frame_) frame_->AsyncQueue().push_back(name);
}

void CommandChannel::Eval(const std::string& text) {
    RunInEngine([&](script::Engine& engine) { return engine.RunSourceText(text); });
}

void CommandChannel::File(const std::string& path) {
    RunInEngine([&](script::Engine& engine) { return engine.RunFile(path); });
}

void CommandChannel::Trace(const std::string&) {}

void CommandChannel::CloseWindow(const std::string&) {
    if (frame_) frame_->PostClose();
}

void CommandChannel::FullScreen(const std::string& argument) {
    if (!frame_ || !settings_) return;
    Appearance& appearance = settings_->appearance;
    SizeAndPosition& size = settings_->sizeAndPosition;
    if (argument == "true") {
        size.sizeMode = kSizeFullScreen;
        appearance.borderStyle = kBorderNone;
        appearance.windowShape = kShapeRectangle;
    } else if (argument == "false") {
        size.sizeMode = kSizeMovie;
        appearance.borderStyle = kBorderResizable;
        appearance.windowShape = kShapeRectangle;
    }
    // The frame sizes the window to the movie its control holds now.
    frame_->ApplyAppearance(appearance);
    frame_->ApplySizeAndPosition(size);
    frame_->ApplyWindowShape(appearance, settings_->regionList);
}

void CommandChannel::Exec(const std::string& text) {
    const ExecSplit split = SplitExecArgument(text);
    const std::string path = ResolveExecProgram(split.program);
    if (!path.empty()) startProgram_({path, split.parameters, std::string(platform::FolderPart(path))});
}

// ---- exec ----

ExecSplit SplitExecArgument(const std::string& text) {
    ExecSplit split;
    if (const size_t lastQuote = text.rfind('"'); lastQuote != std::string::npos) {
        for (const char c : text.substr(0, lastQuote))
            if (c != '"') split.program += c;
        split.parameters = text.substr(lastQuote + 1);
    } else if (const size_t blank = text.find(' '); blank != std::string::npos) {
        split.program = text.substr(0, blank);
        split.parameters = text.substr(blank);
    } else {
        split.program = text;
    }
    return split;
}

std::string ResolveExecProgram(const std::string& program) {
    std::string name = program;
    for (char& c : name)
        if (c == '/') c = '\\';
    if (!name.empty() && name[0] == '\\') name.erase(0, 1);
    // An empty name would make every folder of the search a candidate (and
    // extract the whole package): there is no program to start.
    if (name.empty()) return "";
    if (name.find(':') != std::string::npos) return IsProgramFile(name) ? name : "";

    if (std::string item = PackageItem(name); IsProgramFile(item)) return item;
    const std::string executableFolder(platform::FolderPart(platform::ModuleFileName()));
    std::vector<std::string> candidates = {
        platform::JoinPath(executableFolder, name),
        platform::JoinPath(executableFolder, "fscommand\\" + name),
        platform::JoinPath(platform::SystemDirectory(), name),
        platform::JoinPath(platform::WindowsDirectory(), name),
    };
    const std::string searchPath = platform::GetEnvironment("PATH").value_or("");
    for (size_t start = 0; start <= searchPath.size();) {
        const size_t end = std::min(searchPath.find(';', start), searchPath.size());
        if (end > start) candidates.push_back(platform::JoinPath(searchPath.substr(start, end - start), name));
        start = end + 1;
    }
    for (const std::string& candidate : candidates)
        if (IsProgramFile(candidate)) return candidate;
    return "";
}

}  // namespace velmo::shell
