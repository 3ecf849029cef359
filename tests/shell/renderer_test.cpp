// The transparent window: opacity from the two renderings, the region of what is not fully
// transparent, and the renderer at work in a frame over the in-memory desktop with a stand-in
// movie that paints one rectangle.
#include "shell/renderer.h"

#include <gtest/gtest.h>

#include "platform/common/model_desktop.h"
#include "platform/common/movie_geometry.h"
#include "platform/standin/standin_movie_control.h"
#include "shell/main_frame.h"
#include "shell/transparency.h"
#include "tests/support/scratch.h"

namespace velmo::shell {
namespace {

using platform::PixelImage;
using platform::Rect;
using platform::Region;

PixelImage Image(int width, int height, uint32_t fill) {
    PixelImage image;
    image.Resize({width, height});
    std::fill(image.pixels.begin(), image.pixels.end(), fill);
    return image;
}

TEST(Transparency, OpacityComesFromTheDifferenceOnBlackAndWhite) {
    PixelImage black = Image(4, 1, 0x000000), white = Image(4, 1, 0xFFFFFF);
    black.At(1, 0) = white.At(1, 0) = 0x336699;  // opaque: the same on both
    black.At(2, 0) = 0x404040;                   // partly opaque grey: 64 on black, 128 on white
    white.At(2, 0) = 0x808080;
    black.At(3, 0) = 0x000090;  // lighter on black than on white: wraps
    white.At(3, 0) = 0x000010;
    ComputeAlpha(black, white, {0, 0, 4, 1});
    EXPECT_EQ(black.At(0, 0) >> 24, 0u);              // empty: fully transparent
    EXPECT_EQ(black.At(1, 0) >> 24, 255u);            // opaque
    EXPECT_EQ(black.At(2, 0) >> 24, 191u);            // 255 + 64 - 128
    EXPECT_EQ(black.At(3, 0) >> 24, 128u);            // 255 + 144 - 16 - 255
    EXPECT_EQ(black.At(1, 0) & 0xFFFFFF, 0x336699u);  // colour kept

    PixelImage outside = Image(2, 2, 0x000000);
    ComputeAlpha(outside, Image(2, 2, 0xFFFFFF), {1, 1, 5, 5});  // clipped to the image
    EXPECT_EQ(outside.At(0, 0) >> 24, 0u);
    EXPECT_EQ(outside.At(1, 1) >> 24, 0u);
}

TEST(Transparency, TheRegionHoldsEveryRunOfPixelsThatShowSomething) {
    PixelImage black = Image(6, 2, 0x000000), white = Image(6, 2, 0xFFFFFF);
    EXPECT_TRUE(OpaqueRegion(black, white).empty());  // a movie that draws nothing
    for (const int x : {1, 2, 4}) black.At(x, 0) = white.At(x, 0) = 0x123456;
    white.At(5, 1) = 0xFEFFFF;  // faint on white only: not fully transparent
    EXPECT_EQ(OpaqueRegion(black, white), (Region{{1, 0, 2, 1}, {4, 0, 1, 1}, {5, 1, 1, 1}}));
}

class RendererTest : public ::testing::Test {
protected:
    void Start(bool regionOnly) {
        const platform::StandinScriptResult parsed = platform::ParseStandinMovieScript("paint 10 20 30 5 FF0000\n");
        ASSERT_TRUE(parsed.script) << parsed.error;
        frame_ = std::make_unique<MainFrame>(desktop_, platform::StandinControlFactory(*parsed.script));
        frame_->SetRegionOnlyTransparency(regionOnly);
        ASSERT_TRUE(frame_->Create("resource 128"));
        Appearance a;
        a.borderStyle = kBorderNone;
        a.windowShape = kShapeTransparent;
        frame_->ApplyAppearance(a);
        SizeAndPosition s;
        s.sizeMode = kSizeCustom;
        s.width = 100;
        s.height = 50;
        frame_->ApplySizeAndPosition(s);
        frame_->ApplyWindowShape(a, {});
    }
    platform::ModelDesktop desktop_{{1024, 768}};
    std::unique_ptr<MainFrame> frame_;
};

TEST_F(RendererTest, ALayeredWindowShowsOnlyWhatTheMoviePainted) {
    Start(false);
    ASSERT_NE(frame_->GetRenderer(), nullptr);
    EXPECT_EQ(frame_->GetRenderer()->GetMode(), Renderer::Mode::Layered);
    EXPECT_EQ(frame_->Applied().back(), "transparent: layered");
    EXPECT_TRUE(frame_->Window()->ExtendedStyle() & 0x80000);
    const PixelImage& shown = frame_->GetRenderer()->Surface();
    EXPECT_EQ(shown.At(10, 20), 0xFFFF0000u);  // the red rectangle, opaque
    EXPECT_EQ(shown.At(39, 24), 0xFFFF0000u);
    EXPECT_EQ(shown.At(40, 24) >> 24, 0u);  // beside it: the desktop shows through
    EXPECT_EQ(shown.At(0, 0) >> 24, 0u);

    // Back to a rectangle: the renderer goes and the window paints itself again.
    Appearance plain;
    frame_->ApplyWindowShape(plain, {});
    EXPECT_EQ(frame_->GetRenderer(), nullptr);
    EXPECT_FALSE(frame_->Window()->ExtendedStyle() & 0x80000);
}

TEST_F(RendererTest, WithoutLayeringTheWindowIsCutToThePaintedPixels) {
    Start(true);
    EXPECT_EQ(frame_->GetRenderer()->GetMode(), Renderer::Mode::Region);
    const std::optional<Region> region = frame_->Window()->GetRegion();
    ASSERT_TRUE(region);
    ASSERT_EQ(region->size(), 5u);  // one run per row of the rectangle
    EXPECT_EQ(region->front(), (Rect{10, 20, 30, 1}));
    EXPECT_EQ(frame_->Applied().back(), "transparent: region of 5 rectangle(s)");
}

TEST(MovieGeometry, MovieRectanglesLandWhereTheScaleModePutsTheMovie) {
    using platform::MovieToWindow;
    const platform::MovieRect whole{0, 550, 0, 400};
    EXPECT_EQ(MovieToWindow(whole, {550, 400}, {1100, 1000}, 0), (Rect{0, 100, 1100, 800}));            // show all
    EXPECT_EQ(MovieToWindow(whole, {550, 400}, {1100, 1000}, 1), (Rect{-137, 0, 1375, 1000}));          // no border
    EXPECT_EQ(MovieToWindow(whole, {550, 400}, {1100, 1000}, 2), (Rect{0, 0, 1100, 1000}));             // exact fit
    EXPECT_EQ(MovieToWindow({10, 20, 30, 40}, {550, 400}, {1100, 1000}, 3), (Rect{285, 330, 10, 10}));  // no scale
    EXPECT_FALSE(MovieToWindow(whole, {0, 400}, {1100, 1000}, 0));
    EXPECT_EQ(MovieToWindow({0, 1e300, 0, 1.0 / 0.0}, {550, 400}, {1100, 1000}, 2)->left, 0);  // held, not UB
}

TEST(RendererSprite, ALayeredWindowShrinksToTheSpriteTheMoviePublishes) {
    // A 550 x 400 movie shown unscaled in a 550 x 400 popup at the top left corner of the screen.
    testing::ScratchFolder scratch;
    const std::vector<uint8_t> movie = {'F',  'W',  'S',  9,    0,    0,    0,    0,    0x78, 0x00, 0x05,
                                        0x5F, 0x00, 0x00, 0x0F, 0xA0, 0x00, 0x00, 0x18, 0x01, 0x00};
    const platform::StandinScriptResult parsed = platform::ParseStandinMovieScript(
        "variable toy.xMin 100\nvariable toy.xMax 150\nvariable toy.yMin 20.5\nvariable toy.yMax 60\n"
        "paint 100 20 50 40 00FF00\n");
    ASSERT_TRUE(parsed.script) << parsed.error;
    platform::StandinMovieControl* standin = nullptr;
    platform::ModelDesktop desktop{{1024, 768}};
    MainFrame frame(desktop,
                    [&](platform::FrameWindow&, const std::string&) -> std::unique_ptr<platform::MovieControl> {
                        auto control = std::make_unique<platform::StandinMovieControl>(*parsed.script);
                        standin = control.get();
                        return control;
                    });
    ASSERT_TRUE(frame.Create("resource 128"));
    frame.LoadMovie(scratch.Write("toy.swf", movie), true);
    Appearance a;
    a.borderStyle = kBorderNone;
    a.windowShape = kShapeTransparent;
    a.scaleMode = 0x10;  // no scale
    frame.ApplyAppearance(a);
    SizeAndPosition s;
    s.sizeMode = kSizeCustom;
    s.width = 550;
    s.height = 400;
    s.position = kPositionTopLeft;
    frame.ApplySizeAndPosition(s);
    frame.ApplyWindowShape(a, {});
    EXPECT_EQ(frame.Window()->WindowRect(), (Rect{0, 0, 550, 400}));

    frame.SetSprite(SpriteSource{u"update", u"toy"});
    EXPECT_EQ(frame.Window()->WindowRect(), (Rect{100, 20, 50, 40}));
    const std::vector<std::string>& records = standin->Recorded();
    EXPECT_NE(std::find(records.begin(), records.end(), "CallFrame(\"_root\", \"update\")"), records.end());
    const PixelImage& shown = frame.GetRenderer()->Surface();
    EXPECT_EQ(shown.At(100, 20), 0xFF00FF00u);  // the sprite's pixels are opaque

    // The control window's message switches the mode: off, the window gets back the place it had
    // before the sprite shrank it, and loses the layering; a second "off" changes nothing.
    platform::FrameWindowEvents& window = *desktop.Events();
    window.OnTransparentModeMessage(false);
    EXPECT_EQ(frame.GetRenderer(), nullptr);
    EXPECT_EQ(frame.Window()->WindowRect(), (Rect{0, 0, 550, 400}));
    EXPECT_EQ(frame.Applied().back(), "transparent off: window back at 0,0 550x400");
    EXPECT_FALSE(frame.Window()->ExtendedStyle() & 0x80000);
    const size_t applied = frame.Applied().size();
    window.OnTransparentModeMessage(false);
    EXPECT_EQ(frame.Applied().size(), applied);
    window.OnTransparentModeMessage(true);
    ASSERT_NE(frame.GetRenderer(), nullptr);
    EXPECT_EQ(frame.Applied().back(), "transparent: layered");
}

}  // namespace
}  // namespace velmo::shell
