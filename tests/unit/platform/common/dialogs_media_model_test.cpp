// The headless stand-ins for dialogs and media: the answer file and what scripted dialogs make of
// it (default buttons, kinds that do not fit, the name buffer's limit, the record), the WAVE header
// reader, and the media model's command strings and device commands over one state.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/action_record.h"
#include "platform/common/dialog_answers.h"
#include "platform/common/model_media.h"
#include "platform/common/model_window_system.h"
#include "platform/common/scripted_dialogs.h"
#include "platform/common/wave_header.h"

namespace velmo::platform {
namespace {

// A 16-bit stereo 8 kHz wave (32,000 bytes a second) of `dataBytes`.
std::vector<uint8_t> Wave(uint32_t dataBytes) {
    std::vector<uint8_t> b;
    auto u32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    auto u16 = [&](uint16_t v) { b.push_back(v & 0xFF), b.push_back(static_cast<uint8_t>(v >> 8)); };
    auto tag = [&](const char* t) { b.insert(b.end(), t, t + 4); };
    tag("RIFF"), u32(36 + dataBytes), tag("WAVE");
    tag("LIST"), u32(3), b.insert(b.end(), {'a', 'b', 'c', 0});  // an odd chunk, padded
    tag("fmt "), u32(16), u16(1), u16(2), u32(8000), u32(32000), u16(4), u16(16);
    tag("data"), u32(dataBytes), b.insert(b.end(), dataBytes, 0);
    return b;
}

struct Recorded {
    Recorded() {
        SetActionSink([this](std::string_view kind, const std::string& line) {
            lines.push_back(std::string(kind) + ": " + line);
        });
    }
    ~Recorded() { SetActionSink(nullptr); }
    std::vector<std::string> lines;
};

TEST(DialogAnswers, EachLineIsOneAnswerAndUnreadableLinesBecomeCancels) {
    const std::vector<DialogAnswer> a = ParseDialogAnswers(
        "# comment\r\n\nbutton 6\nBUTTON No\r\nfile C:\\a b.txt  \nfiles C:\\d|x.txt|y.txt\nfolder /tmp\n"
        "cancel\nerror 12290\nbutton maybe\nfiles C:\\d||x\nfile\nsomething else");
    ASSERT_EQ(a.size(), 11u);
    EXPECT_EQ(a[0].kind, DialogAnswerKind::Button);
    EXPECT_EQ(a[0].button, 6);
    EXPECT_EQ(a[0].line, 3);
    EXPECT_EQ(a[1].button, 7);
    EXPECT_EQ(a[2].kind, DialogAnswerKind::File);
    EXPECT_EQ(a[2].path, "C:\\a b.txt");
    EXPECT_EQ(a[3].names, (std::vector<std::string>{"C:\\d", "x.txt", "y.txt"}));
    EXPECT_EQ(a[4].kind, DialogAnswerKind::Folder);
    EXPECT_EQ(a[4].path, "/tmp");
    EXPECT_EQ(a[5].kind, DialogAnswerKind::Cancel);
    EXPECT_TRUE(a[5].problem.empty());
    EXPECT_EQ(a[6].kind, DialogAnswerKind::Error);
    EXPECT_EQ(a[6].error, 12290u);
    for (size_t i = 7; i < a.size(); ++i) {
        EXPECT_EQ(a[i].kind, DialogAnswerKind::Cancel) << i;
        EXPECT_FALSE(a[i].problem.empty()) << i;
    }
}

TEST(DialogAnswers, MessageBoxDefaultAndCancelButtonsFollowItsType) {
    EXPECT_EQ(DefaultMessageBoxButton(0), 1);
    EXPECT_EQ(DefaultMessageBoxButton(0x4), 6);          // yes/no
    EXPECT_EQ(DefaultMessageBoxButton(0x4 | 0x100), 7);  // second button by default
    EXPECT_EQ(DefaultMessageBoxButton(0x3 | 0x200), 2);  // yes/no/cancel, third
    EXPECT_EQ(DefaultMessageBoxButton(0x1 | 0x300), 1);  // a fourth button that is not there
    EXPECT_EQ(CancelMessageBoxButton(0), 1);
    EXPECT_EQ(CancelMessageBoxButton(0x3), 2);
    EXPECT_EQ(CancelMessageBoxButton(0x4), -1);
    EXPECT_EQ(CancelMessageBoxButton(0x2), -1);  // abort/retry/ignore
}

TEST(ScriptedDialogs, AnswersInOrderThenDefaultsAndRecordsEveryDialog) {
    Recorded rec;
    ScriptedDialogs dialogs;
    dialogs.UseAnswers(ParseDialogAnswers("button no\ncancel\nfolder C:\\x\nfiles C:\\d|a|b\nfile C:\\p.txt\n"));
    EXPECT_EQ(dialogs.Message("Sure?", "Ask", 0x4), 7);
    EXPECT_EQ(dialogs.Message("Sure?", "Ask", 0x4), 6);  // cannot be cancelled: default
    FileDialogRequest open;
    open.filter = std::string("Text\0*.txt\0", 11);
    open.flags = 0x880004;
    EXPECT_FALSE(dialogs.FileDialog(open).chosen);  // a folder answer does not fit a file dialog
    open.flags |= 0x200;
    open.bufferBytes = 4096;
    EXPECT_EQ(dialogs.FileDialog(open).names, std::string("C:\\d\0a\0b", 8));
    open.bufferBytes = 8;  // "C:\p.txt" and two zeros need 10
    const FileDialogAnswer small = dialogs.FileDialog(open);
    EXPECT_FALSE(small.chosen);
    EXPECT_EQ(small.error, 0x3003u);
    EXPECT_FALSE(dialogs.FolderBrowser("Pick", "", 5).chosen);  // none left
    EXPECT_EQ(dialogs.Message("t", "c", 0x3 | 0x100), 7);
    ASSERT_EQ(rec.lines.size(), 7u);
    EXPECT_EQ(rec.lines[0], "dialog: msgBox \"Ask\" \"Sure?\" type 0x4 -> 7");
    EXPECT_EQ(rec.lines[1], "dialog: msgBox \"Ask\" \"Sure?\" type 0x4 -> 6 (cannot be cancelled: default button)");
    EXPECT_NE(rec.lines[2].find("filter \"Text|*.txt\""), std::string::npos) << rec.lines[2];
    EXPECT_NE(rec.lines[2].find("-> cancel (answer of line 3 does not fit"), std::string::npos) << rec.lines[2];
    EXPECT_NE(rec.lines[3].find("flags 0x880204 -> \"C:\\d|a|b\""), std::string::npos) << rec.lines[3];
    EXPECT_NE(rec.lines[4].find("-> error 12291"), std::string::npos) << rec.lines[4];
    EXPECT_EQ(rec.lines[5], "dialog: browse \"Pick\" from \"\" flags 0x5 -> cancel (no answer)");
}

TEST(WaveHeader, ReadsRatesAndDataPastOtherChunksAndRefusesDamage) {
    const std::vector<uint8_t> wave = Wave(16000);
    const std::optional<WaveHeader> h = ReadWaveHeader(wave.data(), wave.size());
    ASSERT_TRUE(h);
    EXPECT_EQ(h->bytesPerSecond, 32000u);
    EXPECT_EQ(h->samplesPerSecond, 8000u);
    EXPECT_EQ(h->dataBytes, 16000u);
    EXPECT_EQ(WaveMilliseconds(*h, h->dataBytes), 500u);
    // Data declared longer than the file holds is cut to what is there.
    EXPECT_EQ(ReadWaveHeader(wave.data(), wave.size() - 6000)->dataBytes, 10000u);
    std::vector<uint8_t> bad = wave;
    std::memcpy(bad.data() + 8, "WAVF", 4);
    EXPECT_FALSE(ReadWaveHeader(bad.data(), bad.size()));
    bad = wave;
    bad[40] = bad[41] = bad[42] = bad[43] = 0;  // a byte rate of 0
    EXPECT_FALSE(ReadWaveHeader(bad.data(), bad.size()));
    EXPECT_FALSE(ReadWaveHeader(wave.data(), 30));  // cut inside the format chunk
}

class MediaModel : public ::testing::Test {
protected:
    MediaModel()
        : media_(
              [this](const std::string& path) -> std::optional<std::vector<uint8_t>> {
                  if (path == "C:\\song.wav") return Wave(64000);  // two seconds
                  if (path == "clip.avi" || path == "noise.wav") return std::vector<uint8_t>(10, 1);
                  return std::nullopt;
              },
              [this]() -> ModelWindowSystem& { return windows_; }) {}
    std::string Send(const std::string& command, uint32_t* error = nullptr) {
        const MciStringReply r = media_.SendString(command, 128, 0);
        if (error) *error = r.error;
        return r.error ? "error " + std::to_string(r.error) : r.text;
    }
    ModelWindowSystem windows_;
    ModelMedia media_;
};

TEST_F(MediaModel, CommandStringsKeepTheDeviceStateAndAnswerStatusFromIt) {
    EXPECT_EQ(Send("open \"C:\\song.wav\" alias Song"), "1");
    EXPECT_EQ(Send("status song length"), "2000");
    EXPECT_EQ(Send("status song mode"), "stopped");
    EXPECT_EQ(Send("play song from 500 notify"), "");
    EXPECT_EQ(Send("status song mode"), "playing");
    EXPECT_EQ(Send("status song position"), "500");
    EXPECT_EQ(Send("pause song"), "");
    EXPECT_EQ(Send("status song mode"), "paused");
    EXPECT_EQ(Send("set song time format bytes"), "");
    EXPECT_EQ(Send("status song position"), "16000");
    EXPECT_EQ(Send("seek song to 32000"), "");
    EXPECT_EQ(Send("set song time format ms"), "");
    EXPECT_EQ(Send("status song position"), "1000");
    EXPECT_EQ(Send("play song from 3000"), "error 282");  // past the end
    EXPECT_EQ(Send("capability song can record"), "true");
    EXPECT_EQ(Send("capability song has video"), "false");
    EXPECT_EQ(Send("open C:\\song.wav alias SONG"), "error 289");  // aliases are without case
    EXPECT_EQ(Send("open nowhere.wav"), "error 275");
    EXPECT_EQ(Send("open noise.wav"), "error 296");
    EXPECT_EQ(Send("open thing.xyz"), "error 281");
    EXPECT_EQ(Send("open x type nosuchdevice"), "error 263");
    EXPECT_EQ(Send("status nobody mode"), "error 263");
    EXPECT_EQ(Send("frobnicate song"), "error 261");
    EXPECT_EQ(Send("status song \"mode"), "error 294");
    EXPECT_EQ(Send("sysinfo all quantity open"), "1");
    EXPECT_EQ(Send("sysinfo all name 1 open"), "Song");
    EXPECT_EQ(Send("close all"), "");
    EXPECT_EQ(media_.OpenCount(), 0u);
    EXPECT_EQ(Send("sysinfo all quantity open"), "0");
}

TEST_F(MediaModel, DeviceCommandsAgreeWithStringsAndNotifyTheCallbackWindow) {
    Recorded rec;
    std::vector<std::pair<uintptr_t, intptr_t>> notes;
    const WindowHandle playback = media_.CreatePlaybackWindow(0, [&](const WindowMessage& m) {
        if (m.message == kMsgMciNotify) notes.push_back({m.wParam, m.lParam});
    });
    ASSERT_TRUE(windows_.IsWindow(playback));
    EXPECT_EQ(windows_.ClassName(playback), "Movora_Playback_Window");
    EXPECT_FALSE(windows_.IsVisible(playback));
    MciOpenRequest open;
    open.element = "clip.avi";
    open.alias = "_Velmo_MCI_0";
    const MciResult opened = media_.Open(open);
    ASSERT_EQ(opened.error, 0u);
    const uint32_t id = static_cast<uint32_t>(opened.value);
    EXPECT_EQ(media_.Capability(id, kMciHasVideo, 0, 0).value, 1u);
    Rect source;
    EXPECT_EQ(media_.SourceRect(id, source, 0, 0), 0u);
    EXPECT_EQ(source.width, 320);
    EXPECT_EQ(media_.Play(id, std::nullopt, std::nullopt, kMciNotify, playback), 0u);
    EXPECT_EQ(media_.Status(id, kMciStatusMode, std::nullopt, 0, 0).value, kMciModePlay);
    EXPECT_EQ(media_.Act(id, MciAction::Stop, kMciNotify, playback), 0u);
    EXPECT_EQ(media_.Status(id, kMciStatusMode, std::nullopt, 0, 0).value, kMciModeStop);
    EXPECT_EQ(media_.Record(id, std::nullopt, std::nullopt, false, 0, 0), kMciErrUnsupportedFunction);
    EXPECT_EQ(media_.Act(id, MciAction::Close, 0, 0), 0u);
    EXPECT_EQ(media_.Act(id, MciAction::Close, 0, 0), kMciErrInvalidDeviceId);
    EXPECT_EQ(media_.Act(0, MciAction::Pause, 0, 0), kMciErrInvalidDeviceId);
    windows_.DeliverPosted();
    // The play was aborted by the stop, and the stop itself succeeded.
    ASSERT_EQ(notes.size(), 2u);
    EXPECT_EQ(notes[0], (std::pair<uintptr_t, intptr_t>{kMciNotifyAborted, id}));
    EXPECT_EQ(notes[1], (std::pair<uintptr_t, intptr_t>{kMciNotifySuccessful, id}));
    EXPECT_EQ(rec.lines.front(), "mci: open \"clip.avi\" alias \"_Velmo_MCI_0\" -> 0 \"1\"");
    EXPECT_EQ(rec.lines.back(), "mci: device 0: pause -> 257");
    EXPECT_EQ(media_.ErrorText(kMciErrInvalidDeviceId, 10), "Invalid de");
    EXPECT_EQ(media_.DeviceNames(),
              (std::vector<std::string>{"waveaudio", "sequencer", "cdaudio", "avivideo", "mpegvideo"}));
    media_.DestroyPlaybackWindow(playback);
}

}  // namespace
}  // namespace velmo::platform
