// The stand-in movie control: its driving file (instructions, escapes, refusals with the line),
// and the control itself: events wait for a movie and come once, in order, with FlashCall answered
// only through SetReturnValue while it is being delivered; calls into the movie answer from the
// file's tables.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "platform/standin/standin_movie_control.h"
#include "platform/standin/standin_movie_script.h"

namespace velmo::platform {
namespace {

StandinMovieScript Parsed(std::string_view text) {
    StandinScriptResult result = ParseStandinMovieScript(text);
    EXPECT_TRUE(result.script) << result.error;
    return result.script ? *result.script : StandinMovieScript{};
}

std::string RefusalOf(std::string_view text) {
    const StandinScriptResult result = ParseStandinMovieScript(text);
    EXPECT_FALSE(result.script);
    return result.error;
}

TEST(StandinMovieScript, ReadsEveryInstructionWithItsTextVerbatim) {
    const StandinMovieScript script = Parsed(
        "# a comment, then a blank line\r\n"
        "\n"
        "version 9.1\r\n"
        "variable $version WIN 9,0,1\n"
        "function getLevel <number>3</number>\n"
        "fscommand Velmo_Eval trace('a  b');\n"
        "fscommand quit\n"
        "fscommand exec\\sme \"C:\\\\Program Files\\\\x.exe\" /s\\n\n"
        "flashcall <invoke name=\"velmo_eval\" returntype=\"xml\"><arguments><string>1+2</string>"
        "</arguments></invoke>\n"
        "fscommand Velmo_Eval caf\xC3\xA9 \xF0\x9F\x98\x80");  // no newline at the end
    EXPECT_EQ(script.flashVersion, 9u << 16 | 1);
    EXPECT_EQ(script.variables.at(u"$version"), u"WIN 9,0,1");
    EXPECT_EQ(script.functions.at(u"getLevel"), u"<number>3</number>");
    ASSERT_EQ(script.events.size(), 5u);
    EXPECT_EQ(script.events[0].first, u"Velmo_Eval");
    EXPECT_EQ(script.events[0].second, u"trace('a  b');");  // inner blanks kept
    EXPECT_EQ(script.events[1].first, u"quit");
    EXPECT_EQ(script.events[1].second, u"");
    EXPECT_EQ(script.events[2].first, u"exec me");
    EXPECT_EQ(script.events[2].second, u"\"C:\\Program Files\\x.exe\" /s\n");
    EXPECT_EQ(script.events[3].kind, StandinEvent::Kind::FlashCall);
    EXPECT_EQ(script.events[3].first.substr(0, 20), u"<invoke name=\"velmo_");
    EXPECT_EQ(script.events[4].second, u"caf\u00E9 \U0001F600");
}

TEST(StandinMovieScript, RefusesWithTheLineThatIsWrong) {
    EXPECT_EQ(RefusalOf("version 10\nplay movie.swf\n"), "line 2: unknown instruction \"play\"");
    EXPECT_EQ(RefusalOf("\n\nfscommand Velmo_Eval a\\qb"), "line 3: malformed UTF-8 or an unknown escape");
    EXPECT_EQ(RefusalOf("fscommand Velmo_Eval ends in \\"), "line 1: malformed UTF-8 or an unknown escape");
    EXPECT_EQ(RefusalOf("flashcall \xC3("), "line 1: malformed UTF-8 or an unknown escape");
    EXPECT_EQ(RefusalOf("variable  value"), "line 1: variable needs a name");
    EXPECT_EQ(RefusalOf("fscommand"), "line 1: fscommand needs a name");
    for (const char* version : {"version", "version 10.", "version .1", "version 1.2.3", "version 65536", "version -1",
                                "version 99999999999"})
        EXPECT_NE(RefusalOf(version).find("version"), std::string::npos) << version;
    EXPECT_EQ(Parsed("version 65535.65535").flashVersion, 0xFFFFFFFFu);
    EXPECT_EQ(Parsed("").flashVersion, 10u << 16);  // a current player by default
    for (const char* wait : {"wait", "wait -5", "wait 600001", "wait 12ms", "wait 1234567"})
        EXPECT_EQ(RefusalOf(wait), "line 1: a wait is a count of milliseconds, at most 600000") << wait;
    for (const char* paint : {"paint 1 2 3", "paint 0 0 0 5 FF0000", "paint 0 0 5 5 red", "paint 0 0 5 5 FF0000 more",
                              "paint 99999 0 5 5 FF0000"})
        EXPECT_EQ(RefusalOf(paint), "line 1: a paint is X Y WIDTH HEIGHT RRGGBB, sides from 1 to 16384") << paint;
}

TEST(StandinMovieScript, FramesFrameSizeAndRefusalsAreCheckedAndKept) {
    const StandinMovieScript script = Parsed("frames 16000\nframesize 550 400\nrefuse CurrentFrame\nrefuse Loop\n");
    EXPECT_EQ(script.frames, 16000);
    EXPECT_EQ(script.frameWidth, 550);
    EXPECT_EQ(script.frameHeight, 400);
    EXPECT_EQ(script.refused, (std::set<std::string>{"CurrentFrame", "Loop"}));
    EXPECT_EQ(Parsed("").frames, 1);
    for (const char* frames : {"frames", "frames 0", "frames 16001", "frames -3", "frames 1x"})
        EXPECT_EQ(RefusalOf(frames), "line 1: frames is a count from 1 to 16000") << frames;
    for (const char* size : {"framesize 550", "framesize 0 400", "framesize 550 16385", "framesize 550 400 1"})
        EXPECT_EQ(RefusalOf(size), "line 1: a framesize is WIDTH HEIGHT, each from 1 to 16384") << size;
    for (const char* member : {"refuse", "refuse currentframe", "refuse Playback", "refuse Play "})
        EXPECT_EQ(RefusalOf(member), "line 1: refuse names a method or property of the player") << member;
}

TEST(StandinMovieControl, KeepsATimelinePerTargetAndRefusesWhatTheFileSays) {
    StandinMovieControl control(Parsed("frames 4\nframesize 100 50\nrefuse Quality\n"));
    EXPECT_FALSE(control.FrameSize());  // nothing loaded yet
    EXPECT_EQ(control.Call(MovieMethod::PercentLoaded, {}), MovieValue{0});
    ASSERT_TRUE(control.SetMovie(u"m.swf"));
    EXPECT_EQ(control.FrameSize(), (Size{100, 50}));
    EXPECT_EQ(control.Call(MovieMethod::PercentLoaded, {}), MovieValue{100});
    const MovieValue three[] = {3}, four[] = {4}, text[] = {u"3"};
    EXPECT_TRUE(control.Call(MovieMethod::GotoFrame, three));
    EXPECT_FALSE(control.Call(MovieMethod::GotoFrame, four));
    EXPECT_FALSE(control.Call(MovieMethod::GotoFrame, text));
    EXPECT_EQ(control.Get(MovieProperty::FrameNum), MovieValue{3});
    const MovieValue clip[] = {u"/clip", 2}, clipOnly[] = {u"/clip"}, main[] = {u"/"};
    EXPECT_TRUE(control.Call(MovieMethod::TGotoFrame, clip));
    EXPECT_EQ(control.Call(MovieMethod::TCurrentFrame, clipOnly), MovieValue{2});
    EXPECT_EQ(control.Call(MovieMethod::TCurrentFrame, main), MovieValue{0});  // timelines apart
    EXPECT_FALSE(control.Get(MovieProperty::Quality));
    EXPECT_FALSE(control.Put(MovieProperty::Quality, 2));
    EXPECT_FALSE(control.Put(MovieProperty::TotalFrames, 9));
    EXPECT_FALSE(control.Put(MovieProperty::WMode, 1));  // a number is no mode's name
    EXPECT_TRUE(control.Put(MovieProperty::Loop, 0));    // a number is a flag
    EXPECT_EQ(control.Get(MovieProperty::Loop), MovieValue{false});
    const std::vector<std::string>& r = control.Recorded();
    EXPECT_EQ(std::vector<std::string>(r.end() - 6, r.end()),
              (std::vector<std::string>{"Quality -> refused", "Quality := 2 refused", "TotalFrames := 9 refused",
                                        "WMode := 1 refused", "Loop := false", "Loop -> false"}));
}

TEST(StandinMovieScript, UnavailableStandsAloneOnItsLine) {
    EXPECT_EQ(RefusalOf("unavailable now"), "line 1: unavailable takes nothing after it");
    EXPECT_TRUE(Parsed("# no player here\nunavailable\r\n").unavailable);
    EXPECT_FALSE(Parsed("version 9").unavailable);
}

// Answers each FlashCall from a list, and may call back into the control meanwhile.
class Listener final : public MovieControlEvents {
public:
    explicit Listener(StandinMovieControl& control) : control_(control) {}
    void OnFSCommand(std::u16string_view command, std::u16string_view argument) override {
        seen.push_back(std::u16string(command) + u"|" + std::u16string(argument));
        if (command == u"load") (void)control_.SetMovie(u"other.swf");
    }
    void OnFlashCall(std::u16string_view request) override {
        seen.push_back(std::u16string(request));
        if (request == u"ask the movie") control_.CallFunction(u"<invoke name=\"inner\" returntype=\"xml\"/>");
        if (request != u"silent") control_.SetReturnValue(u"<true/>");
    }
    std::vector<std::u16string> seen;

private:
    StandinMovieControl& control_;
};

TEST(StandinMovieControl, RaisesTheFileEventsOnceInOrderAfterTheFirstMovie) {
    StandinMovieControl control(
        Parsed("fscommand first 1\nflashcall silent\nfscommand load\nflashcall ask the movie\n"
               "function inner <string>x</string>\n"));
    Listener listener(control);
    control.SetEventSink(&listener);
    EXPECT_FALSE(control.RaiseNextEvent());  // nothing plays before a movie is loaded
    ASSERT_TRUE(control.SetMovie(u""));
    EXPECT_FALSE(control.RaiseNextEvent());  // nor with an empty one
    ASSERT_TRUE(control.SetMovie(u"movie.swf"));
    while (control.RaiseNextEvent()) {}
    EXPECT_EQ(listener.seen, (std::vector<std::u16string>{u"first|1", u"silent", u"load|", u"ask the movie"}));
    EXPECT_EQ(control.Movie(), u"other.swf");
    EXPECT_FALSE(control.RaiseNextEvent());  // loading another movie did not replay them

    const std::vector<std::string>& r = control.Recorded();
    const std::vector<std::string> expected = {
        "Movie := \"\"",
        "Movie := \"movie.swf\"",
        "raise FSCommand(\"first\", \"1\")",
        "raise FlashCall(\"silent\")",
        "FlashCall answered nothing",
        "raise FSCommand(\"load\", \"\")",
        "Movie := \"other.swf\"",
        "raise FlashCall(\"ask the movie\")",
        "CallFunction(\"<invoke name=\\\"inner\\\" returntype=\\\"xml\\\"/>\") -> \"<string>x</string>\"",
        "SetReturnValue(\"<true/>\")",
    };
    EXPECT_EQ(r, expected);
}

TEST(StandinMovieControl, AnswersFromItsTablesAndIgnoresAStrayReturnValue) {
    StandinMovieControl control(Parsed("variable level 3\nfunction f <null/>\nfscommand a b\n"));
    EXPECT_EQ(control.GetVariable(u"level"), std::optional<std::u16string>(u"3"));
    EXPECT_EQ(control.GetVariable(u"Level"), std::nullopt);  // the movie's names have case
    EXPECT_TRUE(control.SetVariable(u"Level", u"4"));
    EXPECT_EQ(control.GetVariable(u"Level"), std::optional<std::u16string>(u"4"));
    EXPECT_EQ(control.CallFunction(u"<invoke name=\"f\" returntype=\"xml\"><arguments/></invoke>"),
              std::optional<std::u16string>(u"<null/>"));
    EXPECT_EQ(control.CallFunction(u"<invoke name=\"g\" returntype=\"xml\"/>"), std::nullopt);
    EXPECT_EQ(control.CallFunction(u"<invoke name=\"f"), std::nullopt);  // no closing quote
    EXPECT_EQ(control.CallFunction(u"f"), std::nullopt);
    control.SetReturnValue(u"<true/>");
    EXPECT_EQ(control.Recorded().back(), "SetReturnValue(\"<true/>\") outside a FlashCall, ignored");

    EXPECT_FALSE(control.SetScaleMode(4));
    EXPECT_TRUE(control.SetScaleMode(3));
    EXPECT_EQ(control.ScaleMode(), 3);
    EXPECT_TRUE(control.SetBackgroundColor(0x0100FF));
    EXPECT_EQ(control.Recorded().back(), "BackgroundColor := 0x0100FF");

    // Without a sink the event is used up and dropped.
    ASSERT_TRUE(control.SetMovie(u"m.swf"));
    EXPECT_TRUE(control.RaiseNextEvent());
    EXPECT_EQ(control.Recorded().back(), "raise FSCommand(\"a\", \"b\"): no sink, dropped");
    EXPECT_FALSE(control.RaiseNextEvent());
}

TEST(StandinMovieControl, QuotesTextSoEveryRecordIsOneLine) {
    EXPECT_EQ(QuotedText(u"a\"b\\c\r\n\t\x01\x7F"), "\"a\\\"b\\\\c\\r\\n\\t\\u0001\\u007F\"");
    EXPECT_EQ(QuotedText(u"\u00E9\U0001F600"), "\"\xC3\xA9\xF0\x9F\x98\x80\"");
    EXPECT_EQ(QuotedText(std::u16string(1, u'\xD800') + u"x"), "\"\\uD800x\"");  // a lone surrogate
}

TEST(StandinMovieControl, AWaitHoldsTheNextEventBackWithoutLosingIt) {
    StandinMovieControl control(Parsed("wait 40\nfscommand later\npaint 1 1 2 2 00FF00"));
    Listener listener(control);
    control.SetEventSink(&listener);
    (void)control.SetMovie(u"movie.swf");
    EXPECT_FALSE(control.RaiseNextEvent());  // still waiting
    EXPECT_TRUE(control.HoldsEvents());
    while (!control.RaiseNextEvent()) ASSERT_TRUE(control.HoldsEvents());
    EXPECT_EQ(listener.seen, (std::vector<std::u16string>{u"later|"}));
    EXPECT_FALSE(control.HoldsEvents());

    PixelImage image;
    image.Resize({4, 4});
    ASSERT_TRUE(control.DrawOnto(image, {1, 0, 3, 3}, {0, 0, 4, 4}, 0xFFFFFF));
    EXPECT_EQ(image.At(0, 0), 0u);         // outside the movie's area: untouched
    EXPECT_EQ(image.At(1, 0), 0xFFFFFFu);  // the background
    EXPECT_EQ(image.At(2, 1), 0x00FF00u);  // the paint, moved with the area
    EXPECT_EQ(image.At(3, 3), 0u);         // the paint is cut to the area
}

}  // namespace
}  // namespace velmo::platform
