#include "screens/ProgressScreen.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "app/Timing.h"
#include "draw/Helpers.h"
#include "screens/FrontEndDrawing.h"

namespace kelo {

namespace {

// ---- Layout of the 400 x 300 picture ---------------------------------------------------

constexpr int kKeyboardLeft = 10, kKeyboardTop = 28;
constexpr int kQuarterPixels = 6, kRowPixels = 21, kKeyWidth = 22, kKeyHeight = 19;
constexpr int kLegendLeft = 268, kLegendRight = 392;
constexpr int kPlotLeft = 36, kPlotRight = 364, kPlotTop = 110, kPlotBottom = 226;

constexpr Colour kBackground = Rgb(12, 12, 22);
constexpr Colour kBandColour = Rgb(30, 30, 52);
constexpr Colour kFaint = Rgb(110, 110, 130);
constexpr Colour kText = Rgb(225, 225, 235);
constexpr Colour kOutsideKey = Rgb(32, 32, 44), kOutsideLetter = Rgb(80, 80, 96);
constexpr Colour kNoDataKey = Rgb(72, 72, 90);
constexpr Colour kGoalMark = Rgb(240, 240, 240), kTimeOutMark = Rgb(255, 90, 70);
constexpr Colour kPracticeMark = Rgb(255, 220, 80);
constexpr Colour kBestLine = Rgb(110, 200, 255), kAccuracyLine = Rgb(110, 210, 110);
constexpr Colour kNotice = Rgb(255, 150, 60);
constexpr Colour kArrowColours[kShownWrongPairs] = {Rgb(255, 255, 255), Rgb(255, 160, 60), Rgb(220, 130, 255)};

// ---- Text ----------------------------------------------------------------------------------

int TextWidth(TextRenderer& font, const std::string& text, int size) { return font.Render(text, size).width; }

void Print(Surface& s, TextRenderer& font, const std::string& text, int x, int y, Colour colour, int size) {
    PrintText(s, font, text, static_cast<int16_t>(x), static_cast<int16_t>(y), colour, static_cast<uint8_t>(size));
}

void PrintShadowed(Surface& s, TextRenderer& font, const std::string& text, int x, int y, Colour colour, int size) {
    Print(s, font, text, x + 1, y + 1, kBlack, size);
    Print(s, font, text, x, y, colour, size);
}

void PrintRight(Surface& s, TextRenderer& font, const std::string& text, int right, int y, Colour colour, int size) {
    Print(s, font, text, right - TextWidth(font, text, size), y, colour, size);
}

void PrintCentred(Surface& s, TextRenderer& font, const std::string& text, int centre, int y, Colour colour, int size) {
    Print(s, font, text, centre - TextWidth(font, text, size) / 2, y, colour, size);
}

std::string CourseTitle(const ProgressView& view) {
    if (view.course < 0) return "Progress  ·  All courses";
    return "Progress  ·  Course " + std::to_string(view.course + 1) + "  ·  " +
           (view.difficulty == Difficulty::Hard ? "Hard" : "Normal");
}

bool HasRuns(const ProgressView& view) { return view.summary != nullptr && view.summary->runs > 0; }

// ---- Title, keyboard, legend, arrows ------------------------------------------------------

void DrawTitle(Surface& s, TextRenderer& font, const ProgressView& view) {
    FilledBox(s, 0, 0, 399, 21, kBandColour);
    Line(s, 0, 22, 400, 22, kFaint);
    PrintShadowed(s, font, CourseTitle(view), 6, 3, kWhite, 12);
    const std::string heat = view.heat == HeatView::MissRate ? "Miss rate" : "Reaction time";
    PrintRight(s, font, "← " + heat + " →", 394, 5, kText, 10);
}

void DrawKeyboard(Surface& s, TextRenderer& font, const ProgressView& view) {
    const std::array<bool, kTypedKeyCount> inCourse = CourseKeys(view.course);
    for (int k = 0; k < kTypedKeyCount; ++k) {
        if (view.layout[k].row < 0) continue;
        const KeyBox box = KeyBoxOf(view.layout, k);
        Colour fill = kOutsideKey, letter = kOutsideLetter;
        if (inCourse[k]) {
            const std::optional<double> value =
                view.summary ? HeatValue(view.summary->keys[k], view.heat) : std::nullopt;
            fill = value ? HeatColour(*value) : kNoDataKey;
            letter = value ? kBlack : kText;
        }
        FilledBox(s, box.x1, box.y1, box.x2, box.y2, fill);
        PrintCentred(s, font, std::string(1, TypedKeyChar(k)), static_cast<int>(box.CentreX()) + 1, box.y1 + 2, letter,
                     10);
    }
}

void DrawLegend(Surface& s, TextRenderer& font, const ProgressView& view) {
    const int top = 30;
    for (int x = kLegendLeft; x <= kLegendRight; ++x) {
        const double value = static_cast<double>(x - kLegendLeft) / (kLegendRight - kLegendLeft);
        Line(s, x, top, x, top + 7, HeatColour(value));
    }
    const bool miss = view.heat == HeatView::MissRate;
    Print(s, font, miss ? "0 %" : "250 ms", kLegendLeft, top + 9, kFaint, 8);
    PrintRight(s, font, miss ? "40 %+" : "750 ms+", kLegendRight + 1, top + 9, kFaint, 8);
}

void DrawArrowHead(Surface& s, const Arrow& a, Colour colour) {
    const double angle = std::atan2(a.y2 - a.y1, a.x2 - a.x1);
    for (const double side : {-0.45, 0.45}) {
        const double back = angle + std::numbers::pi + side;
        Line(s, a.x2, a.y2, a.x2 + 6 * std::cos(back), a.y2 + 6 * std::sin(back), colour);
    }
}

void DrawWrongKeys(Surface& s, TextRenderer& font, const ProgressView& view) {
    if (!HasRuns(view)) return;
    const std::vector<KeyMixUp>& pairs = view.summary->wrongPairs;
    const int shown = std::min<int>(static_cast<int>(pairs.size()), kShownWrongPairs);
    Print(s, font, "Wrong keys", kLegendLeft, 52, kFaint, 8);
    for (int i = 0; i < shown; ++i) {
        const KeyMixUp& pair = pairs[i];
        const std::string line = std::string(1, TypedKeyChar(pair.target)) + " → " + TypedKeyChar(pair.typed) + "  " +
                                 std::to_string(pair.count) + "×";
        Print(s, font, line, kLegendLeft + 4, 63 + 11 * i, kArrowColours[i], 9);
    }
    // Drawn over the keys, the least frequent first so the most frequent stays on top.
    for (int i = shown - 1; i >= 0; --i) {
        if (view.layout[pairs[i].target].row < 0 || view.layout[pairs[i].typed].row < 0) continue;
        const Arrow a = WrongKeyArrow(view.layout, pairs[i], ArrowLane(i));
        Line(s, a.x1 + 1, a.y1 + 1, a.x2 + 1, a.y2 + 1, kBlack);
        Line(s, a.x1, a.y1, a.x2, a.y2, kArrowColours[i]);
        DrawArrowHead(s, a, kArrowColours[i]);
        s.fillStyle = FillStyle::Solid;
        s.fillColour = kArrowColours[i];
        Circle(s, a.x1, a.y1, 1.5, kArrowColours[i]);
    }
}

// ---- Plot ---------------------------------------------------------------------------------

// A value axis: `low` at the plot's bottom, `high` at its top.
struct Axis {
    double low, high;
    double Y(double value) const {
        return kPlotBottom - std::clamp((value - low) / (high - low), 0.0, 1.0) * (kPlotBottom - kPlotTop);
    }
};

// The speed axis spans the plotted runs in steps of 50 keys/min, so a player's few
// keys/min of progress are not lost at the top of a scale from 0.
Axis SpeedAxis(const std::vector<RunPoint>& runs) {
    double low = 1e9, high = 0;
    for (const RunPoint& r : runs) {
        low = std::min(low, r.keysPerMinute);
        high = std::max(high, r.keysPerMinute);
    }
    const double top = std::max(50.0, std::ceil(high / 50) * 50);
    const double bottom = std::max(0.0, std::floor(low / 50) * 50 - 50);
    return {bottom, top};
}
// Accuracy from 50 % up; lower runs sit on the bottom line.
constexpr Axis kAccuracyAxis{0.5, 1.0};

double SlotX(int slot) { return kPlotLeft + (slot + 0.5) * (kPlotRight - kPlotLeft) / kPlottedRuns; }

void DrawPlotFrame(Surface& s, TextRenderer& font, const Axis& speed) {
    for (int g = 0; g <= 4; ++g) {
        const double y = kPlotTop + g * (kPlotBottom - kPlotTop) / 4.0;
        Line(s, kPlotLeft, y, kPlotRight + 1, y, g == 4 ? kFaint : Rgb(36, 36, 56));
    }
    Line(s, kPlotLeft, kPlotTop, kPlotLeft, kPlotBottom + 1, kFaint);
    Line(s, kPlotRight, kPlotTop, kPlotRight, kPlotBottom + 1, kFaint);
    PrintRight(s, font, std::to_string(static_cast<int>(speed.high)), kPlotLeft - 3, kPlotTop - 5, kText, 8);
    PrintRight(s, font, std::to_string(static_cast<int>(speed.low)), kPlotLeft - 3, kPlotBottom - 6, kText, 8);
    Print(s, font, "keys/min", 2, kPlotTop - 15, kFaint, 8);
    Print(s, font, "100 %", kPlotRight + 3, kPlotTop - 5, kAccuracyLine, 8);
    Print(s, font, "50 %", kPlotRight + 3, kPlotBottom - 6, kAccuracyLine, 8);
    PrintRight(s, font, "accuracy", 398, kPlotTop - 15, kAccuracyLine, 8);
}

void DrawRunMark(Surface& s, const RunPoint& run, double x, double y) {
    const Colour colour = run.practice ? kPracticeMark : run.goal ? kGoalMark : kTimeOutMark;
    if (run.goal) {
        s.fillStyle = FillStyle::Solid;
        s.fillColour = colour;
        Circle(s, x, y, 2, colour);
    } else {
        Line(s, x - 2, y - 2, x + 3, y + 3, colour);
        Line(s, x + 2, y - 2, x - 3, y + 3, colour);
    }
}

void DrawPlot(Surface& s, TextRenderer& font, const ProgressView& view) {
    const std::vector<RunPoint>& all = view.summary->recent;
    const int n = std::min<int>(static_cast<int>(all.size()), kPlottedRuns);
    const auto first = all.end() - n;
    const std::vector<RunPoint> runs(first, all.end());
    const Axis speed = SpeedAxis(runs);
    DrawPlotFrame(s, font, speed);
    const int firstSlot = kPlottedRuns - n;
    // Accuracy, then the best speed so far, then the runs over both.
    for (int i = 1; i < n; ++i) {
        Line(s, SlotX(firstSlot + i - 1), kAccuracyAxis.Y(runs[i - 1].accuracy), SlotX(firstSlot + i),
             kAccuracyAxis.Y(runs[i].accuracy), kAccuracyLine);
    }
    for (int i = 0; i < n; ++i)
        SetPixelV(s, static_cast<int>(std::lround(SlotX(firstSlot + i))),
                  static_cast<int>(std::lround(kAccuracyAxis.Y(runs[i].accuracy))), kAccuracyLine);
    double best = 0;
    for (int i = 0; i < n; ++i) {
        const double previous = best;
        best = std::max(best, runs[i].keysPerMinute);
        const double x = SlotX(firstSlot + i);
        const double half = (kPlotRight - kPlotLeft) / (2.0 * kPlottedRuns);
        if (i > 0 && best != previous) Line(s, x - half, speed.Y(previous), x - half, speed.Y(best), kBestLine);
        Line(s, x - half, speed.Y(best), x + half, speed.Y(best), kBestLine);
    }
    for (int i = 0; i < n; ++i) DrawRunMark(s, runs[i], SlotX(firstSlot + i), speed.Y(runs[i].keysPerMinute));

    const int legendY = kPlotBottom + 4;
    int x = kPlotLeft;
    const auto entry = [&](const std::string& label, Colour colour) {
        Print(s, font, label, x, legendY, colour, 8);
        x += TextWidth(font, label, 8) + 10;
    };
    entry("● goal", kGoalMark);
    entry("× time out", kTimeOutMark);
    entry("● practice", kPracticeMark);
    entry("— best", kBestLine);
    entry("— accuracy", kAccuracyLine);
    PrintRight(s, font, "last " + std::to_string(n), kPlotRight, legendY, kFaint, 8);
}

void DrawEmpty(Surface& s, TextRenderer& font, const ProgressView& view) {
    const bool unreadable = view.summary == nullptr || view.summary->unreadable;
    if (unreadable) PrintCentred(s, font, "The run history could not be read.", 200, 130, kNotice, 10);
    const std::string what = view.course < 0 ? "No runs played yet." : "No runs played yet on this course.";
    PrintCentred(s, font, what, 200, 150, kText, 12);
    PrintCentred(s, font, "Play a run and come back with Tab.", 200, 174, kFaint, 10);
}

void DrawFigures(Surface& s, TextRenderer& font, const ProgressView& view) {
    const ProgressSummary& summary = *view.summary;
    std::string line = std::to_string(summary.runs) + (summary.runs == 1 ? " run" : " runs") + "  ·  " +
                       FormatDuration(summary.practisedMs) + " practised";
    const std::string weakest = WeakestKeysText(summary);
    if (!weakest.empty()) line += "  ·  weakest " + weakest;
    PrintShadowed(s, font, line, 6, 250, kWhite, 10);
}

void DrawHints(Surface& s, TextRenderer& font, const ProgressView& view) {
    Line(s, 0, 271, 400, 271, Rgb(40, 40, 64));
    const std::string scope = view.course < 0 ? "this course" : "all courses";
    Print(s, font, "Tab/Esc: back   ←→: miss/reaction   ↑↓: " + scope + "   P: practise", 6, 278, kFaint, 8);
}

// ---- The screen's frames ------------------------------------------------------------------

struct ProgressKeys {
    bool left, right, up, down, back, practise, watch;
};

ProgressKeys ReadKeys(Game& game) {
    const bool tab = game.KeyPressed(vk::Tab), escape = game.KeyPressed(vk::Escape);
    const bool space = game.KeyPressed(vk::Space);
    return {game.KeyPressed(vk::Left), game.KeyPressed(vk::Right), game.KeyPressed(vk::Up), game.KeyPressed(vk::Down),
            tab || escape || space,    game.KeyPressed('P'),       game.KeyPressed('R')};
}

// A key acts when it goes from not pressed to pressed, so a held key acts once.
ProgressKeys Edges(const ProgressKeys& now, const ProgressKeys& before) {
    return {now.left && !before.left,  now.right && !before.right, now.up && !before.up,
            now.down && !before.down,  now.back && !before.back,   now.practise && !before.practise,
            now.watch && !before.watch};
}

struct ProgressLocals {
    ProgressView view;
    std::optional<ProgressSummary> courseSummary, allSummary;
    int16_t wipeWidth = 400;
    bool drawn = false;
    // Every key reads as held on entry: the Tab that opened the screen must be let go,
    // and a key held since course select acts only once pressed afresh.
    ProgressKeys held{true, true, true, true, true, true, true};
};

const ProgressSummary& SummaryFor(Game& game, ProgressLocals& l, int course) {
    std::optional<ProgressSummary>& slot = course < 0 ? l.allSummary : l.courseSummary;
    if (!slot) slot = ReadProgressSummary(game.platform, course, game.state.difficulty);
    return *slot;
}

void ShowScope(Game& game, ProgressLocals& l, int course) {
    l.view.course = course;
    l.view.summary = &SummaryFor(game, l, course);
    l.drawn = false;
}

// The practice weights come from the course's own runs, or from all runs while the
// course has none.
std::array<float, kTypedKeyCount> WeightsForPractice(Game& game, ProgressLocals& l) {
    const ProgressSummary& course = SummaryFor(game, l, game.state.courseIndex);
    if (course.runs > 0) return PracticeWeights(course);
    return PracticeWeights(SummaryFor(game, l, -1));
}

enum class Leave { Back, Practise, Watch, Close };

Leave RunProgressFrames(Game& game, ProgressLocals& l) {
    for (;;) {
        game.WaitFrame(kFrameMs);
        if (game.Quitting()) return Leave::Close;
        game.YieldEvents();
        const ProgressKeys now = ReadKeys(game);
        const ProgressKeys keys = Edges(now, l.held);
        l.held = now;
        if (keys.back) return Leave::Back;
        if (keys.practise) return Leave::Practise;
        if (keys.watch) return Leave::Watch;
        if (keys.left || keys.right) {
            l.view.heat = l.view.heat == HeatView::MissRate ? HeatView::Reaction : HeatView::MissRate;
            game.SendSound("play wavSel notify from 0");
            l.drawn = false;
        }
        if (keys.up || keys.down) {
            ShowScope(game, l, l.view.course < 0 ? game.state.courseIndex : -1);
            game.SendSound("play wavSel notify from 0");
        }
        const int16_t wipe = NarrowerWipe(l.wipeWidth);
        if (l.drawn && wipe == l.wipeWidth) {
            game.PresentSameFrame();
            continue;
        }
        l.wipeWidth = wipe;
        DrawProgressFrame(game.PicBack, game.Text(), l.view);
        DrawWipe(game, l.wipeWidth);
        l.drawn = true;
        game.PresentFrame();
    }
}

}  // namespace

KeyBox KeyBoxOf(const KeyLayout& layout, int key) {
    const KeyPlace place = layout[key];
    const int x = kKeyboardLeft + place.quarterColumn * kQuarterPixels;
    const int y = kKeyboardTop + place.row * kRowPixels;
    return {x, y, x + kKeyWidth - 1, y + kKeyHeight - 1};
}

Arrow WrongKeyArrow(const KeyLayout& layout, const KeyMixUp& pair, int lane) {
    const KeyBox from = KeyBoxOf(layout, pair.target), to = KeyBoxOf(layout, pair.typed);
    const double dx = to.CentreX() - from.CentreX(), dy = to.CentreY() - from.CentreY();
    const double length = std::hypot(dx, dy);
    // Neighbouring keys still get an arrow of a few pixels; the tip stops at the edge of
    // the typed key's letter.
    const double shorten = length > 0 ? std::min(6.0, length / 3) / length : 0;
    // Lanes 3 pixels apart, across the arrow, so arrows along one row stay apart.
    const double across = length > 0 ? 3.0 * lane / length : 0;
    const double ox = -dy * across, oy = dx * across;
    return {from.CentreX() + dx * shorten + ox, from.CentreY() + dy * shorten + oy, to.CentreX() - dx * shorten + ox,
            to.CentreY() - dy * shorten + oy};
}

void DrawProgressFrame(Surface& s, TextRenderer& font, const ProgressView& view) {
    FilledBox(s, 0, 0, 399, 299, kBackground);
    DrawTitle(s, font, view);
    DrawKeyboard(s, font, view);
    DrawLegend(s, font, view);
    if (HasRuns(view)) {
        DrawWrongKeys(s, font, view);
        DrawPlot(s, font, view);
        DrawFigures(s, font, view);
    } else {
        DrawEmpty(s, font, view);
    }
    DrawHints(s, font, view);
}

Screen ProgressScreen(Game& game) {
    if (game.Quitting()) return Screen::None;
    ProgressLocals l;
    l.view.difficulty = game.state.difficulty;
    l.view.layout = game.platform.TypedKeyLayout();
    ShowScope(game, l, game.state.courseIndex);
    switch (RunProgressFrames(game, l)) {
        case Leave::Close: return Screen::None;
        case Leave::Back: return Screen::Select;
        case Leave::Watch: return Screen::Watch;
        case Leave::Practise: break;
    }
    game.practiceWeights = WeightsForPractice(game, l);
    game.SendSound("play wavDec notify from 0");
    if (!PlayClosingWipe(game)) return Screen::None;
    game.WaitFrame(kHandOverPauseMs);
    return Screen::Run;
}

// Changed: the original has no replays. The run plays beside the game, which only waits
// for it; coming back opens the progress screen afresh.
Screen WatchScreen(Game& game) {
    game.platform.WatchBestRun(game.state.courseIndex, game.state.difficulty);
    return Screen::Progress;
}

}  // namespace kelo
