// The movie control inside the frame, joined to the command channel: the settings words that
// become control properties, fscommands and external calls from the (stand-in) movie reaching the
// scripts with their replies going back through the control, calls from the scripts into the
// movie behind the player-version gate, and a detached control reaching nothing.
#include <gtest/gtest.h>

#include "host/movie/movie_functions.h"
#include "shell/command_channel.h"
#include "shell/movie_host.h"
#include "platform/common/model_desktop.h"
#include "platform/standin/standin_movie_control.h"
#include "shell/main_frame.h"

namespace velmo::shell {
namespace {

TEST(MovieHost, SettingsWordsBecomeControlProperties) {
    EXPECT_EQ(ControlScaleMode(0x1), std::optional<int>(0));
    EXPECT_EQ(ControlScaleMode(0x2), std::optional<int>(1));
    EXPECT_EQ(ControlScaleMode(0x100), std::optional<int>(2));  // exact fit
    EXPECT_EQ(ControlScaleMode(0x10), std::optional<int>(3));   // no scale
    for (uint32_t other : {0x0u, 0x3u, 0x4u, 0x101u, 0x1000u}) EXPECT_EQ(ControlScaleMode(other), std::nullopt);

    EXPECT_EQ(ControlBackgroundColor(0xFF0001), std::optional<int32_t>(0x0100FF));  // bytes 01 00 FF
    EXPECT_EQ(ControlBackgroundColor(0x00345613), std::optional<int32_t>(0x135634));
    EXPECT_EQ(ControlBackgroundColor(0xFF0000), std::nullopt);  // bit 0 clear: no colour
    EXPECT_EQ(ControlBackgroundColor(0), std::nullopt);

    platform::StandinMovieControl control;
    ApplyScaleMode(control, 0x100);
    ApplyScaleMode(control, 0x8);  // not a scale setting: the control keeps exact fit
    EXPECT_EQ(control.ScaleMode(), 2);
    ApplyBackgroundColor(control, 0xFF0000);
    EXPECT_EQ(control.BackgroundColor(), -1);
    ApplyBackgroundColor(control, 0xFF0001);
    EXPECT_EQ(control.BackgroundColor(), 0x0100FF);
    ASSERT_TRUE(LoadMovieInto(control, "movie.swf", false));
    EXPECT_FALSE(control.Playing());
    EXPECT_EQ(control.Recorded().end()[-2], "Playing := false");  // before the movie, not after
    EXPECT_EQ(control.Recorded().back(), "Movie := \"movie.swf\"");
}

class MovieEventsTest : public ::testing::Test {
protected:
    // Plays a frame whose stand-in movie follows `driver` until its events are spent.
    void Play(const std::string& driver) {
        const platform::StandinScriptResult parsed = platform::ParseStandinMovieScript(driver);
        ASSERT_TRUE(parsed.script) << parsed.error;
        frame_ = std::make_unique<MainFrame>(desktop_, Standin(*parsed.script));
        ASSERT_TRUE(frame_->Create("icon"));
        channel_.Attach(frame_.get(), &settings_);
        frame_->LoadMovie("movie.swf", true);
        while (frame_->DeliverEvent()) {}
    }
    const std::vector<std::string>& Recorded() const { return standin_->Recorded(); }
    // A stand-in following `script`, remembered for Recorded().
    MainFrame::ControlFactory Standin(platform::StandinMovieScript script) {
        return [this, script](platform::FrameWindow&, const std::string&) -> std::unique_ptr<platform::MovieControl> {
            auto control = std::make_unique<platform::StandinMovieControl>(script);
            standin_ = control.get();
            return control;
        };
    }
    // The reply the movie got to its last external call.
    std::string LastReply() const {
        for (auto line = Recorded().rbegin(); line != Recorded().rend(); ++line)
            if (line->rfind("SetReturnValue(", 0) == 0) return *line;
        return "none";
    }

    CommandChannel channel_;
    SettingsRecord settings_;
    platform::ModelDesktop desktop_;
    platform::StandinMovieControl* standin_ = nullptr;  // owned by the frame
    std::unique_ptr<MainFrame> frame_;
    std::vector<std::string> trace_;
};

TEST_F(MovieEventsTest, TheMoviesCommandsAndCallsReachTheScriptsAndGetTheirReplies) {
    channel_.SetTraceSink([this](std::string_view line) { trace_.emplace_back(line); });
    Play(
        "fscommand Velmo_Eval function twice(s) { return s + s; } trace('from the movie');\n"
        "flashcall <invoke name=\"velmo_eval\" returntype=\"xml\"><arguments><string>6 * 7</string></arguments>"
        "</invoke>\n"
        "flashcall <invoke name=\"twice\" returntype=\"xml\"><arguments><string>a&amp;b</string></arguments>"
        "</invoke>\n"
        "flashcall <not a request\n"
        "fscommand unknown ignored\n"
        "fscommand fullscreen true\n");
    EXPECT_EQ(trace_, (std::vector<std::string>{"from the movie"}));
    const std::vector<std::string>& r = Recorded();
    const auto replyAfter = [&r](const std::string& prefix) {
        for (size_t i = 0; i + 1 < r.size(); ++i)
            if (r[i].rfind(prefix, 0) == 0) return r[i + 1];
        return std::string("no such event");
    };
    EXPECT_EQ(replyAfter("raise FlashCall(\"<invoke name=\\\"velmo_eval"), "SetReturnValue(\"<number>42</number>\")");
    EXPECT_EQ(replyAfter("raise FlashCall(\"<invoke name=\\\"twice"),
              "SetReturnValue(\"<string>a&amp;ba&amp;b</string>\")");
    EXPECT_EQ(replyAfter("raise FlashCall(\"<not"), "SetReturnValue(\"<undefined/>\")");
    EXPECT_EQ(settings_.sizeAndPosition.sizeMode, kSizeFullScreen);  // the window commands arrive too
    EXPECT_EQ(channel_.Nesting(), 0);
}

TEST_F(MovieEventsTest, WithoutAnEngineTheMovieIsAnsweredUndefined) {
    CommandChannel noEngine([] { return std::unique_ptr<script::Engine>(); });
    platform::StandinMovieControl control(
        *platform::ParseStandinMovieScript("flashcall <invoke name=\"f\" returntype=\"xml\"><arguments/></invoke>")
             .script);
    noEngine.AttachMovie(&control);
    ASSERT_TRUE(control.SetMovie(u"m.swf"));
    ASSERT_TRUE(control.RaiseNextEvent());
    EXPECT_EQ(control.Recorded().back(), "SetReturnValue(\"<undefined/>\")");
    noEngine.AttachMovie(nullptr);
}

// A script's call into the movie goes through the control only when the player is version 8 or
// later; before that the movie cannot answer and the call is undefined.
TEST_F(MovieEventsTest, ScriptsCallTheMovieBehindTheVersionGate) {
    for (const char* version : {"8.0", "7.9"}) {
        trace_.clear();
        channel_.SetTraceSink([this](std::string_view line) { trace_.emplace_back(line); });
        Play(std::string("version ") + version + "\nfunction fromMovie <string>pong</string>\n");
        channel_.DispatchMovieCommand("Velmo_Quit", "");
        channel_.DispatchMovieCommand("Velmo_Eval", "0;");
        ASSERT_NE(channel_.Engine(), nullptr);
        ASSERT_TRUE(host::RegisterMovieFunction(channel_.Engine()->Interp(), channel_.MovieCalls(), u"fromMovie"));
        channel_.DispatchMovieCommand("Velmo_Eval", "trace(fromMovie(2, 'x'));");
        const bool open = std::string(version) == "8.0";
        EXPECT_EQ(trace_, (std::vector<std::string>{open ? "pong" : "undefined"})) << version;
        EXPECT_EQ(Recorded().back(),
                  open ? "CallFunction(\"<invoke name=\\\"fromMovie\\\" returntype=\\\"xml\\\"><arguments>"
                         "<number>2</number><string>x</string></arguments></invoke>\") -> \"<string>pong</string>\""
                       : "Movie := \"movie.swf\"")
            << version;
        channel_.Attach(nullptr, nullptr);
    }
}

TEST_F(MovieEventsTest, ADetachedControlReachesNothing) {
    channel_.SetTraceSink([this](std::string_view line) { trace_.emplace_back(line); });
    MainFrame late(desktop_, Standin(*platform::ParseStandinMovieScript("fscommand Velmo_Eval trace('late');").script));
    ASSERT_TRUE(late.Create("icon"));
    channel_.Attach(&late, &settings_);
    channel_.Attach(nullptr, nullptr);  // the frame goes before its movie plays
    late.LoadMovie("movie.swf", true);
    EXPECT_TRUE(late.DeliverEvent());
    EXPECT_EQ(standin_->Recorded().back(), "raise FSCommand(\"Velmo_Eval\", \"trace('late');\"): no sink, dropped");
    EXPECT_TRUE(trace_.empty());
}

}  // namespace
}  // namespace velmo::shell
