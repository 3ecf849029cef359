// Shell, Dialogs and MCI over the model desktop and media model: the system's error text that a
// failed start leaves, device objects whose playback window hears notifications and whose
// collection closes the device, the video placed in the playback window, and the pure texts of
// file dialogs.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "host/classes/dialog_text.h"
#include "host/classes/mci_time.h"
#include "host/framework/projector.h"
#include "platform/common/model_media.h"
#include "platform/common/model_window_system.h"
#include "platform/last_error.h"
#include "script/runtime/convert.h"
#include "script/runtime/internal/interpreter.h"
#include "tests/support/projector_engine.h"

namespace velmo::host {
namespace {

using script::Tag;
using script::Value;

class HostObjects : public ::testing::Test {
protected:
    void SetUp() override {
        platform::UseWindowSystem(&windows_);
        platform::UseMediaDevices(&media_);
        engine_ = testing::EngineOver(projector_);
        ASSERT_TRUE(engine_);
    }
    void TearDown() override {
        engine_.reset();
        platform::UseMediaDevices(nullptr);
        platform::UseWindowSystem(nullptr);
    }
    script::Interpreter& interp() { return engine_->Interp(); }
    void Run(std::string_view source) { ASSERT_EQ(engine_->RunSourceText(source), 1) << engine_->ErrorText(); }
    Value Global(std::string_view name) { return interp().GlobalByName(name); }

    platform::ModelWindowSystem windows_;
    platform::ModelMedia media_{[](const std::string& path) -> std::optional<std::vector<uint8_t>> {
                                    if (path == "movie.avi") return std::vector<uint8_t>(4, 0);
                                    return std::nullopt;
                                },
                                [this]() -> platform::ModelWindowSystem& { return windows_; }};
    Projector projector_;
    std::unique_ptr<script::Engine> engine_;
};

TEST_F(HostObjects, AFailedStartLeavesTheSystemTextAndNull) {
    Run("r = Shell.run('no-such-program-of-any-name');");
    EXPECT_TRUE(Global("r").Is(Tag::Null));
    EXPECT_EQ(script::ErrorText(interp()), platform::SystemErrorText(platform::kErrorFileNotFound));
}

TEST_F(HostObjects, PlaybackWindowDeliversNotificationsToOnNotify) {
    Run("codes = ''; m = new MCI(); m.fileName = 'movie.avi'; m.notify = true;"
        "m.onNotify = function (code) { codes += code + (this === m ? '+' : '-'); };"
        "m.command = 'open'; m.command = 'play'; m.command = 'stop';");
    windows_.DeliverPosted();
    // open succeeded, the play was aborted by the stop, the stop succeeded.
    const Value codes = Global("codes");
    ASSERT_TRUE(codes.Is(Tag::String));
    EXPECT_EQ(script::ToText(interp(), codes), u"1+4+1+");
}

TEST_F(HostObjects, VideoFillsThePlaybackWindowAtTheSetPlaceAndSize) {
    Run("m = new MCI(); m.fileName = 'movie.avi'; m.left = 10; m.top = 20; m.command = 'open';"
        "w = m.playerWindow; vis = w.visible; wd = w.width; ht = w.height; l = w.left;");
    EXPECT_TRUE(Global("vis").AsBoolean());
    // Width and height were 0: the video's own size.
    EXPECT_EQ(Global("wd").AsInteger(), 320);
    EXPECT_EQ(Global("ht").AsInteger(), 240);
    EXPECT_EQ(Global("l").AsInteger(), 10);
    Run("m.width = 100; m.height = 50; m.command = 'where'; a = m.width; m.command = 'close'; vis = w.visible;");
    EXPECT_EQ(Global("a").AsInteger(), 320);
    EXPECT_FALSE(Global("vis").AsBoolean());
}

// Video plays over the movie: a device's playback window is a child of the movie window.
TEST_F(HostObjects, ThePlaybackWindowIsAChildOfTheMovieWindow) {
    struct WithMovie : Projector {
        uintptr_t main = 0, movie = 0;
        uintptr_t MainWindow() const override { return main; }
        uintptr_t MovieWindow() const override { return movie; }
    } frame;
    frame.main = windows_.Register("VelmoFrame", 0, {0, 0, 640, 480}, 0, nullptr);
    frame.movie = windows_.Register("VelmoMovieArea", 0, {0, 0, 640, 480}, frame.main, nullptr);
    auto engine = testing::EngineOver(frame);
    ASSERT_TRUE(engine);
    ASSERT_EQ(engine->RunSourceText("m = new MCI(); h = m.playerWindow.handle;"), 1) << engine->ErrorText();
    const auto handle = static_cast<platform::WindowHandle>(engine->Interp().GlobalByName("h").AsInteger());
    EXPECT_EQ(windows_.Parent(handle), frame.movie);
}

TEST_F(HostObjects, CollectingADeviceClosesItAndDestroysItsWindow) {
    Run("m = new MCI(); m.fileName = 'movie.avi'; m.command = 'open'; h = m.playerWindow.handle;");
    const auto handle = static_cast<platform::WindowHandle>(Global("h").AsInteger());
    ASSERT_EQ(media_.OpenCount(), 1u);
    ASSERT_TRUE(windows_.IsWindow(handle));
    Run("m = null;");
    interp().Collect();
    interp().Collect();  // the Window value of the playback window goes in the same way
    EXPECT_EQ(media_.OpenCount(), 0u);
    EXPECT_FALSE(windows_.IsWindow(handle));
}

TEST(DialogText, BarsBecomeSeparatorsAndTheListEndsWithTwoZeros) {
    const std::string filter = SystemFilter("Text|*.txt|All|*.*");
    EXPECT_EQ(filter, std::string("Text\0*.txt\0All\0*.*\0", 19));
    // Counting the string's own terminator, the list ends with two zeros, and a trailing bar
    // does not make a third.
    EXPECT_EQ(SystemFilter("Text|*.txt|"), std::string("Text\0*.txt\0", 11));
    EXPECT_EQ(SystemFilter(""), "");
    EXPECT_EQ(NameListParts(std::string("C:\\d\0a.txt\0b.txt", 16)),
              (std::vector<std::string>{"C:\\d", "a.txt", "b.txt"}));
    EXPECT_EQ(NameListParts("C:\\one.txt"), (std::vector<std::string>{"C:\\one.txt"}));
    EXPECT_TRUE(NameListParts("").empty());
}

TEST(MciTime, PackingKeepsTheLowByteOfEachFieldInOrder) {
    EXPECT_EQ(PackTimeBytes(1, 2, 3), 0x030201u);
    EXPECT_EQ(PackTimeBytes(0x1FF, -1, 0, 0x80), 0x8000FFFFu);
    EXPECT_EQ(TimeByte(0x8000FFFF, 3), 0x80);
    EXPECT_EQ(TimeByte(-1, 2), 0xFF);
}

}  // namespace
}  // namespace velmo::host
