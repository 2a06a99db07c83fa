#include "run/RunDisplay.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <initializer_list>
#include <numbers>
#include <utility>

#include "app/Timing.h"
#include "base/Numeric.h"
#include "draw/Helpers.h"

namespace kelo {

namespace {

constexpr int16_t kRestingStep = 2;  // spacing change while the scroll holds still

// ---- Letter columns ------------------------------------------------------------------

// Moves the scroll toward its target and returns the spacing step that goes with the
// movement: 3 while rising, 22 while falling, 2 at rest. Kept: as in the original, a fall
// stops at 0, not at the target, and climbs back in later frames.
int16_t MoveScroll(int16_t& scroll, double target) {
    if (target > scroll) {
        scroll = RoundToInt16(MinSingle(static_cast<float>(scroll + 5), static_cast<float>(target)));
        return 3;
    }
    if (target < scroll) {
        scroll = RoundToInt16(MaxSingle(static_cast<float>(scroll - 20), 0.0f));
        return 22;
    }
    return kRestingStep;
}

void MoveSpacing(int16_t& spacing, int16_t target, int16_t step) {
    if (spacing < target) {
        spacing = RoundToInt16(MinSingle(static_cast<float>(spacing + step), target));
    } else if (spacing > target) {
        spacing = RoundToInt16(MaxSingle(static_cast<float>(spacing - step), target));
    }
}

// ---- Overlay ---------------------------------------------------------------------------

void DrawBand(Surface& back) {
    for (int y = 180; y <= 244; y += 2) Line(back, 0, y, 300, y, kBlack);
}

// Two lanes of 41 lines every second column, dark at the edges, grey at the centre,
// each line from y 0 up to 300. No two lines share a pixel, so they are laid row by row
// (a column at a time would touch a new cache line for every pixel); the pixels and the
// current position are those of the 82 lines.
void DrawLanes(Surface& back) {
    constexpr int kLines = 41, kLeftLane = 63, kRightLane = 157, kBottom = 300;
    std::array<Colour, kLines> greys;
    for (int i = 0; i < kLines; ++i) {
        const int g = 5 * (20 - std::abs(20 - i));
        greys[i] = Rgb(g, g, g);
    }
    Image& image = back.image;
    if (image.Width() <= kRightLane + 2 * (kLines - 1)) {
        for (int i = 0; i < kLines; ++i) {
            Line(back, kLeftLane + 2 * i, 0, kLeftLane + 2 * i, kBottom, greys[i]);
            Line(back, kRightLane + 2 * i, 0, kRightLane + 2 * i, kBottom, greys[i]);
        }
        return;
    }
    for (int y = 0; y < std::min(image.Height(), kBottom); ++y) {
        Colour* row = image.Row(y);
        for (int i = 0; i < kLines; ++i) {
            row[kLeftLane + 2 * i] = greys[i];
            row[kRightLane + 2 * i] = greys[i];
        }
    }
    back.currentX = kRightLane + 2 * (kLines - 1);
    back.currentY = kBottom;
}

void DrawBandBorders(Surface& back) {
    const Colour edge = Rgb(200, 200, 200);
    Line(back, 0, 180, 300, 180, edge);
    Line(back, 0, 245, 300, 245, edge);
}

// ---- Road sign -------------------------------------------------------------------------

constexpr double kQuarterTurn = std::numbers::pi / 2;

void DrawStraightSign(Surface& back) {
    Line(back, 140, 175, 160, 175, kWhite);
    LineTo(back, 160, 125, kWhite);
    LineTo(back, 175, 125, kWhite);
    LineTo(back, 150, 100, kWhite);
    LineTo(back, 125, 125, kWhite);
    LineTo(back, 140, 125, kWhite);
    LineTo(back, 140, 175, kWhite);
}

// A quarter arc from `start` to `start` + 90 degrees with both radius lines.
void QuarterSector(Surface& back, double cx, double cy, double radius, double start, Colour colour) {
    const double end = start + kQuarterTurn;
    Arc(back, cx, cy, radius, colour, start, end);
    Line(back, cx, cy, cx + radius * std::cos(start), cy - radius * std::sin(start), colour);
    Line(back, cx, cy, cx + radius * std::cos(end), cy - radius * std::sin(end), colour);
}

// A curve sign: a quarter band of radii 30 to 50 around (cx, 175) leading into an
// arrowhead at x = cx pointing `direction` (-1 left, +1 right).
void DrawCurveSign(Surface& back, double cx, double start, int direction) {
    constexpr double cy = 175;
    QuarterSector(back, cx, cy, 50, start, kWhite);
    // Kept: the original draws the inner quarter in black over the white radius lines and
    // then its arc again in white; the sign's pixels depend on that order.
    QuarterSector(back, cx, cy, 30, start, kBlack);
    Arc(back, cx, cy, 30, kWhite, start, start + kQuarterTurn);
    Line(back, cx, 110, cx, 160, kWhite);
    LineTo(back, cx + 25 * direction, 135, kWhite);
    LineTo(back, cx, 110, kWhite);
    Line(back, cx, 126, cx, 144, kBlack);
}

// ---- Result panel ----------------------------------------------------------------------

const Colour kPromptGrey = Rgb(220, 220, 220);
const Colour kPracticeYellow = Rgb(255, 230, 90);

struct Copy {
    int16_t x;
    Colour colour;
};

class PanelBuilder {
public:
    void Add(const std::string& text, int16_t y, uint8_t size, std::initializer_list<Copy> copies) {
        for (const Copy& c : copies) texts_.push_back({text, c.x, y, c.colour, size});
    }
    // A bold white line: black copies at x1 and x2, white copies at x3 and x4.
    void AddBold(const std::string& text, int16_t y, uint8_t size, int16_t x1, int16_t x2, int16_t x3, int16_t x4,
                 Colour colour = kWhite) {
        Add(text, y, size, {{x1, kBlack}, {x2, kBlack}, {x3, colour}, {x4, colour}});
    }
    // A count whose copies end at 223, 228, 226 and 225. Kept: the original right-aligns
    // by eight pixels a character, whatever the glyphs' real widths.
    void AddCount(int16_t count, int16_t y) {
        const std::string digits = std::to_string(count);
        const int16_t width = static_cast<int16_t>(8 * digits.size());
        AddBold(digits, y, 12, 223 - width, 228 - width, 226 - width, 225 - width);
    }
    std::vector<PanelText> Take() { return std::move(texts_); }

private:
    std::vector<PanelText> texts_;
};

Colour RankColour(int rank) { return Rgb(255 - 15 * rank, 36 * rank, 36 * rank); }

std::string RankText(int rank) { return std::to_string(rank) + "位"; }

void AddTallies(PanelBuilder& panel, const GameState& s, int16_t endTimer) {
    if (endTimer > 80) {
        panel.AddBold("Left", 145, 12, 83, 88, 86, 85);
        panel.AddBold("Touches: ", 145, 12, 123, 128, 126, 125);
        panel.AddCount(s.keyTally.touches[0], 145);
        panel.AddBold("Right", 180, 12, 83, 88, 86, 85);
        panel.AddBold("Touches: ", 180, 12, 123, 128, 126, 125);
        panel.AddCount(s.keyTally.touches[1], 180);
    }
    if (endTimer > 120) {
        panel.AddBold("Misses: ", 163, 12, 123, 128, 126, 125);
        panel.AddCount(s.keyTally.misses[0], 163);
        panel.AddBold("Misses: ", 198, 12, 123, 128, 126, 125);
        panel.AddCount(s.keyTally.misses[1], 198);
    }
}

void AddSpeedAndPrompt(PanelBuilder& panel, const GameState& s, int16_t endTimer, int16_t speedFrom) {
    if (endTimer > speedFrom) panel.AddBold(TypeSpeedLine(s), 230, 12, 68, 63, 66, 65);
    if (endTimer > 180) panel.AddBold("Press Space Key", 273, 18, 68, 63, 66, 65, kPromptGrey);
}

void AddGoalPanel(PanelBuilder& panel, const GameState& s, const RunLocals& run) {
    panel.Add("GOAL!", 30, 48, {{53, kBlack}, {67, kBlack}, {60, kWhite}});
    if (run.endTimer > 30) {
        panel.AddBold("Time " + FormatSeconds(GameSeconds(s.elapsedTime)), 110, 16, 63, 68, 66, 65);
        if (run.newRank != 0) {
            panel.AddBold(RankText(run.newRank), 110, 16, 194, 197, 196, 195, RankColour(run.newRank));
        } else if (run.practice) {
            panel.AddBold("Practice", 110, 16, 194, 197, 196, 195, kPracticeYellow);
        }
    }
    AddTallies(panel, s, run.endTimer);
    AddSpeedAndPrompt(panel, s, run.endTimer, 150);
}

void AddTimeOutPanel(PanelBuilder& panel, const GameState& s, const RunLocals& run) {
    panel.Add("GAME OVER", 80, 24, {{60, kWhite}});
    AddSpeedAndPrompt(panel, s, run.endTimer, 90);
}

int32_t CurrentStageTime(const GameState& s) { return s.stageTime[s.stageIndex]; }

}  // namespace

void UpdateLetterColumns(Game& game, int hand) {
    GameState& s = game.state;
    const double target = static_cast<double>(s.letterSpacing[hand]) / s.handPeriod[hand] * s.handWait[hand];
    const int16_t step = MoveScroll(s.queueScroll[hand], target);
    MoveSpacing(s.letterSpacing[hand], s.letterSpacingTarget[hand], step);
}

HitDisc HitDiscAt(uint8_t level, const GameState& state) {
    const auto& c = state.backColour;
    const float gap = static_cast<float>(50 - level);
    return {gap * gap / 30.0f, Rgb(10 * level + c[0], 10 * level + c[1], 10 * level + c[2]),
            Rgb(5 * level + c[0], 5 * level + c[1], 5 * level + c[2])};
}

void DrawHitFlashes(Game& game, int hand) {
    Surface& back = game.PicBack;
    for (const uint8_t level : game.state.hitFlash[hand]) {
        if (level == 0) continue;
        const HitDisc disc = HitDiscAt(level, game.state);
        back.fillColour = disc.fill;
        back.fillStyle = FillStyle::Solid;
        Circle(back, 103 + 94 * hand, 212, disc.radius, disc.outline);
    }
}

bool RoadSignShown(uint8_t signTimer) { return signTimer != 0 && !(signTimer >= 30 && signTimer % 2 == 1); }

void DrawRoadSign(Game& game, SignKind kind) {
    Surface& back = game.PicBack;
    switch (kind) {
        case SignKind::StraightOn: DrawStraightSign(back); break;
        case SignKind::LeftCurve: DrawCurveSign(back, 145, 0, -1); break;
        case SignKind::RightCurve: DrawCurveSign(back, 155, kQuarterTurn, +1); break;
        // Kept: another kind draws nothing, yet its caller still switches the fill style
        // to transparent and back, as the original does.
        default: break;
    }
}

void DrawRunOverlay(Game& game) {
    Surface& back = game.PicBack;
    DrawBand(back);
    DrawLanes(back);
    if (RoadSignShown(game.state.signTimer)) {
        back.fillStyle = FillStyle::Transparent;
        DrawRoadSign(game, game.state.signKind);
        back.fillStyle = FillStyle::Solid;
    }
    DrawBandBorders(back);
}

std::string TypeSpeedLine(const GameState& state) {
    const int touches = state.keyTally.touches[0] + state.keyTally.touches[1];
    // Changed: the original divides by the clock unguarded (a run only ends with its clock
    // started); a clock of 0 shows a speed of 0. Kept: recomputed every frame, so keys
    // typed after a time out change it, as in the original.
    const double speed = state.elapsedTime > 0 ? touches / GameSeconds(state.elapsedTime) * 60 : 0.0;
    return "TypeSpeed: " + FormatTwoDecimalsTrimmed(speed) + " keys/min.";
}

std::vector<PanelText> ResultPanelTexts(const GameState& state, const RunLocals& run) {
    PanelBuilder panel;
    // Kept: as in the original, a time out stays a time out even if the craft later
    // crosses the goal line.
    if (CurrentStageTime(state) != 0) {
        AddGoalPanel(panel, state, run);
    } else {
        AddTimeOutPanel(panel, state, run);
    }
    return panel.Take();
}

void DrawResultPanel(Game& game) {
    const std::vector<PanelText> texts = ResultPanelTexts(game.state, game.run);
    std::vector<TextCopy> copies;
    for (size_t i = 0; i < texts.size();) {
        // The copies of one text, printed together.
        size_t end = i;
        copies.clear();
        while (end < texts.size() && texts[end].text == texts[i].text && texts[end].size == texts[i].size) {
            copies.push_back({texts[end].x, texts[end].y, texts[end].colour});
            ++end;
        }
        PrintTextCopies(game, game.Translated(texts[i].text), texts[i].size, copies);
        i = end;
    }
}

}  // namespace kelo
