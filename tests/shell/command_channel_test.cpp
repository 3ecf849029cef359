// The movie command channel on headless: command names in any case, the module
// cache, the engine's life across "Velmo_Quit" (also from inside a running
// script), the window commands on the recording frame, and the program search
// of "exec".
#include <gtest/gtest.h>

#include <algorithm>

#include "host/make_engine.h"
#include "platform/environment.h"
#include "platform/error_report.h"
#include "platform/files.h"
#include "platform/text.h"
#include "script/compiler/compiler.h"
#include "script/runtime/convert.h"
#include "script/runtime/properties.h"
#include "shell/command_channel.h"
#include "platform/common/model_desktop.h"
#include "platform/standin/standin_movie_control.h"
#include "shell/main_frame.h"
#include "shell/shell_error.h"
#include "tests/support/scratch.h"
#include "tools/builder/blob_writer.h"
#include "tools/builder/pe_writer.h"

namespace velmo::shell {
namespace {

std::vector<uint8_t> Compiled(const std::string& source) {
    script::compiler::CompileResult result = script::compiler::CompileString(source, 0);
    EXPECT_TRUE(result.ok) << result.diagnostics;
    return result.module;
}

std::string HostForm(std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

// A script may send commands back while it runs, as a movie it calls does;
// `command(name, text)` stands in for that path. The channel under test is
// reached through this pointer because class operations are plain functions.
CommandChannel* commandTarget = nullptr;
int deepestNesting = 0;

void CommandOp(script::Interpreter& interp, script::ClassRecord&, void*, script::Value* result, script::Value* args) {
    *result = script::Value::Undefined();
    if (args[0].AsInteger() < 2 || !commandTarget) return;
    const std::string command = platform::Utf16ToAnsi(script::ToText(interp, args[1]));
    const std::string argument = platform::Utf16ToAnsi(script::ToText(interp, args[2]));
    deepestNesting = std::max(deepestNesting, commandTarget->Nesting());
    commandTarget->DispatchMovieCommand(command.c_str(), argument.c_str());
}

std::unique_ptr<script::Engine> EngineWithCommand() {
    std::unique_ptr<script::Engine> engine = host::MakeEngine();
    script::ClassRecord* cls = script::NewClass(engine->Interp(), "command");
    cls->Call = &CommandOp;
    script::PublishClass(engine->Interp(), "command", cls);
    return engine;
}

class ChannelTest : public ::testing::Test {
protected:
    ChannelTest() {
        commandTarget = &channel_;
        deepestNesting = 0;
        channel_.SetTraceSink([this](std::string_view line) { trace_.emplace_back(line); });
    }
    ~ChannelTest() override {
        commandTarget = nullptr;
        platform::UseApplicationImage("");
    }
    // An application image whose "VELMO" resources are the given scripts,
    // compiled.
    void UseScripts(const std::vector<std::pair<std::string, std::string>>& scripts,
                    const std::string& file = "app.exe") {
        std::vector<builder::ImageResource> resources;
        for (const auto& [name, source] : scripts)
            resources.push_back({"VELMO", name, 0, builder::EncodeResourceBlob(Compiled(source))});
        platform::UseApplicationImage(scratch_.Write(file, builder::WriteResourceImage(resources)));
    }
    void Send(const char* command, const char* argument = "") { channel_.DispatchMovieCommand(command, argument); }

    testing::ScratchFolder scratch_;
    std::vector<ProgramLaunch> launches_;
    CommandChannel channel_{&EngineWithCommand, [this](const ProgramLaunch& l) { launches_.push_back(l); }};
    std::vector<std::string> trace_;
};

TEST_F(ChannelTest, CommandAndResourceNamesIgnoreCase) {
    UseScripts({{"Initialize", "trace('initialized');"}});
    Send("velmo_run", "initialize");
    Send("VELMO_RUN", "INITIALIZE");
    EXPECT_EQ(trace_, (std::vector<std::string>{"initialized", "initialized"}));
    Send("Velmo_Runx", "Initialize");  // not a command of the table
    Send(nullptr, "Initialize");
    EXPECT_EQ(trace_.size(), 2u);
    EXPECT_EQ(channel_.Nesting(), 0);
}

TEST_F(ChannelTest, AModuleIsLoadedOnce) {
    UseScripts({{"Greet", "trace('first');"}});
    const ScriptModule* module = channel_.LoadScriptModule("Greet");
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(module->name, "Greet");
    // Another image with other bytes under the same name: the cache must not look
    // again.
    UseScripts({{"Greet", "trace('second');"}}, "other.exe");
    // The bucket hashes the bytes as given, but within a bucket names compare
    // without case: "GrEet" hashes to the bucket of "Greet".
    ASSERT_EQ(ModuleBucket("GrEet"), ModuleBucket("Greet"));
    EXPECT_EQ(channel_.LoadScriptModule("GrEet"), module);
    Send("Velmo_Run", "Greet");
    Send("Velmo_Run", "GrEet");
    EXPECT_EQ(trace_, (std::vector<std::string>{"first", "first"}));
    // A name without a resource runs nothing and makes no engine.
    Send("Velmo_Quit");
    Send("Velmo_Run", "Missing");
    EXPECT_EQ(channel_.LoadScriptModule("Missing"), nullptr);
    EXPECT_EQ(channel_.Engine(), nullptr);
}

// The movie may name scripts the application does not carry; only a script
// resource that is there but damaged is worth an error report.
TEST_F(ChannelTest, AMissingScriptIsSilentADamagedOneIsReported) {
    std::vector<builder::ImageResource> resources = {
        {"VELMO", "Broken", 0, {'Z', 'T', 1, 0, 9, 9}},
        {"VELMO", "Greet", 0, builder::EncodeResourceBlob(Compiled("trace('hi');"))}};
    platform::UseApplicationImage(scratch_.Write("app.exe", builder::WriteResourceImage(resources)));
    SetMainWindowCaptionSource([] { return std::optional<std::string>("App"); });
    platform::ShownErrors().clear();
    Send("Velmo_Run", "Missing");
    Send("velmo_run", "");
    EXPECT_TRUE(platform::ShownErrors().empty());
    Send("Velmo_Run", "Broken");
    ASSERT_EQ(platform::ShownErrors().size(), 1u);
    EXPECT_EQ(platform::ShownErrors()[0].text, "Bad compressed data length");
    Send("Velmo_Run", "Greet");
    EXPECT_EQ(trace_, std::vector<std::string>{"hi"});
    platform::ShownErrors().clear();
    SetMainWindowCaptionSource(nullptr);
}

TEST_F(ChannelTest, RunModuleBytesRunsTheCachedModuleAndReportsABooleanCompletion) {
    const std::vector<uint8_t> vetoes = Compiled("return false;");
    ScriptRun run = channel_.RunModuleBytes("Initialize", vetoes);
    EXPECT_TRUE(run.ran);
    EXPECT_EQ(run.booleanCompletion, std::optional<bool>(false));
    // Once cached, the name keeps its first bytes.
    run = channel_.RunModuleBytes("Initialize", Compiled("return true;"));
    EXPECT_EQ(run.booleanCompletion, std::optional<bool>(false));
    EXPECT_EQ(channel_.RunModuleBytes("Other", Compiled("return 'no';")).booleanCompletion, std::nullopt);
}

TEST_F(ChannelTest, QuitThenEvalRunsInAFreshEngine) {
    Send("Velmo_Eval", "counter = 41;");
    Send("Velmo_Eval", "counter = counter + 1; trace(counter);");
    ASSERT_EQ(trace_, (std::vector<std::string>{"42"}));
    Send("Velmo_Quit");
    EXPECT_EQ(channel_.Engine(), nullptr);
    Send("velmo_eval", "trace(typeof counter);");
    ASSERT_FALSE(trace_.empty());
    EXPECT_EQ(trace_.back(), "undefined");
    EXPECT_NE(channel_.Engine(), nullptr);
}

TEST_F(ChannelTest, ErrorsGoToTheTraceAndTheChannelGoesOn) {
    Send("Velmo_Eval", "x = ;");
    ASSERT_EQ(trace_.size(), 1u);
    EXPECT_NE(trace_[0].find("syntax error"), std::string::npos) << trace_[0];
    Send("Velmo_Eval", "throw 'bad';");
    EXPECT_EQ(trace_.size(), 2u);
    Send("Velmo_File", (scratch_.Path() + "absent.qvs").c_str());
    EXPECT_EQ(trace_.size(), 3u);
    Send("Velmo_Eval", "trace('after');");
    EXPECT_EQ(trace_.back(), "after");
    EXPECT_EQ(channel_.Nesting(), 0);
}

// The script that sends "Velmo_Quit" is still running in the engine being quit:
// it must finish in that engine, and the next command must get a new one.
TEST_F(ChannelTest, QuitFromARunningScriptWaitsForItToEnd) {
    Send("Velmo_Eval",
         "kept = 'old'; command('Velmo_Quit', ''); trace('still ' + kept);"
         "command('Velmo_Eval', 'trace(typeof kept);'); trace('done ' + kept);");
    // The fresh engine warns about the unset global before answering.
    EXPECT_EQ(trace_, (std::vector<std::string>{"still old", "Warning: using undefined variable \"kept\"", "undefined",
                                                "done old"}));
    EXPECT_EQ(deepestNesting, 1);
    EXPECT_EQ(channel_.Nesting(), 0);
    Send("Velmo_Eval", "trace(typeof kept);");
    EXPECT_EQ(trace_.back(), "undefined");
}

TEST_F(ChannelTest, WindowCommandsActOnTheAttachedFrame) {
    Send("Velmo_AsynRun", "Later");  // no frame yet: nowhere to queue
    platform::ModelDesktop desktop;
    MainFrame frame(desktop, nullptr);
    SettingsRecord settings;
    settings.sizeAndPosition.sizeMode = kSizeCustom;
    settings.appearance.borderStyle = kBorderSingle;
    settings.appearance.windowShape = kShapeClip;
    settings.regionList = {"mask"};
    channel_.Attach(&frame, &settings);

    Send("fullscreen", "maybe");
    EXPECT_EQ(settings.sizeAndPosition.sizeMode, kSizeCustom);
    EXPECT_EQ(settings.appearance.borderStyle, kBorderSingle);
    EXPECT_EQ(settings.appearance.windowShape, kShapeClip);
    ASSERT_EQ(frame.Applied().size(), 3u);  // re-applied all the same
    EXPECT_EQ(frame.Applied()[2], "window region from 1 image(s)");

    Send("FullScreen", "true");
    EXPECT_EQ(settings.sizeAndPosition.sizeMode, kSizeFullScreen);
    EXPECT_EQ(settings.appearance.borderStyle, kBorderNone);
    EXPECT_EQ(settings.appearance.windowShape, kShapeRectangle);
    EXPECT_EQ(frame.Applied().size(), 5u);  // a rectangle has no region to set
    Send("fullscreen", "false");
    EXPECT_EQ(settings.sizeAndPosition.sizeMode, kSizeMovie);
    EXPECT_EQ(settings.appearance.borderStyle, kBorderResizable);

    Send("Velmo_AsynRun", "Later");
    Send("velmo_asynrun", "After");
    EXPECT_EQ(frame.AsyncQueue(), (std::deque<std::string>{"Later", "After"}));
    EXPECT_FALSE(frame.ClosePosted());
    Send("QUIT");
    EXPECT_TRUE(frame.ClosePosted());
    channel_.Attach(nullptr, nullptr);
    Send("fullscreen", "true");  // the frame is gone: nothing to apply to
}

TEST(ExecArgument, SplitsAtTheLastQuoteOrElseTheFirstBlank) {
    const struct {
        const char* text;
        const char* program;
        const char* parameters;
    } rows[] = {
        {"\"my tool.exe\" /s", "my tool.exe", " /s"},
        {"a\"b\"c d", "ab", "c d"},  // quotes before the last are removed; what
                                     // follows it is all parameters
        {"tool.exe -x -y", "tool.exe", " -x -y"},
        {"tool.exe", "tool.exe", ""},
        {"", "", ""},
    };
    for (const auto& row : rows) {
        const ExecSplit split = SplitExecArgument(row.text);
        EXPECT_EQ(split.program, row.program) << row.text;
        EXPECT_EQ(split.parameters, row.parameters) << row.text;
    }
}

TEST_F(ChannelTest, ExecFindsProgramsBesideTheExecutableThenInItsFscommandFolder) {
    UseScripts({});
    ASSERT_TRUE(platform::CreateFolder(scratch_.Path() + "fscommand"));
    scratch_.Write("my tool.exe", {});
    scratch_.Write("fscommand\\helper.exe", {});
    scratch_.Write("fscommand\\my tool.exe", {});
    testing::ScopedEnvironment path("PATH", std::nullopt);

    Send("exec", "\"my tool.exe\" /s");  // beside the executable comes first
    Send("EXEC", "/helper.exe -x");      // one leading separator is dropped
    Send("exec", "missing.exe");
    Send("exec", "");
    Send("exec", "Z:\\nowhere\\helper.exe");  // a drive path is never searched for
    ASSERT_EQ(launches_.size(), 2u);
    EXPECT_EQ(HostForm(launches_[0].path), HostForm(scratch_.Path() + "my tool.exe"));
    EXPECT_EQ(launches_[0].parameters, " /s");
    EXPECT_EQ(HostForm(launches_[0].folder + "\\"), HostForm(scratch_.Path()));
    EXPECT_EQ(HostForm(launches_[1].path), HostForm(scratch_.Path() + "fscommand\\helper.exe"));
    EXPECT_EQ(launches_[1].parameters, " -x");
    EXPECT_EQ(HostForm(launches_[1].folder), HostForm(scratch_.Path() + "fscommand"));
}

// `target` written relative to the current folder, or nothing when no relative
// form exists (another drive).
std::optional<std::string> RelativeToCurrentFolder(const std::string& target) {
    std::string here = platform::FullPath("x");
    here.pop_back();
    std::string there = target;
    std::replace(here.begin(), here.end(), '/', '\\');
    std::replace(there.begin(), there.end(), '/', '\\');
    size_t common = 0;
    for (size_t i = 0; i < here.size() && i < there.size() && here[i] == there[i]; ++i)
        if (here[i] == '\\') common = i + 1;
    if (common == 0) return std::nullopt;
    std::string relative;
    for (size_t i = common; i < here.size(); ++i)
        if (here[i] == '\\') relative += "..\\";
    return relative + there.substr(common);
}

// An application started by a relative name still has its folder: programs
// beside it are found there, not at the root of the disk.
TEST_F(ChannelTest, ExecFindsProgramsBesideAnApplicationNamedRelatively) {
    UseScripts({});
    const std::optional<std::string> relative = RelativeToCurrentFolder(scratch_.Path() + "app.exe");
    if (!relative) GTEST_SKIP() << "the scratch folder is on another drive";
    platform::UseApplicationImage(*relative);
    EXPECT_EQ(platform::ModuleFileName(), platform::FullPath(*relative));
    EXPECT_NE(platform::ModuleFileName(), *relative);
    scratch_.Write("tool.exe", testing::Bytes("the tool"));
    testing::ScopedEnvironment path("PATH", std::nullopt);
    Send("exec", "tool.exe");
    ASSERT_EQ(launches_.size(), 1u);
    EXPECT_EQ(testing::ReadText(launches_[0].path), "the tool");
}

TEST_F(ChannelTest, ExecSearchesEveryFolderOfPathInOrder) {
    UseScripts({});
    ASSERT_TRUE(platform::CreateFolder(scratch_.Path() + "one"));
    ASSERT_TRUE(platform::CreateFolder(scratch_.Path() + "two"));
    scratch_.Write("two\\onpath.exe", {});
    testing::ScopedEnvironment path("PATH",
                                    scratch_.Path() + "missing;;" + scratch_.Path() + "one;" + scratch_.Path() + "two");
    Send("exec", "onpath.exe");
    ASSERT_EQ(launches_.size(), 1u);
    EXPECT_EQ(HostForm(launches_[0].path), HostForm(scratch_.Path() + "two\\onpath.exe"));
}

}  // namespace
}  // namespace velmo::shell
