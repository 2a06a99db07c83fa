#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "app/Game.h"
#include "draw/Helpers.h"
#include "draw/StarField.h"
#include "platform/NullPlatform.h"
#include "screens/FrontEndDrawing.h"

namespace kelo {
namespace {

constexpr Colour kPaper = Rgb(1, 2, 3);

// Records what is printed: every glyph cell is a 2 x 1 block of full coverage.
class RecordingText : public TextRenderer {
public:
    const TextMask& Render(std::string_view utf8, int pointSize) override {
        printed += std::string(utf8) + "@" + std::to_string(pointSize) + ";";
        return mask_;
    }
    std::string printed;

private:
    TextMask mask_{2, 1, {255, 255}};
};

class DrawHelpers : public ::testing::Test {
protected:
    DrawHelpers() : platform(text), game(platform) { game.PicBack = Surface(400, 300, kPaper, kBlack); }

    RecordingText text;
    NullPlatform platform;
    Game game;
};

TEST_F(DrawHelpers, WipeCoversEvenRowsFromTheLeftAndOddRowsFromTheRight) {
    DrawWipe(game, 200);
    const Image& image = game.PicBack.image;
    for (int y = 0; y < 300; ++y) {
        for (int x = 0; x < 400; ++x) {
            const bool covered = (y % 2 == 0) ? x < 200 : x >= 200;
            ASSERT_EQ(image.At(x, y), covered ? kBlack : kPaper) << x << "," << y;
        }
    }
}

TEST_F(DrawHelpers, WipeExtremes) {
    DrawWipe(game, 0);
    for (Colour c : game.PicBack.image.Pixels()) ASSERT_EQ(c, kPaper);
    DrawWipe(game, 20);
    EXPECT_EQ(game.PicBack.image.At(19, 0), kBlack);
    EXPECT_EQ(game.PicBack.image.At(20, 0), kPaper);
    EXPECT_EQ(game.PicBack.image.At(379, 1), kPaper);
    EXPECT_EQ(game.PicBack.image.At(380, 1), kBlack);
    EXPECT_EQ(game.PicBack.image.At(380, 299), kBlack);
    DrawWipe(game, 400);
    for (Colour c : game.PicBack.image.Pixels()) ASSERT_EQ(c, kBlack);
}

TEST_F(DrawHelpers, PrintTextSetsPositionColourAndSizeOnTheBackBuffer) {
    PrintText(game, "GO!", 10, 20, Rgb(255, 255, 0), 48);
    EXPECT_EQ(text.printed, "GO!@48;");
    EXPECT_EQ(game.PicBack.image.At(10, 20), Rgb(255, 255, 0));
    EXPECT_EQ(game.PicBack.image.At(11, 20), Rgb(255, 255, 0));
    EXPECT_EQ(game.PicBack.image.At(12, 20), kPaper);
    EXPECT_EQ(game.PicBack.image.At(10, 21), kPaper);
    // The text colour stays as the foreground colour for later lines.
    Line(game.PicBack, 0, 100, 3, 100);
    EXPECT_EQ(game.PicBack.image.At(2, 100), Rgb(255, 255, 0));
}

TEST(GlyphOffset, ExactCaseSensitiveTable) {
    for (const char* letter : {"I", ",", "."}) EXPECT_EQ(GlyphOffset(letter), 10) << letter;
    EXPECT_EQ(GlyphOffset("W"), -5);
    for (const char* letter : {"M", "O", "Q"}) EXPECT_EQ(GlyphOffset(letter), -4) << letter;
    for (const char* letter : {"C", "N", "R", "A", "G", "H"}) EXPECT_EQ(GlyphOffset(letter), -3) << letter;
    for (const char* letter : {"S", "Y", "V", "D", "T"}) EXPECT_EQ(GlyphOffset(letter), -2) << letter;
    for (const char* letter : {"g", "J", "F", "i", "w", "II", "", " "}) EXPECT_EQ(GlyphOffset(letter), 0) << letter;
}

TEST(MinMaxSingle, TiesReturnTheFirstArgument) {
    EXPECT_EQ(MaxSingle(3, 3), 3);
    EXPECT_EQ(MinSingle(3, 3), 3);
    // +0 and -0 compare equal but can be told apart by their sign.
    EXPECT_FALSE(std::signbit(MaxSingle(0.0f, -0.0f)));
    EXPECT_TRUE(std::signbit(MaxSingle(-0.0f, 0.0f)));
    EXPECT_FALSE(std::signbit(MinSingle(0.0f, -0.0f)));
    EXPECT_TRUE(std::signbit(MinSingle(-0.0f, 0.0f)));
    EXPECT_EQ(MaxSingle(2.5f, -7), 2.5f);
    EXPECT_EQ(MinSingle(2.5f, -7), -7);
}

TEST(ColourChannels, ChannelsAboveFullCountAsFull) {
    EXPECT_EQ(Rgb(140 + 220, 10, 0), Rgb(255, 10, 0));
    EXPECT_EQ(Rgb(1, 2, 3), 1u + 256u * 2u + 65536u * 3u);
}

class StarFieldTest : public DrawHelpers {
protected:
    StarFieldTest() {
        // A bigger back buffer makes the rows just outside 0..299 observable.
        game.PicBack = Surface(400, 303, kPaper, kBlack);
        for (Star& star : game.state.stars) star = Star{0, 1e6f, 0};  // far below: skipped
        game.state.backColour = {140, 10, 0};
        game.state.starTint = {1.0f, 0.5f, 0.25f};
    }

    Colour At(int x, int y) const { return game.PicBack.image.At(x, y); }
};

TEST_F(StarFieldTest, ProjectionDividesByDepthTowardZero) {
    const GameState& s = game.state;
    ProjectedStar p = ProjectStar(Star{1000, -1000, 30000}, StarPaletteOf(s));  // depth 30000 \ 160 + 1 = 188
    EXPECT_EQ(p.sx, 155);
    EXPECT_EQ(p.sy, 145);  // -5.3 truncates to -5
    EXPECT_TRUE(p.near);
    EXPECT_FALSE(ProjectStar(Star{0, 0, 30001}, StarPaletteOf(s)).near);
    EXPECT_TRUE(ProjectStar(Star{0, 0, -5}, StarPaletteOf(s)).near);
    p = ProjectStar(Star{2.5f, -3.5f, -900}, StarPaletteOf(s));  // depth 1; halves round to even
    EXPECT_EQ(p.sx, 152);
    EXPECT_EQ(p.sy, 146);
    p = ProjectStar(Star{1e7f, 79851, 159}, StarPaletteOf(s));
    EXPECT_EQ(p.sx, 80000);
    EXPECT_EQ(p.sy, 80000);
    // A replayed run may start with a star beyond the 32-bit range (the sanitizer build
    // would stop on an overflow here).
    const float inf = std::numeric_limits<float>::infinity();
    p = ProjectStar(Star{3e9f, -inf, 0}, StarPaletteOf(s));
    EXPECT_EQ(p.sx, 80000);
    EXPECT_EQ(p.sy, -80000);
}

TEST_F(StarFieldTest, ColourIsBrightnessTimesTintPlusBackCappedAtFull) {
    const GameState& s = game.state;
    // Brightness 250 - 30000 \ 320 = 157: red 297 -> 255, green 88.5 -> 88, blue 39.25 -> 39.
    EXPECT_EQ(ProjectStar(Star{0, 0, 30000}, StarPaletteOf(s)).colour, Rgb(255, 88, 39));
    // Brightness 250 - 79999 \ 320 = 1: green 10.5 -> 10, blue 0.25 -> 0.
    EXPECT_EQ(ProjectStar(Star{0, 0, 79999}, StarPaletteOf(s)).colour, Rgb(141, 10, 0));
    // Brightness 250 - 1119 \ 320 = 247: green 133.5 -> 134, blue 61.75 -> 62.
    EXPECT_EQ(ProjectStar(Star{0, 0, 1119}, StarPaletteOf(s)).colour, Rgb(255, 134, 62));
    // Behind the viewer the brightness rises and stops at 255.
    game.state.backColour = {0, 0, 0};
    game.state.starTint = {1.0f, 1.0f, 0.0f};
    EXPECT_EQ(ProjectStar(Star{0, 0, -640}, StarPaletteOf(s)).colour, Rgb(252, 252, 0));
    EXPECT_EQ(ProjectStar(Star{0, 0, -1000000}, StarPaletteOf(s)).colour, Rgb(255, 255, 0));
}

// One set of colours serves a whole frame: every depth, in and out of the remembered
// brightnesses, gets the colour its own projection gives.
TEST_F(StarFieldTest, SharedColoursMatchEachStarsOwn) {
    const StarPalette palette = StarPaletteOf(game.state);
    StarColours shared(palette);
    for (int32_t z = 90000; z >= -2000; z -= 97) {
        const Star star{0, 0, z};
        EXPECT_EQ(ProjectStar(star, shared).colour, ProjectStar(star, palette).colour) << z;
    }
}

TEST_F(StarFieldTest, NearStarsAreTwoByTwoAndFarStarsSinglePixels) {
    game.state.stars[0] = Star{-150 * 188, 0, 30000};  // (0, 150), near
    game.state.stars[1] = Star{50 * 188, 0, 30001};    // (200, 150), far (same depth)
    DrawStarField(game);
    const Colour nearColour = Rgb(255, 88, 39);
    EXPECT_EQ(At(0, 150), nearColour);
    EXPECT_EQ(At(1, 150), nearColour);
    EXPECT_EQ(At(0, 151), nearColour);
    EXPECT_EQ(At(1, 151), nearColour);
    EXPECT_EQ(At(2, 150), kPaper);
    EXPECT_EQ(At(200, 150), ProjectStar(game.state.stars[1], StarPaletteOf(game.state)).colour);
    EXPECT_EQ(At(201, 150), kPaper);
    EXPECT_EQ(At(200, 151), kPaper);
    int changed = 0;
    for (Colour c : game.PicBack.image.Pixels()) changed += c != kPaper;
    EXPECT_EQ(changed, 5);
}

TEST_F(StarFieldTest, OnlyRowsZeroToThreeHundredAreDrawnWhereverTheColumn) {
    const int rows[] = {0, 300, -1, 301};
    for (int i = 0; i < 4; ++i) {
        // Depth 40000 \ 160 + 1 = 251 divides both offsets.
        game.state.stars[i] = Star{static_cast<float>(10 * i * 251), static_cast<float>((rows[i] - 150) * 251), 40000};
    }
    game.state.stars[4] = Star{-500, 100, 0};  // sx = -350: in range vertically, off to the side
    DrawStarField(game);
    EXPECT_NE(At(150, 0), kPaper);
    EXPECT_NE(At(160, 300), kPaper);
    for (int x = 0; x < 400; ++x) {
        EXPECT_EQ(At(x, 301), kPaper);
        EXPECT_EQ(At(x, 302), kPaper);
    }
    int changed = 0;
    for (Colour c : game.PicBack.image.Pixels()) changed += c != kPaper;
    EXPECT_EQ(changed, 2);
}

TEST_F(StarFieldTest, NearStarJustAboveTheTopLeavesRowZeroAlone) {
    game.state.stars[0] = Star{0, -151, 0};  // sy = -1; its block would reach row 0
    DrawStarField(game);
    for (Colour c : game.PicBack.image.Pixels()) ASSERT_EQ(c, kPaper);
}

}  // namespace
}  // namespace kelo
