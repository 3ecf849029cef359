// FlashPlayer and MovieClip: the pure parts on their own (the binding tables and their hash, the
// reading of movie texts, the movie-to-window arithmetic), then the object over a projector whose
// control is the headless stand-in, so that what reached the movie is read back from its records.
// What scripts see without a control is tests/scripts/flashplayer; the movie window and its
// context menu in a played application, tests/tools/flashplayer_play_test.sh.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "host/classes/flash_bindings.h"
#include "host/classes/movie_geometry.h"
#include "host/classes/movie_values.h"
#include "host/framework/projector.h"
#include "platform/standin/standin_movie_control.h"
#include "script/runtime/engine.h"
#include "script/runtime/interpreter_api.h"
#include "script/runtime/strings.h"
#include "tests/support/projector_engine.h"
#include "tests/support/scratch.h"

namespace velmo::host {
namespace {

using script::Tag;
using script::Value;

std::string Narrow(std::u16string_view s) { return std::string(s.begin(), s.end()); }

// ---- The pure parts

TEST(BindingTable, HashFoldsCaseAndMixesEveryUnit) {
    EXPECT_EQ(BindingNameHash(u""), 0u);
    EXPECT_EQ(BindingNameHash(u"a"), 0x61u);
    EXPECT_EQ(BindingNameHash(u"ab"), 0xC42u);     // (0x61 << 5) ^ 0x62
    EXPECT_EQ(BindingNameHash(u"abc"), 0x1883Bu);  // (0xC42 << 5) ^ 0x63 ^ ((6 ^ 0xC42) >> 7)
    EXPECT_EQ(BindingNameHash(u"ABC"), BindingNameHash(u"abc"));
    EXPECT_NE(BindingNameHash(u"ab"), BindingNameHash(u"ba"));
}

TEST(BindingTable, BindingRecordsEveryDottedPrefixAndUnbindingKeepsThem) {
    auto engine = testing::EngineOver(StandaloneProjector());
    BindingTable table(engine->Interp());
    table.Bind(u"_root.hud.score");
    table.Bind(u"lives");
    EXPECT_TRUE(table.IsClipPath(u"_root"));
    EXPECT_TRUE(table.IsClipPath(u"_ROOT.HUD"));
    EXPECT_FALSE(table.IsClipPath(u"_root.hud.score"));
    EXPECT_FALSE(table.IsClipPath(u"lives"));
    ASSERT_NE(table.Find(u"_Root.Hud.Score"), nullptr);
    EXPECT_EQ(table.Find(u"_Root.Hud.Score")->name, u"_root.hud.score");  // the first spelling stays

    table.Find(u"lives")->value.Set(Value::Integer(3));
    table.Bind(u"LIVES");  // bound already: the value stays
    EXPECT_EQ(table.Find(u"lives")->value.Get().AsInteger(), 3);
    EXPECT_EQ(table.All().size(), 2u);

    table.Unbind(u"_root.hud.SCORE");
    EXPECT_EQ(table.Find(u"_root.hud.score"), nullptr);
    EXPECT_TRUE(table.IsClipPath(u"_root.hud"));
    table.Clear();
    EXPECT_FALSE(table.IsClipPath(u"_root"));
    EXPECT_TRUE(table.All().empty());
}

TEST(MovieText, ReadsAsTheValueTheCReadersTakeWhole) {
    auto engine = testing::EngineOver(StandaloneProjector());
    script::Interpreter& interp = engine->Interp();
    EXPECT_TRUE(MovieTextValue(interp, u"true").AsBoolean());
    EXPECT_FALSE(MovieTextValue(interp, u"false").AsBoolean());
    EXPECT_TRUE(MovieTextValue(interp, u"undefined").Is(Tag::Undefined));
    EXPECT_EQ(MovieTextValue(interp, u"-7").AsInteger(), -7);
    EXPECT_EQ(MovieTextValue(interp, u" 12").AsInteger(), 12);  // the readers skip leading blanks
    EXPECT_EQ(MovieTextValue(interp, u"1.5").AsNumber(), 1.5);
    EXPECT_EQ(MovieTextValue(interp, u"1e3").AsNumber(), 1000.0);
    EXPECT_EQ(MovieTextValue(interp, u"99999999999999999999").AsNumber(), 1e20);  // past 64 bits
    EXPECT_TRUE(MovieTextValue(interp, u"nan").Is(Tag::NaN));
    // Exact comparisons, texts the readers stop inside, and the empty text stay Strings.
    for (const std::u16string_view text : std::initializer_list<std::u16string_view>{
             u"True", u"FALSE", u"12 ", u"1,5", u"abc", u"", u"\u00e912", std::u16string_view(u"1\0", 2)}) {
        const Value v = MovieTextValue(interp, text);
        ASSERT_TRUE(v.Is(Tag::String)) << Narrow(text);
        EXPECT_EQ(script::Text(v.AsString()), text);
    }
}

TEST(MovieToWindow, EachScaleModePlacesTheRectangle) {
    const MovieRectangle whole{0, 550, 0, 400};
    const auto edges = [&](int mode, MovieRectangle r) { return MovieToWindow({550, 400}, {1100, 1000}, mode, r); };
    // Show all: s = 2, 1100 x 800, centred vertically.
    std::optional<WindowEdges> e = edges(0, whole);
    ASSERT_TRUE(e);
    EXPECT_EQ((std::vector<int64_t>{e->left, e->right, e->top, e->bottom}), (std::vector<int64_t>{0, 1100, 100, 900}));
    // No border: s = 2.5, 1375 x 1000, the offset -137.5 truncated toward zero.
    e = edges(1, whole);
    EXPECT_EQ((std::vector<int64_t>{e->left, e->right, e->top, e->bottom}),
              (std::vector<int64_t>{-137, 1238, 0, 1000}));
    e = edges(2, {55, 110, 40, 80});  // exact fit: 2 x 2.5
    EXPECT_EQ((std::vector<int64_t>{e->left, e->right, e->top, e->bottom}), (std::vector<int64_t>{110, 220, 100, 200}));
    e = edges(3, {-1.5, 10.9, 0, 1});  // no scale: centred at 275, 300; coordinates truncated
    EXPECT_EQ((std::vector<int64_t>{e->left, e->right, e->top, e->bottom}), (std::vector<int64_t>{274, 285, 300, 301}));
    EXPECT_EQ(edges(7, whole)->top, 100);  // an unknown mode shows all
    EXPECT_FALSE(MovieToWindow({0, 400}, {100, 100}, 0, whole));
    EXPECT_FALSE(MovieToWindow({550, -1}, {100, 100}, 0, whole));
    e = MovieToWindow({1, 1}, {10, 10}, 2, {1e300, -1e300, 0, 0});
    EXPECT_GT(e->left, int64_t{1} << 61);  // held, not overflowed
    EXPECT_LT(e->right, -(int64_t{1} << 61));
}

// ---- The object over the stand-in control

class MovieProjector final : public Projector {
public:
    platform::MovieControl* Movie() const override { return control.get(); }
    std::optional<platform::Size> MainClientSize() const override { return client; }
    std::optional<platform::Size> MovieFrameSize() const override { return frame; }

    std::unique_ptr<platform::StandinMovieControl> control;
    std::optional<platform::Size> client, frame;
};

class FlashPlayerTest : public ::testing::Test {
protected:
    void Drive(std::string_view driver) {
        const platform::StandinScriptResult parsed = platform::ParseStandinMovieScript(driver);
        ASSERT_TRUE(parsed.script) << parsed.error;
        projector_.control = std::make_unique<platform::StandinMovieControl>(*parsed.script);
        ASSERT_TRUE(projector_.control->SetMovie(u"movie.swf"));
        engine_ = testing::EngineOver(projector_);
        ASSERT_TRUE(engine_);
    }
    void Run(std::string_view source) { ASSERT_EQ(engine_->RunSourceText(source), 1) << engine_->ErrorText(); }
    Value Global(std::string_view name) { return script::GlobalByName(engine_->Interp(), name); }
    // The Integer in the global; a marker no test expects when it holds something else.
    int64_t Int(std::string_view name) {
        const Value v = Global(name);
        return v.Is(Tag::Integer) ? v.AsInteger() : -999999;
    }
    std::string Text(std::string_view name) {
        const Value v = Global(name);
        return v.Is(Tag::String) ? Narrow(script::Text(v.AsString())) : "<not a string>";
    }
    // The records since the last call.
    std::vector<std::string> Records() {
        const std::vector<std::string>& all = projector_.control->Recorded();
        std::vector<std::string> fresh(all.begin() + static_cast<ptrdiff_t>(seen_), all.end());
        seen_ = all.size();
        return fresh;
    }

    MovieProjector projector_;
    std::unique_ptr<script::Engine> engine_;
    size_t seen_ = 0;
};

TEST_F(FlashPlayerTest, PlaybackAndTimelineCallsReachTheControlWithTheirArguments) {
    Drive("frames 10\nrefuse PercentLoaded\n");
    Records();
    Run("a = FlashPlayer.gotoFrame(4); b = FlashPlayer.currentFrame(); c = FlashPlayer.gotoFrame(10);"
        "d = FlashPlayer.gotoFrame('4'); e = FlashPlayer.percentLoaded(); f = FlashPlayer.frameLoaded(9);"
        "g = FlashPlayer.frameLoaded(10); FlashPlayer.stop(); h = FlashPlayer.isPlaying(); FlashPlayer.forward();"
        "i = FlashPlayer.currentFrame(); FlashPlayer.rewind(); j = FlashPlayer.currentFrame();");
    EXPECT_TRUE(Global("a").AsBoolean());
    EXPECT_EQ(Int("b"), 4);
    EXPECT_FALSE(Global("c").AsBoolean());  // beyond the last frame: the control refuses
    EXPECT_FALSE(Global("d").AsBoolean());  // a String is no frame: the control is not asked
    EXPECT_EQ(Int("e"), -1);                // refused
    EXPECT_TRUE(Global("f").AsBoolean());
    EXPECT_FALSE(Global("g").AsBoolean());
    EXPECT_FALSE(Global("h").AsBoolean());
    EXPECT_EQ(Int("i"), 5);
    EXPECT_EQ(Int("j"), 0);
    EXPECT_EQ(Records(), (std::vector<std::string>{
                             "GotoFrame(4)", "CurrentFrame() -> 4", "GotoFrame(10) refused", "PercentLoaded() refused",
                             "FrameLoaded(9) -> true", "FrameLoaded(10) -> false", "Stop()", "IsPlaying() -> false",
                             "Forward()", "CurrentFrame() -> 5", "Rewind()", "CurrentFrame() -> 0"}));

    Run("k = FlashPlayer.targetGotoLabel('_root.menu', 'open'); l = FlashPlayer.targetCurrentLabel('_root.menu');"
        "FlashPlayer.targetSetPropertyNum('/ball', 2, 7.5); m = FlashPlayer.targetGetPropertyNum('/ball', 2);"
        "n = FlashPlayer.targetGetProperty('/ball', 2); o = FlashPlayer.targetSetPropertyNum('/ball', 2, '1');"
        "p = FlashPlayer.setZoomRect(1, 2, 3, 4); q = FlashPlayer.pan(1, 2); r = FlashPlayer.loadMovie(1, 'x.swf');"
        "s = FlashPlayer.targetCurrentFrame(1); t = FlashPlayer.flashVersion();");
    EXPECT_TRUE(Global("k").AsBoolean());
    EXPECT_EQ(Text("l"), "open");
    EXPECT_EQ(Global("m").AsNumber(), 7.5);
    EXPECT_EQ(Text("n"), "7.5");
    EXPECT_FALSE(Global("o").AsBoolean());
    EXPECT_TRUE(Global("p").AsBoolean());
    EXPECT_FALSE(Global("q").AsBoolean());  // pan takes three
    EXPECT_TRUE(Global("r").AsBoolean());
    EXPECT_EQ(Int("s"), -1);
    EXPECT_EQ(Int("t"), 10 << 16);
    EXPECT_EQ(Records(),
              (std::vector<std::string>{
                  "TGotoLabel(\"_root.menu\", \"open\")", "TCurrentLabel(\"_root.menu\") -> \"open\"",
                  "TSetPropertyNum(\"/ball\", 2, 7.5)", "TGetPropertyNum(\"/ball\", 2) -> 7.5",
                  "TGetProperty(\"/ball\", 2) -> \"7.5\"", "SetZoomRect(1, 2, 3, 4)", "LoadMovie(1, \"x.swf\")"}));
}

TEST_F(FlashPlayerTest, PropertiesTakeOnlyTheirOwnKindsAndTotalFramesIsReadOnly) {
    Drive("frames 3\n");
    Records();
    Run("FlashPlayer.quality = 2; FlashPlayer.quality = '3'; FlashPlayer.loop = 0; FlashPlayer.menu = 'no';"
        "FlashPlayer.wmode = 'Transparent'; FlashPlayer.wmode = 5; FlashPlayer.totalFrames = 9;"
        "FlashPlayer.frameNum = 2; FlashPlayer.scaleMode = 3;"
        "a = FlashPlayer.quality; b = FlashPlayer.loop; c = FlashPlayer.menu; d = FlashPlayer.wmode;"
        "e = FlashPlayer.totalFrames; f = FlashPlayer.frameNum; g = FlashPlayer.movie; h = FlashPlayer.scaleMode;");
    EXPECT_EQ(Int("a"), 2);
    EXPECT_FALSE(Global("b").AsBoolean());
    EXPECT_TRUE(Global("c").AsBoolean());
    EXPECT_EQ(Text("d"), "Transparent");
    EXPECT_EQ(Int("e"), 3);
    EXPECT_EQ(Int("f"), 2);
    EXPECT_EQ(Text("g"), "movie.swf");
    EXPECT_EQ(Int("h"), 3);
    const std::vector<std::string> writes = {"Quality := 2", "Loop := false", "WMode := \"Transparent\"",
                                             "FrameNum := 2", "ScaleMode := 3"};
    std::vector<std::string> seen;
    for (const std::string& line : Records())
        if (line.find(":=") != std::string::npos) seen.push_back(line);
    EXPECT_EQ(seen, writes);
}

TEST_F(FlashPlayerTest, ArraysAndObjectsCrossAsNumberedAndDottedVariables) {
    Drive(
        "variable list.length 3\nvariable list.0 1\nvariable list.1 x\nvariable list.2 true\n"
        "variable csv a,,c\nvariable big.length 5001\nvariable big a,b\n"
        "variable p.x 10\nvariable p.label hi\n");
    Run("l = FlashPlayer.getArray('list'); a0 = l[0]; a1 = l[1]; a2 = l[2]; n = l.length;"
        "c = FlashPlayer.getArray('csv'); cn = c.length; c1 = c[1];"
        "b = FlashPlayer.getArray('big'); bn = b.length; m = FlashPlayer.getArray('missing').length;"
        "o = FlashPlayer.getObject('p', 'x', ['label', 3, 'gone']); ox = o.x; ol = o.label;"
        "og = o.gone === undefined; bad = FlashPlayer.getObject('p');");
    EXPECT_EQ(Int("n"), 3);
    EXPECT_EQ(Int("a0"), 1);
    EXPECT_EQ(Text("a1"), "x");
    EXPECT_TRUE(Global("a2").AsBoolean());
    EXPECT_EQ(Int("cn"), 3);
    EXPECT_EQ(Text("c1"), "");
    EXPECT_EQ(Int("bn"), 2);  // a length of 5001 is not trusted
    EXPECT_EQ(Int("m"), 0);
    EXPECT_EQ(Int("ox"), 10);
    EXPECT_EQ(Text("ol"), "hi");
    EXPECT_TRUE(Global("og").AsBoolean());
    EXPECT_TRUE(Global("bad").Is(Tag::Null));

    Records();
    Run("function fn() { return 1; } var a = [1, 'two']; a[3] = true; FlashPlayer.putArray('out', a);"
        "FlashPlayer.putObject('obj', {n: 1.5, s: 'x', f: fn, o: new Object(), list: [1, 2], nul: null});");
    std::vector<std::string> writes = Records();
    std::vector<std::string> objectWrites(writes.begin() + 4, writes.end());
    writes.resize(4);
    EXPECT_EQ(writes,
              (std::vector<std::string>{"SetVariable(\"out.0\", \"1\")", "SetVariable(\"out.1\", \"two\")",
                                        "SetVariable(\"out.2\", \"undefined\")", "SetVariable(\"out.3\", \"true\")"}));
    std::sort(objectWrites.begin(), objectWrites.end());
    EXPECT_EQ(objectWrites,
              (std::vector<std::string>{"SetVariable(\"obj.list\", \"1,2\")", "SetVariable(\"obj.n\", \"1.5\")",
                                        "SetVariable(\"obj.s\", \"x\")"}));
}

TEST_F(FlashPlayerTest, BindingsMoveDataOnlyOnUpdateAndReadAsNestedClips) {
    Drive("variable score 12\nvariable _root.hud.lives 3\nvariable a.b.c 1.25\n");
    Run("FlashPlayer.bindData('score', '_root.hud.lives', 'a.b.c', 'nothing', 7);"
        "before = FlashPlayer.score; FlashPlayer.updateData();"
        "s = FlashPlayer.score; l = FlashPlayer._root.hud.lives; c = FlashPlayer.A.B.C;"
        "clip = '' + FlashPlayer._root.hud; none = FlashPlayer.nothing; other = FlashPlayer.unbound;");
    EXPECT_TRUE(Global("before").Is(Tag::Undefined));
    EXPECT_EQ(Int("s"), 12);
    EXPECT_EQ(Int("l"), 3);
    EXPECT_EQ(Global("c").AsNumber(), 1.25);
    EXPECT_EQ(Text("clip"), "[object MovieClip]");
    EXPECT_TRUE(Global("none").Is(Tag::Undefined));  // the movie has no such variable
    EXPECT_TRUE(Global("other").Is(Tag::Undefined));

    // Stores stay on the script side until the update toward the movie.
    Records();
    Run("FlashPlayer.score = 40; FlashPlayer._root.hud.lives = 'two'; var hud = FlashPlayer._root.hud; hud.extra = 1;"
        "FlashPlayer.unbindData('a.b.c'); w = FlashPlayer.getVariable('score');");
    EXPECT_EQ(Text("w"), "12");
    Run("FlashPlayer.updateData(false); w2 = FlashPlayer.getVariable('score'); x = hud.extra;"
        "fresh = FlashPlayer._root.hud.extra === undefined;"
        "clipStays = '' + FlashPlayer.a.b;");
    EXPECT_EQ(Text("w2"), "40");
    EXPECT_EQ(Int("x"), 1);                    // an unbound name lands on the clip's own properties,
    EXPECT_TRUE(Global("fresh").AsBoolean());  // and every read of a clip path makes a new clip
    EXPECT_EQ(Text("clipStays"), "[object MovieClip]");
    std::vector<std::string> writes;
    for (const std::string& line : Records())
        if (line.rfind("SetVariable", 0) == 0) writes.push_back(line);
    std::sort(writes.begin(), writes.end());
    EXPECT_EQ(writes,
              (std::vector<std::string>{"SetVariable(\"_root.hud.lives\", \"two\")",
                                        "SetVariable(\"nothing\", \"undefined\")", "SetVariable(\"score\", \"40\")"}));

    Run("FlashPlayer.unbindAll(); gone = FlashPlayer._root; FlashPlayer.score = 5; kept = FlashPlayer.score;");
    EXPECT_TRUE(Global("gone").Is(Tag::Undefined));
    EXPECT_EQ(Int("kept"), 5);  // now an own property of the value
}

TEST_F(FlashPlayerTest, MovieToWindowNeedsFourArgumentsAndAMovieSize) {
    Drive("");
    Run("a = FlashPlayer.movieToWindow(0, 550, 0, 400);");
    EXPECT_TRUE(Global("a").Is(Tag::Undefined));
    projector_.frame = platform::Size{550, 400};
    projector_.client = platform::Size{1100, 1000};
    Run("r = FlashPlayer.movieToWindow(0, 550.0, '9', 400); t = r.top; b = r.bottom; rr = r.right;"
        "three = FlashPlayer.movieToWindow(0, 550, 0);");
    EXPECT_EQ(Int("t"), 100);  // a String counts as 0
    EXPECT_EQ(Int("b"), 900);
    EXPECT_EQ(Int("rr"), 1100);
    EXPECT_TRUE(Global("three").Is(Tag::Undefined));
}

// A movie of 550 x 400 pixels (11000 x 8000 twips), 24.5 frames a second, 12 frames, version 9.
std::string MovieBytes() {
    std::string movie = "FWS";
    movie += '\x09';
    const std::string body = std::string("\x78\x00\x05\x5F\x00\x00\x0F\xA0\x00", 9) +
                             std::string("\x80\x18\x0C\x00", 4) + std::string("\x43\x02\x10\x20\x30\x00\x00", 7);
    const uint32_t length = static_cast<uint32_t>(8 + body.size());
    for (int i = 0; i < 4; ++i) movie += static_cast<char>((length >> (8 * i)) & 0xFF);
    return movie + body;
}

TEST_F(FlashPlayerTest, GetMovieInfoReadsMovieFilesAndProgramsCarryingOne) {
    const testing::ScratchFolder scratch;
    const std::string movie = MovieBytes();
    (void)scratch.Write("m.swf", testing::Bytes(movie));
    std::string program = "MZ" + std::string(300, '\x01') + movie;
    for (const uint32_t word : {0xFA123456u, static_cast<uint32_t>(movie.size())})
        for (int i = 0; i < 4; ++i) program += static_cast<char>((word >> (8 * i)) & 0xFF);
    (void)scratch.Write("p.exe", testing::Bytes(program));
    (void)scratch.Write("t.txt", testing::Bytes("not a movie at all"));
    Drive("");
    script::GlobalByName(engine_->Interp(), "dir") =
        script::StringValue(engine_->Interp(), std::u16string(scratch.Path().begin(), scratch.Path().end()));
    for (const char* file : {"m.swf", "p.exe"}) {
        Run(std::string("i = FlashPlayer.getMovieInfo(dir + '") + file +
            "'); f = i.frameSize; s = [f.xMin, f.xMax, f.yMin, f.yMax, i.rate, i.frameCount, i.version, "
            "i.size].join();");
        EXPECT_EQ(Text("s"), "0,550,0,400,24,12,9," + std::to_string(movie.size())) << file;
    }
    Run("t = FlashPlayer.getMovieInfo(dir + 't.txt'); n = FlashPlayer.getMovieInfo(dir + 'none.swf');"
        "w = FlashPlayer.getMovieInfo(5);");
    EXPECT_TRUE(Global("t").Is(Tag::Null));
    EXPECT_TRUE(Global("n").Is(Tag::Null));
    EXPECT_TRUE(Global("w").Is(Tag::Null));
}

}  // namespace
}  // namespace velmo::host
