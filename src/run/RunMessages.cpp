#include "run/RunMessages.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <numbers>
#include <string>

#include "app/Timing.h"
#include "base/Numeric.h"
#include "draw/Helpers.h"

namespace kelo {

namespace {

constexpr Colour kPanelGrey = Rgb(180, 180, 180);
constexpr Colour kDialRed = Rgb(255, 40, 20);
constexpr Colour kYellow = Rgb(255, 255, 0);
constexpr double kDialX = 350, kDialY = 250;

struct Offset {
    int x;
    int y;
};

// A message's shake: 0, 1 or 2 pixels in each direction, drawn afresh.
Offset Shake(Game& game) {
    const int x = game.random.Index(3);
    const int y = game.random.Index(3);
    return {x, y};
}

int16_t TextX(double x) { return RoundToInt16(x); }

Colour InverseBackground(const GameState& s) {
    return Rgb(255 - s.backColour[0], 255 - s.backColour[1], 255 - s.backColour[2]);
}

// The grey band behind "Ready....": 34 lines, dark at both edges, brightest in the middle.
Colour BandGrey(int line) {
    const int g = (17 - std::abs(line - 17)) * 7;
    return Rgb(g, g, g);
}

void DrawReady(Game& game) {
    for (int p = 0; p < 34; ++p) Line(game.PicBack, 0, 80 + 2 * p, 300, 80 + 2 * p, BandGrey(p));
    const TextCopy copies[] = {{41, 80, kBlack}, {51, 80, kBlack}, {46, 80, InverseBackground(game.state)}};
    PrintTextCopies(game, "Ready....", 48, copies);
}

// The band and the word split in the middle and slide apart by 7.5 pixels a frame.
void DrawSplittingReady(Game& game, int v) {
    const double shift = 7.5 * v;
    for (int p = 0; p < 34; ++p) {
        const double y = 80 + 2 * p;
        Line(game.PicBack, 0, y, shift - 150, y, BandGrey(p));
        Line(game.PicBack, 450 - shift, y, 300, y, BandGrey(p));
    }
    const Colour inverse = InverseBackground(game.state);
    PrintText(game, "Rea", TextX(shift - 259), 80, kBlack, 48);
    PrintText(game, "Rea", TextX(shift - 249), 80, kBlack, 48);
    PrintText(game, "Rea", TextX(shift - 254), 80, inverse, 48);
    PrintText(game, "dy....", TextX(444 - shift), 80, kBlack, 48);
    PrintText(game, "dy....", TextX(454 - shift), 80, kBlack, 48);
    PrintText(game, "dy....", TextX(449 - shift), 80, inverse, 48);
}

// Four copies of `text` in `outline` at the first four places, then two in `fill` at the
// last two, all moved by `j`: the game's outlined messages.
void PrintFourAroundTwo(Game& game, std::string_view text, uint8_t size, Offset j, const std::array<Offset, 6>& places,
                        Colour outline, Colour fill) {
    std::array<TextCopy, 6> copies;
    for (size_t k = 0; k < copies.size(); ++k) {
        copies[k] = {static_cast<int16_t>(j.x + places[k].x), static_cast<int16_t>(j.y + places[k].y),
                     k < 4 ? outline : fill};
    }
    PrintTextCopies(game, text, size, copies);
}

void DrawGo(Game& game) {
    const Offset j = Shake(game);
    const auto& back = game.state.backColour;
    // Kept: the original's "GO!" takes the background's channels rotated (blue, red,
    // green), not the background colour itself.
    const Colour rotated = Rgb(back[2], back[0], back[1]);
    PrintFourAroundTwo(game, "GO!", 36, j, {{{113, 245}, {113, 244}, {116, 244}, {116, 245}, {114, 244}, {115, 244}}},
                       kWhite, rotated);
}

void PrintExtend(Game& game, Offset j) {
    PrintFourAroundTwo(game, "Time Extend!", 16, j,
                       {{{93, 260}, {93, 259}, {96, 259}, {96, 260}, {94, 259}, {95, 259}}}, kBlack, kYellow);
}

// Painter's Arc takes radians and draws the radius of a negative angle (by its sign
// bit, so -0 counts), so a pie sector from A to B degrees is Arc(-A, -B).
double SectorEnd(double degrees) { return -(degrees * std::numbers::pi / 180.0); }

void DrawSector(Surface& s, double radius, Colour outline, double fromDegrees, double toDegrees) {
    Arc(s, kDialX, kDialY, radius, outline, SectorEnd(fromDegrees), SectorEnd(toDegrees));
}

void DrawFilledSector(Surface& s, Colour fill, double fromDegrees, double toDegrees) {
    s.fillStyle = FillStyle::Solid;
    s.fillColour = fill;
    DrawSector(s, 30, kWhite, fromDegrees, toDegrees);
}

// The scale runs 270 degrees clockwise from 225 (lower left) over the top to 315
// (lower right); grey up to speed 24.9, red beyond it, full at speed 30.
void DrawSpeedDial(Game& game) {
    Surface& back = game.PicBack;
    const double speed = game.state.speed;
    // Kept: the original's 224, one degree short of the scale's start, leaves a grey
    // sliver between 224 and 225 degrees at speed 0.
    const double a = speed / 30 * 270 - 224;
    if (a < 0) {
        DrawFilledSector(back, kPanelGrey, -a, 225);
    } else {
        DrawFilledSector(back, kPanelGrey, 0, 225);
        const double b = -std::max(-315 - (30 - speed) / 30 * 270, -359.99);
        DrawFilledSector(back, kDialRed, b, 360);
    }
    back.fillStyle = FillStyle::Transparent;
    DrawSector(back, 30, kWhite, 315, 225);
    Arc(back, kDialX, kDialY, 20, kWhite, 315 * std::numbers::pi / 180, 225 * std::numbers::pi / 180);
    back.fillStyle = FillStyle::Solid;
    back.fillColour = kBlack;
    Circle(back, kDialX, kDialY, 19, kBlack);
}

void DrawStageTime(Game& game) {
    const GameState& s = game.state;
    const int32_t seconds = TruncDiv(s.stageTime[s.stageIndex], kMsPerGameSecond);
    const int k = std::min<int32_t>(seconds, 5) * 50 + 5;
    PrintText(game, FormatMinDigits(seconds, 2), 315, 5, Rgb(255, k, k), 48);
}

void DrawRunClock(Game& game) {
    const std::string clock = FormatSeconds(GameSeconds(game.state.elapsedTime));
    PrintText(game, clock, 325, 100, kWhite, 10);
    PrintText(game, clock, 326, 100, kWhite, 10);
}

void DrawSpeedNumber(Game& game) {
    const float thousandths = game.state.speed * 1000.0f;
    const int32_t n = TruncDiv(FloorInt(thousandths), 10);
    const std::string text = FormatMinDigits(n, 4);
    PrintText(game, text, 335, 241, Rgb(190, 190, 190), 12);
    PrintText(game, text, 336, 241, Rgb(190, 190, 190), 12);
}

}  // namespace

void DrawStartMessages(Game& game) {
    const int v = game.state.countdown;
    if (v >= 40) {
        DrawReady(game);
    } else if (v >= 21) {
        DrawSplittingReady(game, v);
    } else if (v >= 1 && v <= 19) {
        DrawGo(game);
    }
}

void DrawStageProgress(Game& game) {
    const GameState& s = game.state;
    if (s.countdown != 0) return;
    const double previous = s.stageIndex > 0 ? s.checkpointDistance[s.stageIndex - 1] : 0;
    const double stageLength = s.checkpointDistance[s.stageIndex] - previous;
    // Changed: the original divides by the stage's length unguarded; a stage of no length
    // shows a full bar.
    const double p = stageLength > 0 ? std::min((s.distance - previous) / stageLength, 1.0) : 1.0;
    Surface& back = game.PicBack;
    FilledBox(back, 20, 265, 20 + 260 * p, 275, kPanelGrey);
    const FillStyle style = back.fillStyle;
    back.fillStyle = FillStyle::Transparent;
    Box(back, 20, 265, 280, 275, kWhite);
    back.fillStyle = style;
}

void DrawExtendMessage(Game& game) {
    const int e = game.state.extendTimer;
    if (e >= 30 && e <= 50) {
        PrintExtend(game, Shake(game));
    } else if (e >= 1 && e <= 29) {
        PrintExtend(game, {1, 1});
    }
}

void DrawRightPanel(Game& game) {
    FilledBox(game.PicBack, 300, 0, 400, 300, kBlack);
    Line(game.PicBack, 300, 0, 300, 300, kWhite);
    DrawStageTime(game);
    DrawRunClock(game);
    DrawSpeedDial(game);
    DrawSpeedNumber(game);
}

void DrawPracticeMark(Game& game) {
    const TextCopy copies[] = {{322, 150, Rgb(120, 100, 20)}, {321, 149, Rgb(255, 230, 90)}};
    PrintTextCopies(game, "Practice", 12, copies);
}

void DrawFrameRate(Game& game) {
    // Changed: the original divides by the group's sum unguarded; a group of frames
    // measured at 0 ms must not divide by zero.
    const int32_t sum = std::max<int32_t>(game.state.fpsSum[1], 1);
    PrintText(game, std::to_string(30000 / sum) + " FPS", 345, 280, kWhite, 12);
}

}  // namespace kelo
