// The player's private copy against application images built here: an "FP" record naming an
// installer in the package, installers with and without a cabinet, and the names it leaves in the
// temporary folder.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/environment.h"
#include "platform/files.h"
#include "shell/player_setup.h"
#include "shell/run_folder.h"
#include "tests/support/cabinet_writer.h"
#include "tests/support/scratch.h"
#include "tools/builder/blob_writer.h"
#include "tools/builder/package_writer.h"
#include "tools/builder/pe_writer.h"
#include "tools/builder/records_writer.h"

namespace velmo::shell {
namespace {

using testing::Bytes;
using testing::CabinetFile;
using testing::WriteCabinet;

TEST(TempName, CountsUpFromTheTickAndGivesUpAfterTheLastCandidate) {
    const auto none = [](const std::string&) { return false; };
    EXPECT_EQ(MakeTempName("C:\\T\\", 0x1A, ".tmp", none), "C:\\T\\001A0.tmp");
    EXPECT_EQ(MakeTempName("C:\\T\\", 0x12345678, ".cab", none), "C:\\T\\123456780.cab");

    const std::vector<std::string> taken = {"B\\00FF0.tmp", "B\\00FF1.tmp", "B\\00FF2.tmp"};
    EXPECT_EQ(MakeTempName("B\\", 0xFF, ".tmp",
                           [&](const std::string& p) { return std::count(taken.begin(), taken.end(), p) > 0; }),
              "B\\00FF3.tmp");

    uint32_t asked = 0;
    std::string last;
    EXPECT_EQ(MakeTempName("B\\", 0, ".tmp",
                           [&](const std::string& p) {
                               ++asked;
                               last = p;
                               return true;
                           }),
              std::nullopt);
    EXPECT_EQ(asked, kMaxTempCandidates);
    EXPECT_EQ(last, "B\\000065534.tmp");
}

TEST(FlashPlayerRecordTest, OnlyTheExactSizeWithATerminatedNameIsRead) {
    const std::vector<uint8_t> written = builder::WriteFlashPlayerRecord({{9, 0, 28, 0}, "setup\\player.exe"});
    ASSERT_EQ(written.size(), kFlashPlayerRecordBytes);
    const std::optional<FlashPlayerRecord> record = ParseFlashPlayerRecord(written);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->version, (std::array<uint32_t, 4>{9, 0, 28, 0}));
    EXPECT_EQ(record->installer, "setup\\player.exe");

    std::vector<uint8_t> shorter(written.begin(), written.end() - 1), longer = written;
    longer.push_back(0);
    EXPECT_FALSE(ParseFlashPlayerRecord(shorter));
    EXPECT_FALSE(ParseFlashPlayerRecord(longer));
    std::vector<uint8_t> unterminated = written;
    std::fill(unterminated.begin() + 16, unterminated.end(), 'a');
    EXPECT_FALSE(ParseFlashPlayerRecord(unterminated));
}

// An installer program: a resource-only image, with the cabinet as RCDATA "CABINET" when given.
std::vector<uint8_t> Installer(const std::optional<std::vector<uint8_t>>& cabinet) {
    std::vector<builder::ImageResource> resources = {{"#16", "#1", 0, Bytes("version")}};
    if (cabinet) resources.push_back({"#10", "CABINET", 0, *cabinet});
    return builder::WriteResourceImage(resources);
}

class PlayerSetupTest : public ::testing::Test {
protected:
    void SetUp() override { CreateRunFolder(); }
    void TearDown() override {
        RemoveRunFolder();
        platform::UseApplicationImage("");
    }

    // An application whose "FP" record (`fp`, or a well-formed one naming "setup\install.exe")
    // points into a package holding `installer` as "setup\install.exe".
    void UseApplication(const std::optional<std::vector<uint8_t>>& installer,
                        const std::optional<std::vector<uint8_t>>& fp = std::nullopt) {
        const std::vector<uint8_t> record =
            fp ? *fp : builder::WriteFlashPlayerRecord({{9, 0, 28, 0}, "setup\\install.exe"});
        std::vector<uint8_t> image =
            builder::WriteResourceImage({{"MOVORA", "FP", 0, builder::EncodeResourceBlob(record)}});
        std::vector<builder::PackageItem> items = {{"movie.swf", false, Bytes("FWS"), {}}};
        if (installer) items.push_back({"setup", true, {}, {{"install.exe", false, *installer, {}}}});
        const std::vector<uint8_t> package = builder::WritePackage(items);
        image.insert(image.end(), package.begin(), package.end());
        platform::UseApplicationImage(apps_.Write("app.exe", image));
    }

    // What the preparation left in the temporary folder, the run folder aside.
    std::vector<std::string> TempFiles() const {
        std::vector<std::string> names;
        for (const platform::FolderEntry& e : platform::ListFolder(temp_.Path()))
            if (!e.isFolder) names.push_back(e.name);
        std::sort(names.begin(), names.end());
        return names;
    }

    PlayerSetup MakeSetup() {
        return PlayerSetup(nullptr, [this](const std::string& installer) {
            ran_.push_back(installer);
            return platform::ProgramWait::Ended;
        });
    }

    testing::ScratchFolder apps_;
    testing::ScratchFolder temp_;
    testing::ScopedEnvironment tmp_{"TMP", temp_.Path()};
    std::vector<std::string> ran_;
};

TEST_F(PlayerSetupTest, TheLastControlFileOfTheCabinetStaysAtTheTemporaryName) {
    UseApplication(Installer(WriteCabinet({{"first.ocx", Bytes("first control")},
                                           {"notes.txt", Bytes("not a control")},
                                           {"second.OCX", Bytes("second control")}})));
    PlayerSetup setup = MakeSetup();
    const std::string path = setup.PrivatePlayerPath();
    EXPECT_TRUE(setup.Extracted());
    EXPECT_EQ(path.rfind(temp_.Path(), 0), 0u) << path;
    EXPECT_EQ(path.substr(path.size() - 5), "0.tmp");
    EXPECT_EQ(testing::ReadText(path), "second control");
    EXPECT_EQ(TempFiles(), std::vector<std::string>{path.substr(temp_.Path().size())});  // the cabinet is gone
    EXPECT_TRUE(ran_.empty());
}

TEST_F(PlayerSetupTest, ASecondRequestReturnsTheFirstAnswerWithoutPreparingAgain) {
    UseApplication(Installer(WriteCabinet({{"player.ocx", Bytes("control")}})));
    PlayerSetup setup = MakeSetup();
    const std::string first = setup.PrivatePlayerPath();
    ASSERT_TRUE(platform::DeleteFile(first));
    EXPECT_EQ(setup.PrivatePlayerPath(), first);
    EXPECT_FALSE(platform::PathExists(first));
    EXPECT_TRUE(TempFiles().empty());
}

TEST_F(PlayerSetupTest, WithoutARecordOrItsInstallerThereIsNoPathAndNoTemporaryFile) {
    UseApplication(std::nullopt);  // the record names an installer the package lacks
    EXPECT_EQ(MakeSetup().PrivatePlayerPath(), "");
    std::vector<uint8_t> wrongSize = builder::WriteFlashPlayerRecord({{9, 0, 0, 0}, "setup\\install.exe"});
    wrongSize.push_back(0);
    UseApplication(Installer(WriteCabinet({{"player.ocx", Bytes("control")}})), wrongSize);
    EXPECT_EQ(MakeSetup().PrivatePlayerPath(), "");
    platform::UseApplicationImage(apps_.Write("bare.exe", builder::WriteResourceImage({{"MOVORA", "X", 0, {1}}})));
    EXPECT_EQ(MakeSetup().PrivatePlayerPath(), "");
    EXPECT_TRUE(TempFiles().empty());
    EXPECT_TRUE(ran_.empty());
}

TEST_F(PlayerSetupTest, ADamagedCabinetLeavesNeitherControlNorCabinet) {
    std::vector<uint8_t> cabinet = WriteCabinet({{"player.ocx", std::vector<uint8_t>(50000, 'c')}});
    cabinet.resize(cabinet.size() - 30000);
    UseApplication(Installer(cabinet));
    PlayerSetup setup = MakeSetup();
    const std::string path = setup.PrivatePlayerPath();
    EXPECT_FALSE(setup.Extracted());
    EXPECT_FALSE(platform::PathExists(path));
    EXPECT_TRUE(TempFiles().empty());
    EXPECT_TRUE(ran_.empty());
}

TEST_F(PlayerSetupTest, OnlyAProgramWithoutACabinetIsRunAndItsPathNamesNoFile) {
    UseApplication(Bytes("plain text, no program"));
    EXPECT_FALSE(platform::PathExists(MakeSetup().PrivatePlayerPath()));
    EXPECT_TRUE(ran_.empty());

    RemoveRunFolder();  // a new run: the last one's installer is in the old run folder
    CreateRunFolder();
    UseApplication(Installer(std::nullopt));
    PlayerSetup setup = MakeSetup();
    const std::string path = setup.PrivatePlayerPath();
    EXPECT_FALSE(path.empty());
    EXPECT_FALSE(platform::PathExists(path));
    EXPECT_FALSE(setup.Extracted());
    ASSERT_EQ(ran_.size(), 1u);
    EXPECT_EQ(ran_[0], ExtraFolder() + "setup\\install.exe");
    EXPECT_TRUE(platform::FileExists(ran_[0]));
}

}  // namespace
}  // namespace velmo::shell
