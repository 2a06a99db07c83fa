#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "draw/Helpers.h"
#include "draw/Painter.h"

namespace kelo {
namespace {

constexpr Colour kInk = Rgb(255, 0, 0);
constexpr Colour kFill = Rgb(0, 0, 255);
constexpr double kPi = std::numbers::pi;

// Renders an image as text: '.' background (black), '#' kInk, 'o' kFill, '?' others.
std::vector<std::string> Picture(const Image& image) {
    std::vector<std::string> rows;
    for (int y = 0; y < image.Height(); ++y) {
        std::string row;
        for (int x = 0; x < image.Width(); ++x) {
            const Colour c = image.At(x, y);
            row += c == kBlack ? '.' : c == kInk ? '#' : c == kFill ? 'o' : '?';
        }
        rows.push_back(row);
    }
    return rows;
}

Surface Blank(int width, int height) {
    Surface s(width, height, kBlack, kInk);
    s.fillColour = kFill;
    return s;
}

TEST(PainterLines, PaintStartButNotEndInEveryDirection) {
    Surface s = Blank(6, 6);
    Line(s, 0, 0, 4, 0, kInk);  // right
    Line(s, 5, 5, 5, 1, kInk);  // up
    Line(s, 0, 5, 3, 2, kInk);  // diagonal up-right
    EXPECT_EQ(Picture(s.image), (std::vector<std::string>{
                                    "####..",
                                    "......",
                                    ".....#",
                                    "..#..#",
                                    ".#...#",
                                    "#....#",
                                }));
    Surface empty = Blank(3, 3);
    Line(empty, 1, 1, 1, 1, kInk);
    EXPECT_EQ(Picture(empty.image), (std::vector<std::string>{"...", "...", "..."}));
}

TEST(PainterLines, ShallowAndSteepSlopesStepOncePerMajorPixel) {
    Surface s = Blank(7, 7);
    Line(s, 0, 0, 6, 2, kInk);
    Line(s, 6, 6, 4, 0, kInk);
    EXPECT_EQ(Picture(s.image), (std::vector<std::string>{
                                    "##.....",
                                    "..###..",
                                    ".....#.",
                                    ".....#.",
                                    ".....#.",
                                    "......#",
                                    "......#",
                                }));
}

TEST(PainterLines, ForegroundAndCurrentPositionForms) {
    Surface s = Blank(5, 5);
    Line(s, 0, 0, 4, 0);  // foreground colour kInk
    EXPECT_EQ(s.currentX, 4);
    EXPECT_EQ(s.currentY, 0);
    LineTo(s, 4, 4, kFill);  // continues from (4, 0)
    LineTo(s, 0, 4);         // from (4, 4), foreground again
    EXPECT_EQ(s.currentX, 0);
    EXPECT_EQ(s.currentY, 4);
    EXPECT_EQ(Picture(s.image), (std::vector<std::string>{
                                    "####o",
                                    "....o",
                                    "....o",
                                    "....o",
                                    ".####",
                                }));
}

TEST(PainterLines, FractionalEndsRoundHalfToEven) {
    Surface s = Blank(6, 1);
    Line(s, 0.5, 0, 4.5, 0, kInk);  // 0.5 -> 0 and 4.5 -> 4
    EXPECT_EQ(Picture(s.image)[0], "####..");
}

// A line clipped to a small image must paint exactly the pixels that the same line
// paints inside that window of a large image.
TEST(PainterLines, ClippingMatchesTheUnclippedLine) {
    const int kMargin = 200;
    const int kSize = 20;
    const int ends[][4] = {
        {-1, 5, 401, 5},     {-150, -100, 170, 119}, {25, -190, -10, 170}, {-3, 30, 30, -3},
        {19, 19, -180, -37}, {-200, 7, 210, 12},     {7, -200, 12, 210},   {-100, 119, 119, -100},
        {5, 5, 5, -199},     {0, 19, 19, 0},         {-60, -61, 80, 79},   {150, 3, -150, 17},
    };
    for (const auto& e : ends) {
        Surface small = Blank(kSize, kSize);
        Surface large = Blank(kSize + 2 * kMargin, kSize + 2 * kMargin);
        Line(small, e[0], e[1], e[2], e[3], kInk);
        Line(large, e[0] + kMargin, e[1] + kMargin, e[2] + kMargin, e[3] + kMargin, kInk);
        Image window(kSize, kSize);
        BitBlt(window, 0, 0, kSize, kSize, large.image, kMargin, kMargin, BlitMode::Copy);
        EXPECT_EQ(Picture(small.image), Picture(window)) << e[0] << "," << e[1] << " -> " << e[2] << "," << e[3];
    }
}

TEST(PainterLines, FarOffLinesPaintNothingAndReturnQuickly) {
    Surface s = Blank(4, 4);
    Line(s, -1e9, -5, 1e9, -5, kInk);
    Line(s, -1e8, -1e8 + 10, 1e8, 1e8 + 10, kInk);  // passes beside the image
    Line(s, 1e12, 1e12, -1e12, 3e12, kInk);
    EXPECT_EQ(Picture(s.image), (std::vector<std::string>{"....", "....", "....", "...."}));
    Line(s, -1e9, 2, 1e9, 2, kInk);
    EXPECT_EQ(Picture(s.image)[2], "####");
}

TEST(PainterBoxes, OutlineCoversBothCornersAndFillsInteriorWhileSolid) {
    Surface s = Blank(6, 5);
    Box(s, 4, 3, 0, 0, kInk);  // corners in either order
    EXPECT_EQ(s.currentX, 0);
    EXPECT_EQ(s.currentY, 0);
    EXPECT_EQ(Picture(s.image), (std::vector<std::string>{
                                    "#####.",
                                    "#ooo#.",
                                    "#ooo#.",
                                    "#####.",
                                    "......",
                                }));
    Surface hollow = Blank(5, 4);
    hollow.fillStyle = FillStyle::Transparent;
    Box(hollow, 0, 0, 3, 2, kInk);
    EXPECT_EQ(Picture(hollow.image), (std::vector<std::string>{"####.", "#..#.", "####.", "....."}));
}

TEST(PainterBoxes, FilledBoxIsInclusiveAndClipped) {
    Surface s = Blank(5, 4);
    s.fillStyle = FillStyle::Transparent;  // a filled box ignores the fill style
    FilledBox(s, 1, 1, 3, 2, kInk);
    EXPECT_EQ(Picture(s.image), (std::vector<std::string>{".....", ".###.", ".###.", "....."}));
    FilledBox(s, -1, -1, 401, 301, kFill);
    for (const auto& row : Picture(s.image)) EXPECT_EQ(row, "ooooo");
}

TEST(PainterCircles, FullCircleOutlineAndSolidFill) {
    Surface s = Blank(7, 7);
    Circle(s, 3, 3, 3, kInk);
    EXPECT_EQ(Picture(s.image), (std::vector<std::string>{
                                    "..###..",
                                    ".#ooo#.",
                                    "#ooooo#",
                                    "#ooooo#",
                                    "#ooooo#",
                                    ".#ooo#.",
                                    "..###..",
                                }));
    Surface hollow = Blank(7, 7);
    hollow.fillStyle = FillStyle::Transparent;
    Circle(hollow, 3, 3, 3, kInk);
    EXPECT_EQ(Picture(hollow.image)[3], "#.....#");
}

TEST(PainterCircles, LargeFractionalRadiusStaysInsideItsBoundsAndIsSymmetric) {
    Surface s = Blank(161, 161);
    Circle(s, 80, 80, 76.8, kInk);
    int left = 161, right = -1, top = 161, bottom = -1;
    for (int y = 0; y < 161; ++y) {
        for (int x = 0; x < 161; ++x) {
            const Colour c = s.image.At(x, y);
            EXPECT_EQ(c, s.image.At(160 - x, y));
            EXPECT_EQ(c, s.image.At(y, x));
            if (c == kBlack) continue;
            left = std::min(left, x), right = std::max(right, x);
            top = std::min(top, y), bottom = std::max(bottom, y);
            const double d = std::hypot(x - 80, y - 80);
            if (c == kFill) {
                EXPECT_LT(d, 76.8);
            } else {
                EXPECT_NEAR(d, 76.8, 1.0);
            }
        }
    }
    EXPECT_EQ(left, 80 - 77);
    EXPECT_EQ(right, 80 + 77);
    EXPECT_EQ(top, 80 - 77);
    EXPECT_EQ(bottom, 80 + 77);
    EXPECT_EQ(s.image.At(80, 80), kFill);
}

TEST(PainterCircles, ClippedFarOff) {
    Surface s = Blank(10, 10);
    Circle(s, -100, 5, 50, kInk);
    Circle(s, 5, 5, 100, kInk);  // the ring lies wholly outside, the fill covers all
    for (const auto& row : Picture(s.image)) EXPECT_EQ(row, "oooooooooo");
}

TEST(PainterArcs, ArcWithoutRadiiStaysInItsQuadrant) {
    Surface s = Blank(9, 9);
    Arc(s, 4, 4, 4, kInk, 0, kPi / 2);  // three o'clock to twelve, counter-clockwise on screen
    EXPECT_EQ(Picture(s.image), (std::vector<std::string>{
                                    "....##...",
                                    "......##.",
                                    ".......#.",
                                    "........#",
                                    "........#",
                                    ".........",
                                    ".........",
                                    ".........",
                                    ".........",
                                }));
}

TEST(PainterArcs, BothRadiiCloseAndFillTheSector) {
    Surface s = Blank(9, 9);
    Arc(s, 4, 4, 4, kInk, -kPi, -3 * kPi / 2);  // nine o'clock to six: lower left quarter
    EXPECT_EQ(Picture(s.image), (std::vector<std::string>{
                                    ".........",
                                    ".........",
                                    ".........",
                                    ".........",
                                    "#####....",
                                    "#ooo#....",
                                    ".#oo#....",
                                    ".##o#....",
                                    "...##....",
                                }));
}

TEST(PainterArcs, OneRadiusOrTransparentFillLeavesTheInteriorAlone) {
    Surface one = Blank(9, 9);
    Arc(one, 4, 4, 4, kInk, -kPi, 3 * kPi / 2);
    EXPECT_EQ(Picture(one.image)[4], "#####....");
    EXPECT_EQ(Picture(one.image)[6], ".#.......");
    Surface hollow = Blank(9, 9);
    hollow.fillStyle = FillStyle::Transparent;
    Arc(hollow, 4, 4, 4, kInk, -kPi, -3 * kPi / 2);
    EXPECT_EQ(Picture(hollow.image)[6], ".#..#....");
}

TEST(PainterArcs, SweepWrapsPastThreeOClockAndNegativeZeroCountsAsRadius) {
    Surface s = Blank(9, 9);
    s.fillStyle = FillStyle::Transparent;
    Arc(s, 4, 4, 4, kInk, -7 * kPi / 4, -0.0);  // 315 degrees round to 360
    EXPECT_EQ(Picture(s.image), (std::vector<std::string>{
                                    ".........",
                                    ".........",
                                    ".........",
                                    ".........",
                                    "....#####",
                                    ".....#..#",
                                    "......##.",
                                    ".......#.",
                                    ".........",
                                }));
}

TEST(PainterArcs, SweepBeyondHalfATurnLeavesOnlyTheGapOpen) {
    Surface s = Blank(9, 9);
    s.fillStyle = FillStyle::Transparent;
    Arc(s, 4, 4, 4, kInk, -7 * kPi / 4, -5 * kPi / 4);  // 315 degrees round over the top to 225
    EXPECT_EQ(Picture(s.image), (std::vector<std::string>{
                                    "...###...",
                                    ".##...##.",
                                    ".#.....#.",
                                    "#.......#",
                                    "#...#...#",
                                    "#..#.#..#",
                                    ".##...##.",
                                    ".#.....#.",
                                    ".........",
                                }));
}

TEST(PainterPixels, SetPixelClipsSilently) {
    Surface s = Blank(2, 2);
    SetPixelV(s, -1, 0, kInk);
    SetPixelV(s, 2, 1, kInk);
    SetPixelV(s, 1, 1, kInk);
    EXPECT_EQ(Picture(s.image), (std::vector<std::string>{"..", ".#"}));
}

TEST(PainterBlocks, CopyOrAndCombinePackedValues) {
    Image src(2, 1), dest(2, 1);
    src.At(0, 0) = 0x00F0F0;
    src.At(1, 0) = 0x0F0F00;
    for (auto [mode, first, second] :
         {std::tuple{BlitMode::Copy, 0x00F0F0u, 0x0F0F00u}, std::tuple{BlitMode::Or, 0x33F3F3u, 0x3F3F33u},
          std::tuple{BlitMode::And, 0x003030u, 0x030300u}}) {
        dest.At(0, 0) = 0x333333;
        dest.At(1, 0) = 0x333333;
        BitBlt(dest, 0, 0, 2, 1, src, 0, 0, mode);
        EXPECT_EQ(dest.At(0, 0), first);
        EXPECT_EQ(dest.At(1, 0), second);
    }
}

TEST(PainterBlocks, ClipsAgainstBothImages) {
    Image src(3, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x) src.At(x, y) = static_cast<Colour>(10 * y + x + 1);
    Image dest(3, 3, 0xFFFFFF);
    // A 700-wide copy from a 3-wide source, shifted up-left: only the overlap lands.
    BitBlt(dest, -1, 1, 700, 300, src, 0, 0, BlitMode::Copy);
    EXPECT_EQ(dest.At(0, 0), 0xFFFFFFu);
    EXPECT_EQ(dest.At(0, 1), 2u);
    EXPECT_EQ(dest.At(1, 1), 3u);
    EXPECT_EQ(dest.At(2, 1), 0xFFFFFFu);
    EXPECT_EQ(dest.At(0, 2), 12u);
    // Source rectangle starting left of the source image.
    Image other(3, 1, 0);
    BitBlt(other, 0, 0, 3, 1, src, -2, 0, BlitMode::Or);
    EXPECT_EQ(other.At(0, 0), 0u);
    EXPECT_EQ(other.At(1, 0), 0u);
    EXPECT_EQ(other.At(2, 0), 1u);
}

TEST(PainterBlocks, OverlappingCopyWithinOneImage) {
    Image image(5, 1);
    for (int x = 0; x < 5; ++x) image.At(x, 0) = static_cast<Colour>(x + 1);
    BitBlt(image, 1, 0, 4, 1, image, 0, 0, BlitMode::Copy);
    EXPECT_EQ(image.Pixels(), (std::vector<Colour>{1, 1, 2, 3, 4}));
}

TEST(PainterBlocks, FillRectHalfOpenAndClipped) {
    Image image(4, 3);
    FillRect(image, -2, 1, 4, 50, kInk);
    EXPECT_EQ(Picture(image), (std::vector<std::string>{"....", "##..", "##.."}));
}

// Coverage stub: a 3 x 2 mask with full, half and no coverage.
class StubText : public TextRenderer {
public:
    const TextMask& Render(std::string_view utf8, int pointSize) override {
        lastText = std::string(utf8);
        lastSize = pointSize;
        return mask;
    }
    TextMask mask{3, 2, {255, 128, 0, 0, 255, 255}};
    std::string lastText;
    int lastSize = 0;
};

TEST(PainterText, BlendsCoverageInForegroundColourAtCurrentPosition) {
    Surface s(4, 3, Rgb(0, 0, 200), Rgb(255, 255, 0));
    s.fontSize = 16;
    s.currentX = 1;
    s.currentY = 1;
    StubText text;
    Print(s, text, "Ab");
    EXPECT_EQ(text.lastText, "Ab");
    EXPECT_EQ(text.lastSize, 16);
    EXPECT_EQ(s.image.At(1, 1), Rgb(255, 255, 0));
    EXPECT_EQ(s.image.At(2, 1), Rgb(128, 128, 100));  // half over (0, 0, 200)
    EXPECT_EQ(s.image.At(3, 1), Rgb(0, 0, 200));      // no coverage: untouched
    EXPECT_EQ(s.image.At(1, 2), Rgb(0, 0, 200));
    EXPECT_EQ(s.image.At(2, 2), Rgb(255, 255, 0));
    EXPECT_EQ(s.image.At(0, 0), Rgb(0, 0, 200));
}

TEST(PainterText, ClipsAtEveryEdge) {
    StubText text;
    for (auto [x, y] : {std::pair{-2, -1}, std::pair{3, 2}, std::pair{-50, 50}}) {
        Surface s(4, 3, kBlack, kInk);
        s.currentX = x;
        s.currentY = y;
        Print(s, text, "x");
        int painted = 0;
        for (Colour c : s.image.Pixels()) painted += c != kBlack;
        EXPECT_EQ(painted, (x == -2 || x == 3) ? 1 : 0) << x << "," << y;
    }
}

// Coverage wider than a word, with ink on both sides of every 8-pixel boundary and
// empty stretches between, drawn whole and shifted partly off the left edge.
TEST(PainterText, WideMasksBlendEveryCoveredPixelWhereverTheyStart) {
    struct WideText : TextRenderer {
        TextMask mask{21, 2, std::vector<uint8_t>(42, 0)};
        const TextMask& Render(std::string_view, int) override { return mask; }
    } text;
    for (int x : {0, 7, 8, 15, 16, 20}) text.mask.alpha[x] = 255;
    for (int x : {6, 9, 17}) text.mask.alpha[21 + x] = 128;
    const Colour paper = Rgb(0, 0, 200), ink = Rgb(255, 255, 0), half = Rgb(128, 128, 100);
    for (int left : {0, -3, -9}) {
        Surface s(24, 3, paper, ink);
        s.currentX = left;
        s.currentY = 1;
        Print(s, text, "wide");
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < 24; ++x) {
                const int mx = x - left, my = y - 1;
                const int alpha = (my >= 0 && my < 2 && mx < 21) ? text.mask.alpha[my * 21 + mx] : 0;
                const Colour want = alpha == 255 ? ink : alpha == 128 ? half : paper;
                EXPECT_EQ(s.image.At(x, y), want) << "left " << left << " at " << x << "," << y;
            }
        }
    }
}

// A mask with its spans found prints exactly as one without, clipped at every edge.
TEST(PainterText, SpansPrintLikeTheWholeCell) {
    struct Fixed : TextRenderer {
        TextMask mask;
        const TextMask& Render(std::string_view, int) override { return mask; }
    } plain, indexed;
    plain.mask.width = 13, plain.mask.height = 4;
    for (int i = 0; i < 52; ++i) plain.mask.alpha.push_back(static_cast<uint8_t>(i % 5 == 0 ? 0 : (i * 37) % 256));
    indexed.mask = plain.mask;
    FindCoverageSpans(indexed.mask);
    ASSERT_FALSE(indexed.mask.spans.empty());
    for (auto [x, y] : {std::pair{0, 0}, std::pair{-5, -2}, std::pair{4, 3}, std::pair{9, -1}, std::pair{-20, 0}}) {
        Surface a(16, 6, Rgb(20, 30, 40), Rgb(250, 10, 120)), b = a;
        a.currentX = b.currentX = x;
        a.currentY = b.currentY = y;
        Print(a, plain, "t");
        Print(b, indexed, "t");
        EXPECT_EQ(a.image.Pixels(), b.image.Pixels()) << x << "," << y;
    }

    TextMask wide;  // wider than a span's 16 bits can say: printed from the whole cell
    wide.width = 40000, wide.height = 1;
    wide.alpha.assign(40000, 200);
    FindCoverageSpans(wide);
    EXPECT_FALSE(wide.spansFound);
    EXPECT_TRUE(wide.spans.empty());
}

// Every coverage value over papers and inks that reach both ends of each channel: the
// blend rounds (ink * alpha + paper * (255 - alpha) + 127) / 255 down, channel by channel,
// both from the whole cell and from spans (blended several pixels at a time, so the
// ramp starts at each offset within such a step).
TEST(PainterText, BlendRoundsEveryCoverageExactly) {
    struct Ramp : TextRenderer {
        TextMask mask{256, 1, std::vector<uint8_t>(256)};
        const TextMask& Render(std::string_view, int) override { return mask; }
    } text;
    for (int alpha = 0; alpha < 256; ++alpha) text.mask.alpha[alpha] = static_cast<uint8_t>(alpha);
    Ramp spanned = text;
    FindCoverageSpans(spanned.mask);
    ASSERT_TRUE(spanned.mask.spansFound);
    const Colour colours[] = {Rgb(0, 0, 0), Rgb(255, 255, 255), Rgb(255, 0, 128), Rgb(1, 254, 77), Rgb(90, 200, 3)};
    for (Colour paper : colours) {
        for (Colour ink : colours) {
            for (auto [ramp, left] : {std::pair{&text, 0}, std::pair{&spanned, 0}, std::pair{&spanned, 1},
                                      std::pair{&spanned, 2}, std::pair{&spanned, 3}}) {
                Surface s(259, 1, paper, ink);
                s.currentX = left;
                Print(s, *ramp, "ramp");
                for (int alpha = 0; alpha < 256; ++alpha) {
                    auto mix = [alpha](int under, int over) {
                        return (over * alpha + under * (255 - alpha) + 127) / 255;
                    };
                    const Colour want = Rgb(mix(RedOf(paper), RedOf(ink)), mix(GreenOf(paper), GreenOf(ink)),
                                            mix(BlueOf(paper), BlueOf(ink)));
                    ASSERT_EQ(s.image.At(left + alpha, 0), want)
                        << "alpha " << alpha << " paper " << paper << " ink " << ink << " at " << left;
                }
            }
        }
    }
}

}  // namespace
// Copies printed together give the pixels of one Print per copy, in order: for bold and
// shadow patterns whose opaque pixels hide earlier copies, in black and in colour, with a
// pattern met again (its plan reused), another pattern on the same mask, and copies
// partly outside the image.
TEST(PainterText, CopiesPrintLikeOnePrintEach) {
    struct Fixed : TextRenderer {
        TextMask mask;
        const TextMask& Render(std::string_view, int) override { return mask; }
    } text;
    text.mask.width = 9, text.mask.height = 5;
    for (int i = 0; i < 45; ++i) text.mask.alpha.push_back(static_cast<uint8_t>(i % 4 == 0 ? 255 : (i * 53) % 256));
    FindCoverageSpans(text.mask);
    const Colour ink = Rgb(250, 10, 120), yellow = Rgb(255, 255, 0);
    const std::vector<std::vector<TextCopy>> patterns = {
        {{3, 4, kBlack}, {8, 4, kBlack}, {6, 4, ink}, {5, 4, ink}},
        {{3, 4, kBlack}, {8, 4, kBlack}, {6, 4, ink}, {5, 4, ink}},
        {{2, 3, kBlack}, {2, 2, kBlack}, {5, 2, kBlack}, {5, 3, kBlack}, {3, 2, yellow}, {4, 2, yellow}},
        {{6, 5, kWhite}, {7, 5, kWhite}},
        {{-2, 4, kBlack}, {3, 4, ink}},
        {{10, 9, ink}, {11, 8, kBlack}},
    };
    for (size_t i = 0; i < patterns.size(); ++i) {
        Surface together(18, 12, kBlack, kWhite), apart = together;
        for (int p = 0; p < 18 * 12; ++p) together.image.At(p % 18, p / 18) = Rgb(p * 7 % 256, p * 13 % 256, p % 256);
        apart.image = together.image;
        PrintCopies(together, text, "t", patterns[i]);
        for (const TextCopy& c : patterns[i]) PrintText(apart, text, "t", c.x, c.y, c.colour, 12);
        EXPECT_EQ(together.image.Pixels(), apart.image.Pixels()) << "pattern " << i;
        EXPECT_EQ(together.currentX, apart.currentX);
        EXPECT_EQ(together.foreColour, apart.foreColour);
    }
}

}  // namespace kelo
