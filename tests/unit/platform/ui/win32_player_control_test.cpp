// The player's control hosted in a real frame (under wine in CI), with the stand-in control file
// loaded unregistered from a renamed copy: the movie window it becomes, its members through dispatch,
// its events paced by the message loop, its off-screen picture, and a tear-down that leaves the file
// unloaded whichever of frame and control goes first.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/frame_events.h"
#include "platform/ui/win32/player_control.h"  // the Win32 declarations come with it
#include "shell/main_frame.h"
#include "tests/support/scratch.h"

namespace velmo::platform::win32 {
namespace {

using velmo::testing::ScopedEnvironment;
using velmo::testing::ScratchFolder;

// The stand-in raises one event per tick of this timer of its window.
constexpr WPARAM kStandinEventTimer = 1;

std::string WindowsPath(std::string path) {
    for (char& c : path)
        if (c == '/') c = '\\';
    return path.size() > 1 && path[1] == ':' ? path : "Z:" + path;
}

std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

class Events final : public MovieControlEvents {
public:
    explicit Events(std::vector<std::string>& log) : log_(log) {}
    MovieControl* control = nullptr;
    void OnFSCommand(std::u16string_view command, std::u16string_view argument) override {
        log_.push_back("fscommand " + std::string(command.begin(), command.end()) + " " +
                       std::string(argument.begin(), argument.end()));
    }
    void OnFlashCall(std::u16string_view request) override {
        log_.push_back("flashcall " + std::string(request.begin(), request.end()));
        control->SetReturnValue(u"<true/>");
    }

private:
    std::vector<std::string>& log_;
};

using Quiet = testing::CountingFrameEvents;

class Win32PlayerControlTest : public ::testing::Test {
protected:
    void SetUp() override {
        // A copy under another name: nothing registered names it, so only its own factory can make it.
        std::vector<uint8_t> bytes;
        {
            FILE* in = std::fopen(VELMO_STANDIN_CONTROL_FILE, "rb");
            ASSERT_NE(in, nullptr);
            for (int c; (c = std::fgetc(in)) != EOF;) bytes.push_back(static_cast<uint8_t>(c));
            std::fclose(in);
        }
        controlFile_ = WindowsPath(scratch_.Write("player copy.ocx", bytes));
        record_ = scratch_.Path() + "record.txt";
    }
    void Drive(const std::string& script) {
        driver_ = std::make_unique<ScopedEnvironment>("VELMO_STANDIN_DRIVER",
                                                      scratch_.Write("driver.txt", testing::Bytes(script)));
        recordEnv_ = std::make_unique<ScopedEnvironment>("VELMO_STANDIN_RECORD", record_);
    }
    bool FileLoaded() const { return ::GetModuleHandleW(Wide(controlFile_).c_str()) != nullptr; }
    std::unique_ptr<shell::MainFrame> MakeFrame() {
        auto frame = std::make_unique<shell::MainFrame>(
            *desktop_, [this](FrameWindow& w, const std::string&) { return CreatePlayerControl(w, controlFile_); });
        return frame->Create("resource 128") ? std::move(frame) : nullptr;
    }

    ScratchFolder scratch_;
    std::string controlFile_, record_;
    std::unique_ptr<ScopedEnvironment> driver_, recordEnv_;
    std::unique_ptr<Desktop> desktop_ = MakeDesktop();
};

TEST_F(Win32PlayerControlTest, TheLoadedControlIsTheMovieWindowAndAnswersThroughItsMembers) {
    Drive("version 9.1\nvariable who Velmo\nfunction greet <string>hi</string>\n");
    std::unique_ptr<shell::MainFrame> frame = MakeFrame();
    ASSERT_TRUE(frame);
    auto* control = dynamic_cast<PlayerControl*>(frame->Control());
    ASSERT_NE(control, nullptr) << "the unregistered copy made no control";
    EXPECT_TRUE(FileLoaded());
    const HWND frameWindow = reinterpret_cast<HWND>(frame->Window()->NativeHandle());
    EXPECT_EQ(::GetDlgItem(frameWindow, 0x459), control->Window());
    EXPECT_EQ(::GetParent(control->Window()), frameWindow);

    EXPECT_EQ(control->FlashVersion(), (9u << 16) | 1u);
    EXPECT_TRUE(control->SetScaleMode(2));
    EXPECT_EQ(control->ScaleMode(), 2);
    EXPECT_FALSE(control->SetScaleMode(9)) << "the control refuses the write";
    EXPECT_EQ(control->ScaleMode(), 2);
    EXPECT_TRUE(control->SetPlaying(false));
    EXPECT_FALSE(control->Playing());
    EXPECT_TRUE(control->SetBase(u"C:\\movies"));
    EXPECT_EQ(control->Base(), u"C:\\movies");
    EXPECT_TRUE(control->SetMovie(u"C:\\movies\\\u00e9t\u00e9.swf"));
    EXPECT_EQ(control->Movie(), u"C:\\movies\\\u00e9t\u00e9.swf");
    EXPECT_EQ(control->GetVariable(u"who"), u"Velmo");
    EXPECT_EQ(control->GetVariable(u"nobody"), std::nullopt) << "a failing GetVariable is none";
    EXPECT_TRUE(control->SetVariable(u"who", u"you"));
    EXPECT_EQ(control->GetVariable(u"who"), u"you");
    EXPECT_EQ(control->CallFunction(u"<invoke name=\"greet\" returntype=\"xml\"><arguments/></invoke>"),
              u"<string>hi</string>");
    EXPECT_EQ(control->CallFunction(u"<invoke name=\"other\"/>"), std::nullopt);
    EXPECT_TRUE(control->CallFrame(u"_root", u"sprite"));
    for (size_t i = 0; i < kPlayerMemberCount; ++i)
        EXPECT_TRUE(control->HasMember(static_cast<PlayerMember>(i))) << "member " << i;

    // The frame's resizing reaches the control's window through its in-place object.
    shell::SizeAndPosition size;
    size.sizeMode = shell::kSizeCustom;
    size.width = 420;
    size.height = 310;
    frame->ApplySizeAndPosition(size);
    RECT client, movie;
    ::GetClientRect(frameWindow, &client);
    ::GetClientRect(control->Window(), &movie);
    EXPECT_TRUE(::EqualRect(&client, &movie));
}

TEST_F(Win32PlayerControlTest, EachMessageLoopPassDeliversAtMostOneEvent) {
    Drive("fscommand first one\nflashcall <invoke name=\"ask\"/>\nfscommand last two\n");
    std::unique_ptr<shell::MainFrame> frame = MakeFrame();
    ASSERT_TRUE(frame);
    auto* control = dynamic_cast<PlayerControl*>(frame->Control());
    ASSERT_NE(control, nullptr);
    std::vector<std::string> log;
    Events events(log);
    events.control = control;
    control->SetEventSink(&events);
    ASSERT_TRUE(control->SetMovie(u"C:\\movie.swf"));

    // Two ticks already waiting: the loop's pass still ends after the first event.
    ::PostMessageA(control->Window(), WM_TIMER, kStandinEventTimer, 0);
    ::PostMessageA(control->Window(), WM_TIMER, kStandinEventTimer, 0);
    for (int pass = 0; pass < 200 && log.size() < 6; ++pass) {
        const size_t before = log.size();
        (void)desktop_->ProcessEvents(true);
        if (log.size() != before) log.push_back("idle");
    }
    EXPECT_EQ(log, (std::vector<std::string>{"fscommand first one", "idle", "flashcall <invoke name=\"ask\"/>", "idle",
                                             "fscommand last two", "idle"}));
    const std::string record = testing::ReadText(record_);
    EXPECT_NE(record.find("SetReturnValue(\"<true/>\")"), std::string::npos) << "the reply reached the movie";
}

TEST_F(Win32PlayerControlTest, TheControlDrawsOffScreenOnTheBackgroundInsideTheClipOnly) {
    Drive("");
    std::unique_ptr<shell::MainFrame> frame = MakeFrame();
    ASSERT_TRUE(frame);
    MovieControl* control = frame->Control();
    ASSERT_NE(control, nullptr);
    PixelImage image;
    image.Resize({100, 80});
    for (uint32_t& p : image.pixels) p = 0x11223344;
    // The movie at (10, 10), 80 x 60; only the left half of the picture may change.
    ASSERT_TRUE(control->DrawOnto(image, {10, 10, 80, 60}, {0, 0, 50, 80}, 0x000000));
    const auto rgb = [&](int x, int y) { return image.At(x, y) & 0xFFFFFF; };
    EXPECT_EQ(rgb(12, 12), 0x000000u) << "the background drawn on";
    EXPECT_EQ(rgb(25, 30), 0x3080C0u) << "the opaque zone: columns 10 to 30, rows 15 to 45 of the movie";
    EXPECT_EQ(image.At(5, 5), 0x11223344u) << "outside the movie";
    EXPECT_EQ(image.At(70, 30), 0x11223344u) << "outside the clip";
    ASSERT_TRUE(control->DrawOnto(image, {10, 10, 80, 60}, {0, 0, 50, 80}, 0xFFFFFF));
    EXPECT_EQ(rgb(12, 12), 0xFFFFFFu);
    EXPECT_EQ(rgb(25, 30), 0x3080C0u);
}

// The control window's transparent-mode message (0x8003, wParam 1 on): on, the frame becomes a
// layered window; off, it stops being one and gets back its place.
TEST_F(Win32PlayerControlTest, TheControlWindowsMessageSwitchesTheTransparentWindow) {
    Drive("");
    std::unique_ptr<shell::MainFrame> frame = MakeFrame();
    ASSERT_TRUE(frame);
    auto* control = dynamic_cast<PlayerControl*>(frame->Control());
    ASSERT_NE(control, nullptr);
    const HWND frameWindow = reinterpret_cast<HWND>(frame->Window()->NativeHandle());
    ::SendMessageA(control->Window(), win32::kTransparentModeMessage, 1, 0);
    ASSERT_NE(frame->GetRenderer(), nullptr);
    EXPECT_TRUE(::GetWindowLongA(frameWindow, GWL_EXSTYLE) & WS_EX_LAYERED);
    RECT before;
    ::GetWindowRect(frameWindow, &before);
    ::MoveWindow(frameWindow, before.left + 30, before.top + 20, 120, 90, TRUE);
    ::SendMessageA(control->Window(), win32::kTransparentModeMessage, 0, 0);
    EXPECT_EQ(frame->GetRenderer(), nullptr);
    EXPECT_FALSE(::GetWindowLongA(frameWindow, GWL_EXSTYLE) & WS_EX_LAYERED);
    RECT after;
    ::GetWindowRect(frameWindow, &after);
    EXPECT_EQ(after.left, before.left);
    EXPECT_EQ(after.right - after.left, before.right - before.left);
    EXPECT_EQ(after.bottom - after.top, before.bottom - before.top);
}

TEST_F(Win32PlayerControlTest, TearDownLeavesNoControlWindowAndUnloadsTheFileWhicheverGoesFirst) {
    Drive("");
    std::unique_ptr<shell::MainFrame> frame = MakeFrame();
    ASSERT_TRUE(frame);
    auto* control = dynamic_cast<PlayerControl*>(frame->Control());
    ASSERT_NE(control, nullptr);
    const HWND movieWindow = control->Window();
    frame.reset();  // the control first, then the frame
    EXPECT_FALSE(::IsWindow(movieWindow));
    EXPECT_FALSE(FileLoaded());

    // The frame's window first, the control after it.
    Quiet quiet;
    std::unique_ptr<FrameWindow> window = desktop_->CreateFrameWindow("resource 128", quiet);
    ASSERT_TRUE(window);
    std::unique_ptr<MovieControl> alone = CreatePlayerControl(*window, controlFile_);
    ASSERT_TRUE(alone);
    window.reset();
    EXPECT_TRUE(FileLoaded()) << "the control outlives its frame";
    alone.reset();
    EXPECT_FALSE(FileLoaded());
    EXPECT_TRUE(::DeleteFileW(Wide(controlFile_).c_str())) << "nothing holds the file any more";
}

TEST_F(Win32PlayerControlTest, AControlDroppedInsideItsOwnEventGoesAndItsFileFollowsAfterTheMessage) {
    Drive("fscommand quit now\nfscommand never raised\n");
    Quiet quiet;
    std::unique_ptr<FrameWindow> window = desktop_->CreateFrameWindow("resource 128", quiet);
    ASSERT_TRUE(window);
    std::unique_ptr<MovieControl> control = CreatePlayerControl(*window, controlFile_);
    ASSERT_TRUE(control);
    const HWND movieWindow = dynamic_cast<PlayerControl&>(*control).Window();
    struct Dropper final : MovieControlEvents {
        std::unique_ptr<MovieControl>* owner = nullptr;
        int heard = 0;
        bool fileLoadedWhenDropped = false;
        std::wstring file;
        void OnFSCommand(std::u16string_view, std::u16string_view) override {
            ++heard;
            owner->reset();  // the control goes while its own event is still on the stack
            fileLoadedWhenDropped = ::GetModuleHandleW(file.c_str()) != nullptr;
        }
        void OnFlashCall(std::u16string_view) override {}
    } dropper;
    dropper.owner = &control;
    dropper.file = Wide(controlFile_);
    control->SetEventSink(&dropper);
    ASSERT_TRUE(control->SetMovie(u"C:\\movie.swf"));
    for (int pass = 0; pass < 100 && FileLoaded(); ++pass) (void)desktop_->ProcessEvents(true);
    EXPECT_EQ(dropper.heard, 1);
    EXPECT_EQ(control, nullptr);
    EXPECT_TRUE(dropper.fileLoadedWhenDropped) << "its code was still running";
    EXPECT_FALSE(FileLoaded()) << "the message loop freed it after the message";
    EXPECT_FALSE(::IsWindow(movieWindow));
    const std::vector<std::string> lines = Lines(testing::ReadText(record_));
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [](const std::string& l) { return l.rfind("raise ", 0) == 0; }),
              1);
}

TEST_F(Win32PlayerControlTest, FilesThatAreNoControlGiveNoneAndStayUnloaded) {
    std::unique_ptr<shell::MainFrame> frame = std::make_unique<shell::MainFrame>(*desktop_, nullptr);
    ASSERT_TRUE(frame->Create("resource 128"));
    FrameWindow& window = *frame->Window();
    EXPECT_EQ(CreatePlayerControl(window, WindowsPath(scratch_.Path()) + "missing.ocx"), nullptr);
    // A library of the system without a class factory: loaded for the attempt only.
    ASSERT_EQ(::GetModuleHandleA("dciman32.dll"), nullptr) << "the test needs a library nobody loaded";
    EXPECT_EQ(CreatePlayerControl(window, "dciman32.dll"), nullptr);
    EXPECT_EQ(::GetModuleHandleA("dciman32.dll"), nullptr);
    const HWND frameWindow = reinterpret_cast<HWND>(window.NativeHandle());
    const HWND movie = ::GetDlgItem(frameWindow, 0x459);
    ASSERT_NE(movie, nullptr);
    char className[64] = {};
    ::GetClassNameA(movie, className, sizeof className);
    EXPECT_STREQ(className, "VelmoMovieArea") << "the placeholder keeps its place";
}

TEST(Win32PlayerRegistration, TheRegisteredFileIsTheClassServersDefaultValueExpanded) {
    // The classes key redirected for this process only: other tests keep the prefix's registration.
    HKEY classes = nullptr;
    ASSERT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\VelmoTest\\Classes", 0, nullptr, 0, KEY_ALL_ACCESS,
                                nullptr, &classes, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(::RegOverridePredefKey(HKEY_CLASSES_ROOT, classes), ERROR_SUCCESS);
    EXPECT_EQ(RegisteredPlayerFile(), "") << "nothing registered";
    HKEY server = nullptr;
    ASSERT_EQ(::RegCreateKeyExA(classes, "CLSID\\{D27CDB6E-AE6D-11CF-96B8-444553540000}\\InProcServer32", 0, nullptr, 0,
                                KEY_ALL_ACCESS, nullptr, &server, nullptr),
              ERROR_SUCCESS);
    const char value[] = "%SystemRoot%\\player.ocx";
    ::RegSetValueExA(server, nullptr, 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(value), sizeof value);
    char expanded[MAX_PATH] = {};
    ::ExpandEnvironmentStringsA(value, expanded, sizeof expanded);
    const std::string registered = RegisteredPlayerFile();
    const char plain[] = "C:\\Players\\player.ocx";
    ::RegSetValueExA(server, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(plain), sizeof plain);
    const std::string registeredPlain = RegisteredPlayerFile();
    ::RegCloseKey(server);
    ::RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
    ::RegCloseKey(classes);
    ::RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\VelmoTest");
    EXPECT_EQ(registered, expanded);
    EXPECT_NE(registered.find("player.ocx"), std::string::npos);
    EXPECT_EQ(registered.find('%'), std::string::npos);
    EXPECT_EQ(registeredPlain, plain);
}

}  // namespace
}  // namespace velmo::platform::win32
