// Choosing the control file: the script's answer, the private player, the registered control and the
// class id, each asked for only when the one before gave no existing file.
#include <gtest/gtest.h>

#include "platform/files.h"
#include "shell/control_choice.h"
#include "tests/support/scratch.h"

namespace velmo::shell {
namespace {

class ControlChoiceTest : public ::testing::Test {
protected:
    ControlChoice Choose(const std::optional<std::string>& answer) {
        return ChooseControlFile(
            answer, exeFolder_,
            [this] {
                ++privateAsked_;
                return privatePath_;
            },
            [this] {
                ++registeredAsked_;
                return registered_;
            });
    }

    testing::ScratchFolder scratch_;
    std::string exeFolder_ = scratch_.Path() + "app";
    std::string privatePath_;
    std::string registered_ = "C:\\Windows\\system32\\player.ocx";
    int privateAsked_ = 0;
    int registeredAsked_ = 0;
};

TEST_F(ControlChoiceTest, ARelativeAnswerIsFoundBesideTheExecutable) {
    ASSERT_TRUE(platform::CreateFolder(exeFolder_));
    ASSERT_TRUE(platform::CreateFolder(exeFolder_ + "\\players"));
    scratch_.Write("app\\players\\mine.ocx", testing::Bytes("x"));
    for (const char* answer : {"players/mine.ocx", "/players/mine.ocx", "\\players\\mine.ocx"}) {
        const ControlChoice choice = Choose(answer);
        EXPECT_EQ(choice.source, ControlSource::Script) << answer;
        EXPECT_EQ(choice.file, exeFolder_ + "\\players\\mine.ocx") << answer;
    }
    EXPECT_EQ(privateAsked_, 0);
    EXPECT_EQ(registeredAsked_, 0);
}

TEST_F(ControlChoiceTest, ANameWithADriveColonIsTakenAsItIsWhenItExists) {
#ifdef _WIN32
    const std::string absolute = scratch_.Path() + "abs.ocx";  // holds the drive's colon
#else
    ASSERT_TRUE(platform::CreateFolder(scratch_.Path() + "d:"));
    const std::string absolute = scratch_.Path() + "d:\\abs.ocx";
#endif
    scratch_.Write(absolute.substr(scratch_.Path().size()), testing::Bytes("x"));
    EXPECT_EQ(Choose(absolute).file, absolute);
    // Not looked for beside the executable, even when a file of that name is there.
    ASSERT_TRUE(platform::CreateFolder(exeFolder_));
    scratch_.Write("app\\abs.ocx", testing::Bytes("x"));
    const ControlChoice missing = Choose("Q:\\abs.ocx");
    EXPECT_EQ(missing.source, ControlSource::Registered);
    EXPECT_EQ(missing.file, registered_);
}

TEST_F(ControlChoiceTest, FallsBackThroughThePrivatePlayerToTheRegisteredFileAndTheClassId) {
    privatePath_ = scratch_.Write("12AB0.tmp", testing::Bytes("control"));
    for (const std::optional<std::string>& answer :
         {std::optional<std::string>(), std::optional<std::string>(""), std::optional<std::string>("missing.ocx")}) {
        const ControlChoice choice = Choose(answer);
        EXPECT_EQ(choice.source, ControlSource::PrivatePlayer);
        EXPECT_EQ(choice.file, privatePath_);
    }
    EXPECT_EQ(registeredAsked_, 0);

    ASSERT_TRUE(platform::DeleteFile(privatePath_));  // a name the preparation left without a file
    EXPECT_EQ(Choose(std::nullopt).file, registered_);
    privatePath_.clear();
    EXPECT_EQ(Choose(std::nullopt).source, ControlSource::Registered);
    registered_.clear();
    const ControlChoice byClassId = Choose("missing.ocx");
    EXPECT_EQ(byClassId.source, ControlSource::ClassId);
    EXPECT_EQ(byClassId.file, "");
}

}  // namespace
}  // namespace velmo::shell
