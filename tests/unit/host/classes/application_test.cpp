// The Application object and its settings objects against a projector that records what they ask
// of it: the frame's re-applications after each write, the tray, the cursor, drag regions, the
// movie's base path, the shell's entries (start-up's movie choice, the loaded movie, tray mouse
// messages), the trace file, file types and the intervals an engine leaves behind; and the texts
// behind cmdItems and the hot key.
#include <gtest/gtest.h>

#include <array>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/projector_engine.h"
#include "tests/support/mask_file.h"
#include "host/classes/application_object.h"
#include "host/classes/application_text.h"
#include "host/framework/projector.h"
#include "host/make_engine.h"
#include "host/movie/movie_call_context.h"
#include "platform/byte_order.h"
#include "platform/environment.h"
#include "platform/file_types.h"
#include "platform/files.h"
#include "platform/guid.h"
#include "platform/keyboard.h"
#include "platform/standin/standin_movie_control.h"
#include "platform/text.h"
#include "platform/timers.h"
#include "script/runtime/interpreter_api.h"
#include "script/runtime/strings.h"
#include "tests/support/scratch.h"

namespace velmo::host {
namespace {

// ---- Texts ----

TEST(CommandLineItems, QuotesGroupBlanksSeparateAndTheProgramIsDropped) {
    using Items = std::vector<std::string>;
    EXPECT_EQ(CommandLineItems("app.exe \"a b\" c"), (Items{"a b", "c"}));
    EXPECT_EQ(CommandLineItems("\"C:\\My App\\app.exe\" 'x y'  z"), (Items{"x y", "z"}));
    // A tab separates before an item but not inside one; the marks of the other kind are plain.
    EXPECT_EQ(CommandLineItems("app\t\ta\tb 'it\"s' \"don't\""), (Items{"it\"s", "don't"}));
    EXPECT_EQ(CommandLineItems("app \ta\tb\t c"), (Items{"a\tb\t", "c"}));
    // Empty items vanish; an unclosed mark runs to the end; an item may follow a mark directly.
    EXPECT_EQ(CommandLineItems("app \"\" '' x \"open end"), (Items{"x", "open end"}));
    EXPECT_EQ(CommandLineItems("app \"a\"b"), (Items{"a", "b"}));
    EXPECT_EQ(CommandLineItems(""), Items{});
    EXPECT_EQ(CommandLineItems("   \t "), Items{});
    EXPECT_EQ(CommandLineItems("only-the-program"), Items{});
}

std::string FakeKeyName(uint32_t key, bool extended) { return "<" + std::to_string(key) + (extended ? "e" : "") + ">"; }

TEST(HotKeyText, PartsSetModifiersAndTheLastKeyWins) {
    EXPECT_EQ(ParseHotKeyText("ctrl+alt+f4"), (HotKey{0x73, kHotKeyCtrl | kHotKeyAlt}));
    EXPECT_EQ(ParseHotKeyText("SHIFT+Ins"), (HotKey{0x2D, kHotKeyShift | kHotKeyExtended}));
    EXPECT_EQ(ParseHotKeyText("insert"), (HotKey{0x2D, kHotKeyExtended}));
    EXPECT_EQ(ParseHotKeyText("Home"), (HotKey{0x24, kHotKeyExtended}));
    EXPECT_EQ(ParseHotKeyText("end"), (HotKey{0x23, kHotKeyExtended}));
    EXPECT_EQ(ParseHotKeyText("Num 7+ctrl"), (HotKey{0x67, kHotKeyCtrl}));
    EXPECT_EQ(ParseHotKeyText("f1"), (HotKey{0x70, 0}));
    EXPECT_EQ(ParseHotKeyText("F12"), (HotKey{0x7B, 0}));
    // Anything else is its first character, upper-cased: "f13" is no function key here.
    EXPECT_EQ(ParseHotKeyText("f13"), (HotKey{'F', 0}));
    EXPECT_EQ(ParseHotKeyText("alt+q"), (HotKey{'Q', kHotKeyAlt}));
    EXPECT_EQ(ParseHotKeyText("escape"), (HotKey{'E', 0}));
    // The last key wins and brings its own extended flag; empty parts are skipped.
    EXPECT_EQ(ParseHotKeyText("ins+a"), (HotKey{'A', 0}));
    EXPECT_EQ(ParseHotKeyText("a+ins"), (HotKey{0x2D, kHotKeyExtended}));
    EXPECT_EQ(ParseHotKeyText("ctrl++"), (HotKey{0, kHotKeyCtrl}));
    EXPECT_EQ(ParseHotKeyText(""), HotKey{});
    EXPECT_EQ(ParseHotKeyText("none"), HotKey{});
}

TEST(HotKeyText, ModifiersInFixedOrderThenTheKeyName) {
    EXPECT_EQ(HotKeyText({}, &FakeKeyName), "None");
    EXPECT_EQ(HotKeyText({0x73, kHotKeyAlt | kHotKeyCtrl}, &FakeKeyName), "CTRL+ALT+<115>");
    EXPECT_EQ(HotKeyText({0x2D, kHotKeyShift | kHotKeyExtended}, &FakeKeyName), "SHIFT+<45e>");
    EXPECT_EQ(HotKeyText({'Q', 0}, &FakeKeyName), "<81>");
    EXPECT_EQ(HotKeyText({0, kHotKeyAlt | kHotKeyShift | kHotKeyCtrl}, &FakeKeyName), "CTRL+SHIFT+ALT");
    // The extended flag alone is no modifier.
    EXPECT_EQ(HotKeyText({0, kHotKeyExtended}, &FakeKeyName), "None");
    const std::pair<const char*, const char*> roundTrips[] = {{"ctrl+alt+f4", "CTRL+ALT+F4"},
                                                              {"shift+ins", "SHIFT+Insert"},
                                                              {"End", "End"},
                                                              {"alt+q", "ALT+Q"},
                                                              {"shift+ctrl", "CTRL+SHIFT"}};
    for (const auto& [written, read] : roundTrips) {
        EXPECT_EQ(HotKeyText(ParseHotKeyText(written), &platform::KeyName), read) << written;
        EXPECT_EQ(HotKeyText(ParseHotKeyText(read), &platform::KeyName), read) << read;
    }
}

TEST(KeyName, NamesGoThroughTheScanCodeAsTheUsLayoutSpellsThem) {
    EXPECT_EQ(platform::KeyName(0x73, false), "F4");
    EXPECT_EQ(platform::KeyName(0x7B, false), "F12");
    EXPECT_EQ(platform::KeyName('A', false), "A");
    EXPECT_EQ(platform::KeyName('M', false), "M");
    EXPECT_EQ(platform::KeyName('7', false), "7");
    EXPECT_EQ(platform::KeyName(0x2D, true), "Insert");
    EXPECT_EQ(platform::KeyName(0x24, true), "Home");
#ifndef _WIN32
    // The keypad's names are the system's own; wine, for one, spells them after its X key symbols.
    EXPECT_EQ(platform::KeyName(0x60, false), "Num 0");
    EXPECT_EQ(platform::KeyName(0x67, false), "Num 7");
    // Insert shares its scan code with Num 0: without the extended flag it is that key.
    EXPECT_EQ(platform::KeyName(0x2D, false), "Num 0");
    EXPECT_EQ(HotKeyText(ParseHotKeyText("ctrl+num 0"), &platform::KeyName), "CTRL+Num 0");
#endif
    EXPECT_NE(platform::KeyName(0x60, false), "");
    EXPECT_NE(platform::KeyName(0x60, false), platform::KeyName(0x69, false));
}

// ---- A projector that records ----

class RecordingProjector final : public Projector {
public:
    std::vector<std::string> log;
    std::vector<std::string> movies;
    std::string attachments, commandLine = "app.exe";
    std::map<std::string, std::string> attached;  // package path -> extracted file
    std::vector<std::string> loadableCursors;
    std::unique_ptr<platform::StandinMovieControl> movie;
    std::optional<std::optional<platform::Region>> dragRegion;  // outer: set at all
    bool trayShown = false;
    TrayIconSpec trayIcon;
    TrayBalloon balloon;
    bool capture = false;
    std::optional<MovieCallContext> calls;

    void Apply(SettingsChange change) override { log.push_back("apply " + std::to_string(static_cast<int>(change))); }
    std::vector<std::string> MovieCollection() const override { return movies; }
    bool SetSmallIcon(const std::string& file) override {
        log.push_back("icon " + file);
        return true;
    }
    void PostSystemCommand(uint32_t command) override { log.push_back("command " + std::to_string(command)); }
    void SetDragRegion(std::optional<platform::Region> region) override { dragRegion = std::move(region); }
    void ShowPointer(bool show) override { log.push_back(show ? "show pointer" : "hide pointer"); }
    bool SetCustomCursor(const std::string& file) override {
        const bool loads =
            file.empty() || std::find(loadableCursors.begin(), loadableCursors.end(), file) != loadableCursors.end();
        log.push_back("cursor " + file + (loads ? "" : " refused"));
        return loads;
    }
    bool MovieWindowHasCapture() const override { return capture; }
    void SetMovieWindowCapture(bool on) override { capture = on; }
    void FocusMovieWindow() override { log.push_back("focus"); }
    intptr_t SendWindowMessage(uintptr_t window, uint32_t message, uintptr_t w, intptr_t l) override {
        log.push_back("send " + std::to_string(window) + " " + std::to_string(message) + " " + std::to_string(w) + " " +
                      std::to_string(l));
        return static_cast<intptr_t>(0xFFFFFFFEu);  // a negative 32-bit result in the wider type
    }
    bool ShowTrayIcon(const TrayIconSpec& icon) override {
        trayIcon = icon;
        trayShown = true;
        log.push_back("tray " + icon.tip + "|" + icon.iconFile);
        return true;
    }
    bool RemoveTrayIcon() override {
        log.push_back("tray removed");
        return std::exchange(trayShown, false);
    }
    bool TrayIconShown() const override { return trayShown; }
    bool ShowTrayBalloon(const TrayBalloon& b) override {
        balloon = b;
        return true;
    }
    platform::MovieControl* Movie() const override { return movie.get(); }
    const MovieCallContext* MovieCalls() const override { return calls ? &*calls : nullptr; }
    std::string CommandLine() const override { return commandLine; }
    std::string ExtractAttachedFile(const std::string& path) override {
        const auto found = attached.find(path);
        return found == attached.end() ? std::string() : found->second;
    }
    std::string AttachmentsFolder() const override { return attachments; }
};

std::string Applied(std::initializer_list<SettingsChange> changes) {
    std::string text;
    for (const SettingsChange c : changes) text += "apply " + std::to_string(static_cast<int>(c)) + ";";
    return text;
}

class ApplicationRun : public ::testing::Test {
protected:
    void SetUp() override {
        engine_ = testing::EngineOver(projector_);
        ASSERT_TRUE(engine_);
    }
    // Runs `script`; the log it caused, each entry followed by ";".
    std::string Run(const std::string& script) {
        projector_.log.clear();
        if (engine_->RunSourceText(script) != 1) return "error: " + engine_->ErrorText();
        std::string text;
        for (const std::string& entry : projector_.log) text += entry + ";";
        return text;
    }
    std::string Global(const std::string& name) {
        const script::Value& v = script::GlobalByName(engine_->Interp(), name);
        return v.Is(script::Tag::String) ? platform::Utf16ToAnsi(script::Text(v.AsString())) : "<not a string>";
    }
    void UseMovie() {
        projector_.movie = std::make_unique<platform::StandinMovieControl>();
        ASSERT_TRUE(projector_.movie->SetMovie(u"movie.swf"));
    }
    static std::string Quoted(const std::string& path) {
        std::string out = "\"";
        for (const char c : path) out += c == '\\' ? std::string("\\\\") : std::string(1, c);
        return out + "\"";
    }

    RecordingProjector projector_;
    std::unique_ptr<script::Engine> engine_;
    testing::ScratchFolder folder_;
};

TEST_F(ApplicationRun, EachWriteIsAppliedAsTheFrameNeedsIt) {
    using C = SettingsChange;
    EXPECT_EQ(Run("a = Application.Appearance; a.windowShape = 1; a.windowShape = 'mask'; a.windowShape = null;"),
              Applied({C::WindowShape, C::WindowShape}));
    EXPECT_EQ(Run("a.borderStyle = 16; a.borderIcons = 256; a.borderIcons = '1'; a.scaleMode = 2; a.caption = 'T';"),
              Applied({C::FrameStyle, C::FrameStyle, C::ScaleMode, C::Caption}));
    EXPECT_EQ(projector_.Settings().appearance.clipShapeImage, "mask");
    EXPECT_EQ(projector_.Settings().appearance.caption, "T");
    EXPECT_EQ(Run("a.icon = 'small.ico'; a.icon = 3;"), "icon small.ico;");
    // Interaction: only the three restriction flags are applied at once.
    EXPECT_EQ(Run("i = Application.Interaction; i.lBtnClk = 1; i.keyPress = 16; i.hotKey = 'ctrl+q';"
                  "i.bDisableAltTab = true; i.bDisableCursor = false; i.bDisableScr = 1;"),
              Applied({C::InputRestrictions, C::InputRestrictions, C::InputRestrictions}));
    const shell::Interaction& interaction = projector_.Settings().interaction;
    EXPECT_EQ(interaction.inputDisabling, shell::kDisableTaskSwitch | shell::kDisableScreenSaver);
    EXPECT_EQ(interaction.hotKeyCode, 'Q');
    EXPECT_EQ(interaction.hotKeyModifiers, kHotKeyCtrl);
    // Behaviour: the menu and the window flags; auto-play is only stored.
    EXPECT_EQ(Run("b = Application.Behaviour; b.bAutoPlay = true; b.extendContextMenu = 256;"
                  "b.bAllowExtendContextMenu = false; b.bAlwaysOnTop = true; b.bStartMinimized = true;"),
              Applied({C::ContextMenu, C::ContextMenu, C::WindowFlags, C::WindowFlags}));
    EXPECT_EQ(projector_.Settings().behaviour.menuAdditions, shell::kMenuAbout | shell::kMenuNone);
    EXPECT_EQ(projector_.Settings().behaviour.flags, shell::kAutoPlay | shell::kAlwaysOnTop | shell::kStartMinimized);
}

TEST_F(ApplicationRun, SizeAndPositionAreLaidOutOnlyWhileAMoviePlays) {
    EXPECT_EQ(Run("s = Application.SizeAndPos; s.windowSize = 1; s.pos = 4; s.setCustomSize(1, 2); s.bKeepRatio = 1;"),
              "");
    UseMovie();
    using C = SettingsChange;
    EXPECT_EQ(Run("s.setCustomSizeAndPos(10, 20, 300, 200); s.bKeepRatio = 0;"), Applied({C::Layout, C::WindowShape}));
    const shell::SizeAndPosition& s = projector_.Settings().sizeAndPosition;
    EXPECT_EQ(s.sizeMode, shell::kSizeCustom);
    EXPECT_EQ(s.position, shell::kPositionCustom);
    EXPECT_EQ((std::array<int, 4>{s.x, s.y, s.width, s.height}), (std::array<int, 4>{10, 20, 300, 200}));
    EXPECT_EQ(s.keepRatio, 0u);
    // Sizes and places are 16-bit fields.
    EXPECT_EQ(Run("s.setCustomPos(65537, -1); s.windowSize = 0; s.setCustomSize('1', 2);"),
              Applied({C::Layout, C::WindowShape, C::Layout, C::WindowShape}));
    EXPECT_EQ(s.x, 1);
    EXPECT_EQ(s.y, 0xFFFF);
    EXPECT_EQ(s.sizeMode, shell::kSizeMovie);
}

TEST_F(ApplicationRun, TheTrayShowsWhatSysTrayHoldsAndUpdatesAShownIcon) {
    projector_.Settings().appearance.caption = "Caption";
    EXPECT_EQ(Run("t = Application.SysTray; t.add();"), "tray Caption|;");
    EXPECT_EQ(Run("t.tip = 'Tip'; t.icon = 'tray.ico';"), "tray Tip|;tray Tip|tray.ico;");
    EXPECT_EQ(Run("ok = '' + t.remove() + t.remove(); t.tip = 'Other';"), "tray removed;tray removed;");
    EXPECT_EQ(Global("ok"), "truefalse");
    (void)Run(
        "t.balloonTip = 'B'; t.balloonTitle = 'T'; t.balloonIcon = 'warning'; t.balloonTimeout = 2000.7;"
        "ok = '' + t.showBalloonTip();");
    EXPECT_EQ(Global("ok"), "true");
    EXPECT_EQ(projector_.balloon.text, "B");
    EXPECT_EQ(projector_.balloon.title, "T");
    EXPECT_EQ(projector_.balloon.icon, "warning");
    EXPECT_EQ(projector_.balloon.timeoutMs, 2000u);
    // Behaviour's switch shows the application's own icon with the window's title.
    EXPECT_EQ(Run("Application.Behaviour.bShowInSystemTray = true;"), "tray Caption|;");
    EXPECT_EQ(projector_.trayIcon.iconResource, 128);
    EXPECT_EQ(projector_.Settings().behaviour.flags, shell::kShowInTray | shell::kTrayUsesAppIcon);
    EXPECT_EQ(Run("Application.Behaviour.bShowInSystemTray = false;"), "tray removed;");
    EXPECT_EQ(projector_.Settings().behaviour.flags, shell::kTrayUsesAppIcon);
}

TEST_F(ApplicationRun, TrayMouseMessagesFireTheirEventsAndTheHandlerMayKeepTheDefault) {
    (void)Run(
        "seen = ''; function M() { seen += 'move '; } function L() { seen += 'left '; }"
        "function R() { seen += 'right '; } function LL() { seen += 'left2 '; }"
        "function RR() { seen += 'right2 '; _Tray_.useDefaultHandler = false; }"
        "t = Application.SysTray; t.onMouseMove = M; t.onLClicked = L; t.onRClicked = R;"
        "t.onLDblClicked = LL; t.onRDblClicked = RR;");
    script::Interpreter& interp = engine_->Interp();
    for (const uint32_t message : {0x200u, 0x201u, 0x202u, 0x205u, 0x203u, 0x204u})
        EXPECT_TRUE(NotifyTrayMouse(interp, message)) << message;
    EXPECT_EQ(Global("seen"), "move left right left2 ");
    EXPECT_FALSE(NotifyTrayMouse(interp, 0x206));
    EXPECT_EQ(Global("seen"), "move left right left2 right2 ");
}

TEST_F(ApplicationRun, StartUpAsksForTheMovieAndHearsOfEachLoadedOne) {
    script::Interpreter& interp = engine_->Interp();
    EXPECT_FALSE(AskForMovie(interp));  // no handler
    (void)Run(
        "function Choose(r) { r.value = pick; return answer; } Application.onGetMovie = Choose;"
        "pick = 'other.swf'; answer = 1;");
    EXPECT_EQ(AskForMovie(interp), "other.swf");
    (void)Run("answer = false;");
    EXPECT_FALSE(AskForMovie(interp));
    (void)Run("answer = true; pick = 5;");
    EXPECT_FALSE(AskForMovie(interp));
    (void)Run("function Fails(r) { r.value = 'x.swf'; throw 'no'; } Application.onGetMovie = Fails;");
    EXPECT_FALSE(AskForMovie(interp));

    NotifyMovieLoaded(interp, "nobody listens.swf");
    (void)Run(
        "loaded = ''; function Loaded(p) { loaded += p + (this === Application) + ';'; }"
        "Application.onMovieLoaded = Loaded;");
    NotifyMovieLoaded(interp, "a.swf");
    NotifyMovieLoaded(interp, "b.swf");
    EXPECT_EQ(Global("loaded"), "a.swftrue;b.swftrue;");
}

TEST_F(ApplicationRun, CursorsComeFromFilesOrElseFromThePackage) {
    projector_.loadableCursors = {"own.cur", "run\\packed.cur"};
    projector_.attached = {{"packed.cur", "run\\packed.cur"}};
    EXPECT_EQ(Run("Application.cursor = 'own.cur';"), "show pointer;cursor own.cur;");
    EXPECT_EQ(Run("Application.cursor = 'packed.cur';"),
              "show pointer;cursor packed.cur refused;cursor run\\packed.cur;");
    EXPECT_EQ(Run("Application.cursor = 'missing.cur';"), "show pointer;cursor missing.cur refused;");
    EXPECT_EQ(Run("Application.cursor = 'HIDE'; Application.cursor = null; Application.cursor = 1;"),
              "hide pointer;cursor ;");
}

using testing::MaskFile;

TEST_F(ApplicationRun, DragRegionsComeFromMaskFilesAndRectangles) {
    const std::string mask =
        platform::FullPath(folder_.Write("drag.msk", MaskFile({{0, 0, 100, 20}, {5, 30, 15, 40}})));
    const std::string stem = mask.substr(0, mask.size() - 4);
    (void)Run("Application.setDragRegion(" + Quoted(stem) + ");");
    ASSERT_TRUE(projector_.dragRegion && *projector_.dragRegion);
    EXPECT_EQ(**projector_.dragRegion, (platform::Region{{0, 0, 100, 20}, {5, 30, 10, 10}}));
    // A missing or damaged mask leaves the region as it was.
    (void)folder_.Write("bad.msk", {1, 2, 3});
    (void)Run("Application.setDragRegion(" + Quoted(stem + "-missing") + ", 1);");
    (void)Run("Application.setDragRegion(" + Quoted(folder_.Path() + "bad") + ");");
    EXPECT_EQ(projector_.dragRegion->value().size(), 2u);
    // Four arguments or more make a rectangle, converted to integers, corners in order.
    (void)Run("Application.setDragRegion(10, '20', 30.9, 40, 'ignored');");
    EXPECT_EQ(**projector_.dragRegion, (platform::Region{{10, 20, 30, 40}}));
    (void)Run("Application.setDragRegion(100, 100, -50, -10);");
    EXPECT_EQ(**projector_.dragRegion, (platform::Region{{50, 90, 50, 10}}));
    // Nothing usable clears it.
    (void)Run("Application.setDragRegion(1, 2);");
    EXPECT_FALSE(*projector_.dragRegion);
    (void)Run("Application.setDragRegion(" + Quoted(stem) + "); Application.setDragRegion();");
    EXPECT_FALSE(*projector_.dragRegion);
}

TEST_F(ApplicationRun, TheBasePathBecomesAFolderUrl) {
    (void)Run("Application.setBasePath('movies');");  // no control: nothing to set, nothing fails
    UseMovie();
    const std::string base = folder_.Path();
    const auto url = [](std::string folder) {
        for (char& c : folder)
            if (c == '\\') c = '/';
        if (folder.back() != '/') folder += '/';
        return (folder.front() == '/' ? "file://" : "file:///") + folder;
    };
    const auto baseNow = [&] { return platform::Utf16ToAnsi(projector_.movie->Base()); };
    (void)Run("Application.setBasePath(" + Quoted(base) + "); p = Application.getBasePath();");
    EXPECT_EQ(baseNow(), url(base));
    EXPECT_EQ(Global("p"), url(base));
    // A path that does not exist changes nothing, nor does "movies" without a movie of flag 1.
    (void)Run("Application.setBasePath(" + Quoted(base + "nowhere") + "); Application.setBasePath('MOVIES');");
    EXPECT_EQ(baseNow(), url(base));
    projector_.movies = {base + "sub\\first.swf", "C:\\second.swf"};
    (void)Run("Application.setBasePath('Movies');");
    EXPECT_EQ(baseNow(), url(base + "sub"));
    // The attachments folder is made when missing; without a package the executable's folder serves.
    projector_.attachments = base + "_extra";
    (void)Run("Application.setBasePath('attachments');");
    EXPECT_EQ(baseNow(), url(base + "_extra"));
    EXPECT_TRUE(platform::FolderExists(base + "_extra"));
    projector_.attachments.clear();
    (void)Run(
        "Application.setBasePath('attachments'); a = Application.getBasePath();"
        "Application.setBasePath(); b = Application.getBasePath();");
    EXPECT_EQ(Global("a"), Global("b"));
    EXPECT_NE(Global("a"), url(base + "_extra"));
}

TEST_F(ApplicationRun, MessagesCommandsAndTheMovieWindow) {
    EXPECT_EQ(Run("r = '' + Application.sendMessage(7, 16) + Application.sendMessage(7, 16, 3, -4);"),
              "send 7 16 0 0;send 7 16 3 -4;");
    EXPECT_EQ(Global("r"), "-2-2");
    EXPECT_EQ(Run("Application.about();"), "command " + std::to_string(0x800C) + ";");
    EXPECT_EQ(Run("Application.captureMouse = 1; c = '' + Application.captureMouse; Application.captureMouse = false;"
                  "c += Application.captureMouse; Application.setFocus = false; Application.setFocus = true;"),
              "focus;");
    EXPECT_EQ(Global("c"), "truefalse");
    (void)Run("Application._stpm = true;");
    EXPECT_TRUE(KeepsLayeredOff(engine_->Interp()));
    projector_.commandLine = "\"C:\\App\\app.exe\" -x 'a b'";
    (void)Run("items = Application.cmdItems; n = '' + items.length + items[0] + '|' + items[1];");
    EXPECT_EQ(Global("n"), "2-x|a b");
}

TEST_F(ApplicationRun, MovieFunctionsAreRegisteredOnlyForTextsAndOnlyWithAMovie) {
    (void)Run("Application.registerASMethods('early');");
    EXPECT_EQ(script::GlobalByName(engine_->Interp(), "early").tag, script::Tag::Undefined);
    std::vector<std::u16string> requests;
    projector_.calls.emplace();
    projector_.calls->flashGateOpen = true;
    projector_.calls->callMovie = [&](std::u16string_view request) -> std::optional<std::u16string> {
        requests.emplace_back(request);
        return std::nullopt;
    };
    (void)Run("Application.registerASMethods('play', 3, null, 'stop'); play(1); stop();");
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_NE(requests[0].find(u"\"play\""), std::u16string::npos);
    EXPECT_NE(requests[1].find(u"\"stop\""), std::u16string::npos);
    EXPECT_EQ(script::GlobalByName(engine_->Interp(), "3").tag, script::Tag::Undefined);
}

TEST_F(ApplicationRun, TheTraceFileGetsEachTraceLineUntilItIsClosed) {
    const std::string path = platform::FullPath(folder_.Path() + "trace.txt");
    (void)Run("Application.traceToFile(" + Quoted(path) + "); trace('one ', 1); trace('two');");
    (void)Run("Application.traceToFile(); trace('lost');");
    EXPECT_EQ(testing::ReadText(path), "one 1\r\ntwo\r\n");
}

TEST_F(ApplicationRun, AssociationWritesTheThreeKeysAndRespectsAnotherOwner) {
    const testing::ScopedEnvironment config("XDG_CONFIG_HOME", platform::FullPath(folder_.Path()));
    // Names of this run's own: on Windows the keys stay in the registry from one run to the next.
    const std::string nonce = platform::Utf16ToAnsi(platform::NewGuidText()).substr(1, 8);
    const std::string type = "VelmoTest." + nonce, vt1 = ".vt1" + nonce, vt2 = ".vt2" + nonce, vt3 = ".vt3" + nonce;
    const std::string exe = platform::ModuleFileName();
    (void)Run("Application.associate('" + vt1 + "', '" + type + "');");
    EXPECT_EQ(platform::ReadFileTypeValue(type + "\\DefaultIcon"), exe + ",1");
    EXPECT_EQ(platform::ReadFileTypeValue(type + "\\shell\\open\\command"), exe + " \"%1\"");
    EXPECT_EQ(platform::ReadFileTypeValue(vt1), type);
    // An extension that names another type keeps it; one that names only itself is taken over.
    ASSERT_TRUE(platform::WriteFileTypeValue(vt2, "Other.Type"));
    ASSERT_TRUE(platform::WriteFileTypeValue(vt3, vt3));
    (void)Run("Application.associate('" + vt2 + "', '" + type + "'); Application.associate('" + vt3 + "', '" + type +
              "');");
    EXPECT_EQ(platform::ReadFileTypeValue(vt2), "Other.Type");
    EXPECT_EQ(platform::ReadFileTypeValue(vt3), type);
}

TEST(ApplicationIntervals, DestroyingTheEngineStopsItsTimers) {
    const size_t before = platform::RunningTimers();
    std::unique_ptr<script::Engine> engine = MakeEngine({});
    ASSERT_EQ(engine->RunSourceText("function F() {} a = Application.setInterval(F, 1000);"
                                    "b = Application.setInterval(F, 1000); Application.setInterval(F, 1000);"
                                    "Application.clearInterval(b);"),
              1);
    EXPECT_EQ(platform::RunningTimers(), before + 2);
    engine.reset();
    EXPECT_EQ(platform::RunningTimers(), before);
}

}  // namespace
}  // namespace velmo::host
