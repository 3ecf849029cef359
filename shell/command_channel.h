#pragma once
// The movie command channel: the movie's fscommand texts, the text commands the
// call codec hands back, and the projector's own start-up, idle and close
// requests. It owns the process's one script engine (made by the first command
// that needs it) and the cache of compiled script modules, whose records live
// as long as the channel.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "host/movie/movie_call_context.h"
#include "platform/movie_control.h"
#include "script/runtime/engine.h"
#include "shell/main_frame.h"
#include "shell/script_host.h"
#include "shell/settings_record.h"

namespace velmo::shell {

inline constexpr uint32_t kModuleBuckets = 17;

// The bucket of a module name: a shift-and-xor hash over its bytes, modulo
// kModuleBuckets.
uint32_t ModuleBucket(std::string_view name);

struct ScriptModule {
    std::string name;  // as first requested
    std::vector<uint8_t> bytes;
    // No per-module engine bookkeeping is kept between runs: the runtime keeps no
    // state of its own for a module, so there is nothing to store or restore.
    std::unique_ptr<ScriptModule> next;
};

// What "exec" hands to the system: the resolved program, its parameters, its
// working folder.
struct ProgramLaunch {
    std::string path;
    std::string parameters;
    std::string folder;
};

class CommandChannel {
public:
    using EngineFactory = std::function<std::unique_ptr<script::Engine>()>;
    using ProgramStarter = std::function<void(const ProgramLaunch&)>;

    // Null arguments take the real engine (default options) and the platform's
    // program start.
    explicit CommandChannel(EngineFactory makeEngine = nullptr, ProgramStarter startProgram = nullptr);
    ~CommandChannel();
    CommandChannel(const CommandChannel&) = delete;
    CommandChannel& operator=(const CommandChannel&) = delete;

    // The frame and the settings the window commands act on; null (the commands
    // do nothing) until the frame exists and after it is gone. The frame's movie
    // control is attached with it.
    void Attach(MainFrame* frame, SettingsRecord* settings);
    // The movie control whose events come here and which the scripts' calls into
    // the movie go to; null detaches it (its events are dropped from then on).
    // Its player version opens or closes the gate for calls into the movie.
    void AttachMovie(platform::MovieControl* control);
    // Where every engine's trace output goes from its creation on; nothing is
    // written without one.
    void SetTraceSink(script::TraceOutput::Sink sink);

    // Runs the command named `command` (any case) with `argument` (null reads as
    // ""); a null command and a name not in the table do nothing.
    void DispatchMovieCommand(const char* command, const char* argument);

    // The movie's external call: the reply document for `request`,
    // "<undefined/>" when there is none (no engine, or nothing to answer).
    std::u16string HandleMovieCall(std::u16string_view request);
    // What movie calls and the scripts' movie-function proxies reach outside
    // host/; it lives as long as the channel, so it outlives every engine.
    const host::MovieCallContext& MovieCalls() const { return movieCalls_; }

    // The cached module of `name` (any case), loaded from the "VELMO" blob
    // resource on first request; null when there is no such resource.
    const ScriptModule* LoadScriptModule(const std::string& name);
    // Runs a module as "Velmo_Run" does, from bytes the caller already loaded:
    // they are cached under `name` unless that name is cached already, in which
    // case the cached bytes run.
    ScriptRun RunModuleBytes(const std::string& name, std::span<const uint8_t> bytes);

    // Dispatches in progress; closing the main window waits while this is above
    // 0.
    int Nesting() const { return nesting_; }
    // Counts one dispatch for as long as it lives; scripted menu commands run
    // inside one too.
    class NestingScope {
    public:
        explicit NestingScope(CommandChannel& channel) : channel_(channel) { ++channel_.nesting_; }
        ~NestingScope() { --channel_.nesting_; }
        NestingScope(const NestingScope&) = delete;
        NestingScope& operator=(const NestingScope&) = delete;

    private:
        CommandChannel& channel_;
    };

    // The current engine, null while there is none.
    script::Engine* Engine() const { return engine_.get(); }

private:
    // The movie control's events: fscommands are dispatched, external calls
    // answered through the control.
    class MovieEvents final : public platform::MovieControlEvents {
    public:
        explicit MovieEvents(CommandChannel& channel) : channel_(channel) {}
        void OnFSCommand(std::u16string_view command, std::u16string_view argument) override;
        void OnFlashCall(std::u16string_view request) override;

    private:
        CommandChannel& channel_;
    };

    struct Command {
        const char* name;
        void (CommandChannel::*run)(const std::string& argument);
    };
    static const Command kCommands[];

    void Quit(const std::string& argument);
    void Run(const std::string& name);
    void AsyncRun(const std::string& name);
    void Eval(const std::string& text);
    void File(const std::string& path);
    void Trace(const std::string& argument);
    void CloseWindow(const std::string& argument);
    void FullScreen(const std::string& argument);
    void Exec(const std::string& text);

    ScriptModule* FindModule(const std::string& name) const;
    ScriptModule* LoadModule(const std::string& name);
    ScriptModule& InsertModule(const std::string& name, std::vector<uint8_t> bytes);
    ScriptRun RunModule(ScriptModule& module);
    ScriptRun RunInEngine(const std::function<int(script::Engine&)>& run);
    script::Engine* EnsureEngine();
    void ReleaseRetiredEngines();

    EngineFactory makeEngine_;
    ProgramStarter startProgram_;
    script::TraceOutput::Sink traceSink_;
    // Before the engines: their proxies hold it until they are gone.
    host::MovieCallContext movieCalls_;
    MovieEvents movieEvents_{*this};
    platform::MovieControl* movie_ = nullptr;  // not owned
    std::unique_ptr<script::Engine> engine_;
    // Engines quit while a script of theirs was still running: they go once no
    // run is active.
    std::vector<std::unique_ptr<script::Engine>> retired_;
    std::array<std::unique_ptr<ScriptModule>, kModuleBuckets> buckets_;
    MainFrame* frame_ = nullptr;          // not owned
    SettingsRecord* settings_ = nullptr;  // not owned
    int nesting_ = 0;
    int activeRuns_ = 0;
};

// The program and parameters of an "exec" argument: with a double quote, the
// program is the text before the last one (quotes removed) and the parameters
// what follows it; otherwise the text is split at its first blank, which starts
// the parameters.
struct ExecSplit {
    std::string program;
    std::string parameters;
};
ExecSplit SplitExecArgument(const std::string& text);

// The first existing file for an "exec" program name, or "" when there is none.
// A name with a drive colon is taken only as it is; any other is looked for in
// the package, beside the executable, in its "fscommand" folder, in the system
// and Windows folders and along PATH.
std::string ResolveExecProgram(const std::string& program);

}  // namespace velmo::shell
