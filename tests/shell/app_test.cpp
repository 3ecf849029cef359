// The start-up sequence, idle work and shutdown of the application object against application
// images built in the test, with the recording frame and a scripted stand-in for the engine.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/environment.h"
#include "platform/error_report.h"
#include "platform/files.h"
#include "platform/system.h"
#include "shell/app.h"
#include "shell/digest.h"
#include "platform/common/model_desktop.h"
#include "platform/standin/standin_movie_control.h"
#include "shell/frame_rules.h"
#include "shell/main_frame.h"
#include "shell/record_codec.h"
#include "shell/run_folder.h"
#include "tests/support/scratch.h"
#include "tools/builder/blob_writer.h"
#include "tools/builder/package_writer.h"
#include "tools/builder/pe_writer.h"
#include "tools/builder/records_writer.h"
#include "tests/support/cabinet_writer.h"

namespace velmo::shell {
namespace {

using builder::EncodeResourceBlob;
using testing::Bytes;

class FakeScripts final : public ScriptHost {
public:
    ScriptRun RunModule(const std::string& name, std::span<const uint8_t> module) override {
        ran.push_back(name + "=" + std::string(module.begin(), module.end()));
        if (onRun) onRun(name);
        return {true, completion, name == "_GetFlashPlayer" ? playerAnswer : std::nullopt, ""};
    }
    void DestroyEngine() override { ++destroyed; }
    std::vector<std::string> ran;
    std::optional<bool> completion;
    std::optional<std::string> playerAnswer;  // the text "_GetFlashPlayer" completes with
    std::function<void(const std::string&)> onRun;
    int destroyed = 0;
};

class TestServices final : public AppServices {
public:
    bool StartSockets() override { return socketsWork; }
    std::unique_ptr<MainFrame> MakeFrame() override {
        if (!framesWork) return nullptr;
        platform::StandinMovieScript movie;
        movie.unavailable = !controlsWork;
        auto frame = std::make_unique<MainFrame>(desktop, [this, standin = platform::StandinControlFactory(movie)](
                                                              platform::FrameWindow& window, const std::string& file) {
            controlFiles.push_back(file);
            return standin(window, file);
        });
        lastFrame = frame.get();
        ++framesMade;
        return frame;
    }
    ScriptHost& Scripts() override { return scripts; }
    FakeScripts scripts;
    platform::ModelDesktop desktop;
    MainFrame* lastFrame = nullptr;  // not owned
    int framesMade = 0;
    bool socketsWork = true;
    bool framesWork = true;
    bool controlsWork = true;
    std::vector<std::string> controlFiles;  // what each frame's control was made from
};

struct ImageSpec {
    std::string identifier = "Vendor/Product\\V1.0";
    bool withId = true;
    SettingsRecord settings;
    std::string movie = "movie.swf";
    std::vector<std::pair<std::string, std::string>> scripts;
    std::optional<std::vector<uint8_t>> playerCabinet;  // an installer with this cabinet, named by "FP"
};

std::vector<uint8_t> MovieList(const std::string& name) {
    RecordWriter w;
    w.U32(14);
    w.Path(name);
    w.Bytes(std::vector<uint8_t>(kProtectionBytes));
    return w.Take();
}

std::vector<uint8_t> BuildImage(const ImageSpec& spec) {
    const std::vector<uint8_t> st = WriteSettingsRecord(spec.settings);
    const Md5Digest cs = Md5(st);
    std::vector<builder::ImageResource> resources = {
        {"MOVORA", "ST", 0, EncodeResourceBlob(st)},
        {"MOVORA", "CS", 0, std::vector<uint8_t>(cs.begin(), cs.end())},
        {"MOVORA", "ML", 0, EncodeResourceBlob(MovieList(spec.movie))},
        {"MOVORA", "RG", 0, EncodeResourceBlob(std::vector<uint8_t>(4, 0))},
    };
    if (spec.withId) resources.push_back({"MOVORA", "ID", 0, WriteIdentifierRecord(spec.identifier, {1, 2, 3})});
    for (const auto& [name, body] : spec.scripts)
        resources.push_back({"VELMO", name, 0, EncodeResourceBlob(Bytes(body))});
    std::vector<builder::PackageItem> items = {{"movie.swf", false, Bytes("FWS"), {}}};
    if (spec.playerCabinet) {
        resources.push_back(
            {"MOVORA", "FP", 0, EncodeResourceBlob(builder::WriteFlashPlayerRecord({{9, 0, 28, 0}, "install.exe"}))});
        items.push_back(
            {"install.exe", false, builder::WriteResourceImage({{"#10", "CABINET", 0, *spec.playerCabinet}}), {}});
    }
    std::vector<uint8_t> image = builder::WriteResourceImage(resources);
    const std::vector<uint8_t> package = builder::WritePackage(items);
    image.insert(image.end(), package.begin(), package.end());
    return image;
}

std::string HostForm(std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

class AppTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::ShownErrors().clear();
        (void)platform::SetSpeakerMute(false);
    }
    void TearDown() override { platform::UseApplicationImage(""); }
    void UseImage(const ImageSpec& spec) { platform::UseApplicationImage(scratch_.Write("app.exe", BuildImage(spec))); }
    bool Start(const std::vector<std::string>& args = {}) { return app_.InitInstance(args); }
    std::vector<std::string> Applied() const {
        return services_.lastFrame ? services_.lastFrame->Applied() : std::vector<std::string>{};
    }
    bool AppliedStartsWith(const std::string& prefix) const {
        const auto a = Applied();
        return std::any_of(a.begin(), a.end(), [&](const std::string& s) { return s.rfind(prefix, 0) == 0; });
    }

    testing::ScratchFolder scratch_;
    testing::ScopedEnvironment tmp_{"TMP", scratch_.Path()};
    // The configuration folder is a host path, as the environment gives it.
    testing::ScopedEnvironment config_{"XDG_CONFIG_HOME", HostForm(scratch_.Path() + "config")};
    TestServices services_;
    App app_{services_};
};

TEST_F(AppTest, MissingOrTamperedIdentifierStopsWithInvalidApplicationData) {
    ImageSpec spec;
    spec.withId = false;
    UseImage(spec);
    EXPECT_FALSE(Start());
    std::vector<uint8_t> image = BuildImage(ImageSpec{});
    const std::vector<uint8_t> id = WriteIdentifierRecord("Vendor/Product\\V1.0", {1, 2, 3});
    const auto at = std::search(image.begin(), image.end(), id.begin(), id.end());
    ASSERT_NE(at, image.end());
    at[2] ^= 0x20;  // one letter of the identifier
    platform::UseApplicationImage(scratch_.Write("tampered.exe", image));
    App second(services_);
    EXPECT_FALSE(second.InitInstance({}));
    ASSERT_EQ(platform::ShownErrors().size(), 2u);
    EXPECT_EQ(platform::ShownErrors()[0].text, "Invalid application data");
    EXPECT_EQ(platform::ShownErrors()[1].text, "Invalid application data");
    EXPECT_EQ(services_.framesMade, 0);
    app_.ExitInstance();
    second.ExitInstance();
    EXPECT_EQ(RunFolder(), "");
}

TEST_F(AppTest, InstallerHooksRunTheirScriptInAnyCaseAndShowNoWindow) {
    ImageSpec spec;
    spec.scripts = {{"AfterInstall", "after"}, {"BeforeUninst", "before"}, {"Initialize", "init"}};
    UseImage(spec);
    EXPECT_FALSE(Start({"/aFtErInStAlL", "ignored"}));
    EXPECT_TRUE(app_.CommandLineModeHandled());
    App uninstall(services_);
    EXPECT_FALSE(uninstall.InitInstance({"/BEFOREUNINST"}));
    EXPECT_EQ(services_.scripts.ran, (std::vector<std::string>{"AfterInstall=after", "BeforeUninst=before"}));
    EXPECT_EQ(services_.scripts.destroyed, 2);
    EXPECT_EQ(services_.framesMade, 0);
    EXPECT_EQ(RunFolder(), "");  // hooks never make a run folder
    EXPECT_EQ(app_.ExitInstance(), 0);
    uninstall.ExitInstance();

    App normal(services_);
    EXPECT_TRUE(normal.InitInstance({"/SomethingElse"}));  // other switches are ignored
    EXPECT_EQ(services_.scripts.ran.back(), "Initialize=init");
    normal.ExitInstance();
}

TEST_F(AppTest, RunFolderLivesExactlyAsLongAsTheRunEvenAfterAVeto) {
    ImageSpec spec;
    spec.scripts = {{"Initialize", "init"}};
    UseImage(spec);
    std::string folderDuringScript;
    services_.scripts.onRun = [&](const std::string&) { folderDuringScript = RunFolder(); };
    ASSERT_TRUE(Start());
    const std::string run = RunFolder();
    EXPECT_EQ(folderDuringScript, run);
    EXPECT_TRUE(platform::FileExists(ExtraFolder() + "movie.swf"));
    EXPECT_TRUE(AppliedStartsWith("movie \"" + ExtraFolder() + "movie.swf\", stopped"));
    app_.CloseMainWindow();
    app_.ExitInstance();
    EXPECT_FALSE(platform::PathExists(run));

    services_.scripts.completion = false;
    App vetoed(services_);
    EXPECT_FALSE(vetoed.InitInstance({}));
    const std::string vetoedRun = RunFolder();
    EXPECT_FALSE(AppliedStartsWith("movie"));
    vetoed.ExitInstance();
    EXPECT_FALSE(platform::PathExists(vetoedRun));
}

TEST_F(AppTest, AMissingStartUpScriptIsSkippedQuietlyAndADamagedOneReported) {
    UseImage(ImageSpec{});
    ASSERT_TRUE(Start());
    EXPECT_TRUE(services_.scripts.ran.empty());
    EXPECT_TRUE(platform::ShownErrors().empty());
    app_.ExitInstance();

    std::vector<builder::ImageResource> resources = {
        {"MOVORA", "ID", 0, WriteIdentifierRecord("Vendor/Product\\V1.0", {1, 2, 3})},
        {"VELMO", "Initialize", 0, Bytes("not a compressed blob at all")}};
    platform::UseApplicationImage(scratch_.Write("damaged.exe", builder::WriteResourceImage(resources)));
    App damaged(services_);
    EXPECT_TRUE(damaged.InitInstance({}));
    EXPECT_TRUE(services_.scripts.ran.empty());
    ASSERT_EQ(platform::ShownErrors().size(), 1u);
    EXPECT_EQ(platform::ShownErrors()[0].text, "Bad compressed data header");
    damaged.ExitInstance();
}

TEST_F(AppTest, OnlyAFalseCompletionVetoesStartUp) {
    ImageSpec spec;
    spec.scripts = {{"Initialize", "init"}};
    UseImage(spec);
    services_.scripts.completion = true;
    EXPECT_TRUE(Start());
    app_.ExitInstance();
    services_.scripts.completion = std::nullopt;  // a number, a string or nothing
    App other(services_);
    EXPECT_TRUE(other.InitInstance({}));
    other.ExitInstance();
}

TEST_F(AppTest, QueuedAsynchronousRunsTakeOneIdlePassEachInOrder) {
    ImageSpec spec;
    spec.scripts = {{"First", "1"}, {"Second", "2"}};
    UseImage(spec);
    ASSERT_TRUE(Start());
    services_.scripts.ran.clear();
    app_.Frame()->AsyncQueue() = {"First", "Second"};
    EXPECT_TRUE(app_.OnIdle(0));
    EXPECT_EQ(services_.scripts.ran, std::vector<std::string>{"First=1"});
    EXPECT_FALSE(app_.OnIdle(1));
    EXPECT_EQ(services_.scripts.ran, (std::vector<std::string>{"First=1", "Second=2"}));
    EXPECT_FALSE(app_.OnIdle(2));
    app_.ExitInstance();
}

TEST_F(AppTest, SocketFailureStopsWithItsMessage) {
    UseImage(ImageSpec{});
    services_.socketsWork = false;
    EXPECT_FALSE(Start());
    ASSERT_EQ(platform::ShownErrors().size(), 1u);
    EXPECT_EQ(platform::ShownErrors()[0].text, "Failed to initialize the WIndows Socket!");
    EXPECT_EQ(platform::ShownErrors()[0].title, "app");
    app_.ExitInstance();
}

TEST_F(AppTest, AFrameThatCannotBeCreatedEndsStartUpSilently) {
    UseImage(ImageSpec{});
    services_.framesWork = false;
    EXPECT_FALSE(Start());
    const std::string run = RunFolder();
    EXPECT_FALSE(run.empty());
    EXPECT_TRUE(platform::ShownErrors().empty());
    app_.ExitInstance();
    EXPECT_FALSE(platform::PathExists(run));
}

TEST_F(AppTest, StoredOptionsWinUntilABuildChangesTheFingerprint) {
    ImageSpec spec;
    spec.settings.appearance.caption = "Built in";
    UseImage(spec);
    ASSERT_TRUE(Start());
    EXPECT_EQ(app_.Settings().appearance.caption, "Built in");
    app_.ExitInstance();

    // What the options sheet does: the user's settings go to "Settings"/"Options".
    SettingsRecord changed = spec.settings;
    changed.appearance.caption = "Changed by the user";
    ASSERT_TRUE(platform::OpenProfile("Vendor", "Product\\V1.0")
                    ->WriteBinary("Settings", "Options", WriteSettingsRecord(changed)));
    App restarted(services_);
    ASSERT_TRUE(restarted.InitInstance({}));
    EXPECT_EQ(restarted.Settings().appearance.caption, "Changed by the user");
    restarted.ExitInstance();

    spec.settings.appearance.caption = "New build";
    UseImage(spec);
    App rebuilt(services_);
    ASSERT_TRUE(rebuilt.InitInstance({}));
    EXPECT_EQ(rebuilt.Settings().appearance.caption, "New build");
    rebuilt.ExitInstance();
    SettingsRecord stored;
    ASSERT_TRUE(ReadSettingsRecord(*platform::OpenProfile("Vendor", "Product\\V1.0")->ReadBinary("Settings", "Options"),
                                   stored));
    EXPECT_EQ(stored.appearance.caption, "New build");
}

TEST_F(AppTest, ConfigOkStoresAndAppliesTheSheetWhileCancelChangesNothing) {
    ImageSpec spec;
    spec.settings.appearance = {kShapeRectangle, kBorderSingle, kIconSystemMenu, kScaleShowAll, "", "Before"};
    spec.settings.behaviour = {kMenuConfigure, kAutoPlay};
    UseImage(spec);
    ASSERT_TRUE(Start());
    const std::unique_ptr<platform::Profile> profile = platform::OpenProfile("Vendor", "Product\\V1.0");
    const std::optional<std::vector<uint8_t>> before = profile->ReadBinary("Settings", "Options");
    ASSERT_TRUE(before);

    testing::ScopedEnvironment values{"VELMO_OPTIONS_VALUES", scratch_.Path() + "values.txt"};
    scratch_.Write("values.txt", Bytes("1055=Never\n1085=1\nCancel\n"));
    services_.lastFrame->RunMenuCommand(kCommandConfigure);
    EXPECT_TRUE(AppliedStartsWith("options sheet: Cancel"));
    EXPECT_EQ(app_.Settings().appearance.caption, "Before");
    EXPECT_EQ(profile->ReadBinary("Settings", "Options"), before);
    EXPECT_FALSE(services_.lastFrame->Window()->Topmost());

    scratch_.Write("values.txt", Bytes("1055=After\n1085=1\n1086=1\n1047=1\nOK\n"));
    services_.lastFrame->RunMenuCommand(kCommandConfigure);
    EXPECT_TRUE(AppliedStartsWith("options sheet: OK"));
    SettingsRecord stored;
    ASSERT_TRUE(ReadSettingsRecord(*profile->ReadBinary("Settings", "Options"), stored));
    EXPECT_EQ(stored, app_.Settings());
    EXPECT_EQ(stored.appearance.caption, "After");
    EXPECT_EQ(stored.appearance.borderStyle, kBorderResizable);
    EXPECT_EQ(stored.behaviour.flags, kAutoPlay | kAlwaysOnTop | kShowInTray);
    // The running window took the new settings.
    const platform::FrameWindow& window = *services_.lastFrame->Window();
    EXPECT_EQ(window.Caption(), "After");
    EXPECT_TRUE(window.Style() & style::kThickFrame);
    EXPECT_TRUE(window.Topmost());
    EXPECT_TRUE(window.TrayIconShown());
    EXPECT_EQ(window.TrayTip(), "After");
    app_.ExitInstance();
}

TEST_F(AppTest, ConfigIsObeyedOnlyWhenTheMenusOfferIt) {
    ImageSpec spec;
    spec.settings.behaviour = {kMenuNone | kMenuConfigure, 0};
    UseImage(spec);
    ASSERT_TRUE(Start());
    testing::ScratchFolder folder;
    testing::ScopedEnvironment values{"VELMO_OPTIONS_VALUES", folder.Write("v.txt", Bytes("1055=Changed\nOK\n"))};
    services_.lastFrame->RunMenuCommand(kCommandConfigure);
    EXPECT_TRUE(AppliedStartsWith("command 0x8009: \"Config...\" is not in the menus"));
    EXPECT_FALSE(AppliedStartsWith("options sheet"));
    EXPECT_EQ(app_.Settings().appearance.caption, "");
    app_.ExitInstance();
}

TEST_F(AppTest, MuteIsUndoneOnlyWhenStartUpChangedIt) {
    if (!platform::SpeakerMute()) GTEST_SKIP() << "this system has no speaker mute control (wine without a sound card)";
    ImageSpec spec;
    spec.settings.misc.flags = kMuteSpeakers;
    UseImage(spec);
    ASSERT_TRUE(Start());
    EXPECT_EQ(platform::SpeakerMute(), true);
    app_.ExitInstance();
    EXPECT_EQ(platform::SpeakerMute(), false);

    ASSERT_TRUE(platform::SetSpeakerMute(true));
    App again(services_);
    ASSERT_TRUE(again.InitInstance({}));
    again.ExitInstance();
    EXPECT_EQ(platform::SpeakerMute(), true);
}

TEST_F(AppTest, WithoutAMovieTheEmptyFrameIsShownWithItsMenusAndTray) {
    ImageSpec spec;
    spec.movie = "";
    spec.settings.behaviour = {kMenuAbout, kShowInTray};
    spec.settings.appearance.caption = "Empty";
    UseImage(spec);
    ASSERT_TRUE(Start());
    EXPECT_TRUE(AppliedStartsWith("no movie"));
    EXPECT_TRUE(AppliedStartsWith("menu commands 0x100"));
    EXPECT_TRUE(AppliedStartsWith("tray icon 198"));
    EXPECT_TRUE(AppliedStartsWith("shown"));
    EXPECT_FALSE(AppliedStartsWith("movie"));
    EXPECT_TRUE(services_.lastFrame->Visible());
    app_.ExitInstance();
}

TEST_F(AppTest, TheControlComesFromTheScriptsFileThenThePrivatePlayerThenTheRegisteredOne) {
    ImageSpec spec;
    spec.scripts = {{"_GetFlashPlayer", "choose"}};
    spec.playerCabinet = testing::WriteCabinet({{"player.ocx", Bytes("private control")}});
    UseImage(spec);
    ASSERT_TRUE(platform::CreateFolder(scratch_.Path() + "players"));
    const std::string mine = scratch_.Write("players\\mine.ocx", Bytes("x"));
    services_.scripts.playerAnswer = "/players/mine.ocx";
    ASSERT_TRUE(Start());
    EXPECT_EQ(services_.controlFiles, std::vector<std::string>{mine});
    EXPECT_TRUE(AppliedStartsWith("control from \"" + mine + "\""));
    EXPECT_EQ(services_.scripts.ran.front(), "_GetFlashPlayer=choose");  // before anything else ran
    app_.ExitInstance();

    services_.scripts.playerAnswer = "players/missing.ocx";
    App fallback(services_);
    ASSERT_TRUE(fallback.InitInstance({}));
    const std::string privatePlayer = services_.controlFiles.back();
    EXPECT_EQ(privatePlayer.rfind(scratch_.Path(), 0), 0u) << privatePlayer;  // TMP is the scratch folder
    EXPECT_EQ(testing::ReadText(privatePlayer), "private control");
    fallback.ExitInstance();

    // No script, no player record: the registered control, and by class id where none is (the
    // headless desktop registers none; the Windows test machine registers the stand-in control).
    UseImage(ImageSpec{});
    App registered(services_);
    ASSERT_TRUE(registered.InitInstance({}));
    const std::string registeredFile = platform::RegisteredPlayerFile();
    EXPECT_EQ(services_.controlFiles.back(), registeredFile);
    EXPECT_TRUE(AppliedStartsWith(registeredFile.empty()
                                      ? std::string("control by class id {D27CDB6E-AE6D-11CF-96B8-444553540000}")
                                      : "control from \"" + registeredFile + "\""));
    registered.ExitInstance();
}

TEST_F(AppTest, NoControlShowsTheMessageUnlessTheStartUpScriptVetoesIt) {
    ImageSpec spec;
    spec.scripts = {{"Initialize", "init"}};
    UseImage(spec);
    services_.controlsWork = false;
    services_.scripts.completion = 0 == 1;  // the veto
    EXPECT_FALSE(Start());
    EXPECT_EQ(services_.scripts.ran, std::vector<std::string>{"Initialize=init"});
    EXPECT_TRUE(platform::ShownErrors().empty());
    EXPECT_EQ(app_.Frame(), nullptr);
    const std::string run = RunFolder();
    app_.ExitInstance();
    EXPECT_FALSE(platform::PathExists(run));

    for (const std::optional<bool> completion : {std::optional<bool>(true), std::optional<bool>()}) {
        services_.scripts.completion = completion;
        services_.scripts.ran.clear();
        platform::ShownErrors().clear();
        App shown(services_);
        EXPECT_FALSE(shown.InitInstance({}));
        EXPECT_EQ(services_.scripts.ran, std::vector<std::string>{"Initialize=init"});  // once, not again later
        ASSERT_EQ(platform::ShownErrors().size(), 1u);
        EXPECT_EQ(platform::ShownErrors()[0].text, "Failed to load the Adobe Flash Player!");
        shown.ExitInstance();
    }
}

}  // namespace
}  // namespace velmo::shell
