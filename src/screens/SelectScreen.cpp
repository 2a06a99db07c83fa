#include "screens/SelectScreen.h"

#include <algorithm>
#include <string>

#include "app/Timing.h"
#include "base/Numeric.h"
#include "draw/Helpers.h"
#include "run/Course.h"
#include "run/World.h"
#include "screens/FrontEndDrawing.h"

namespace kelo {

namespace {

// An accepted arrow key blocks the arrows for this many frames; the value also marks
// the frame in which the selection changed.
constexpr uint8_t kArrowDelay = 10;

struct SelectLocals {
    uint8_t spaceLatch = 1;
    uint8_t keyDelay = kArrowDelay + 1;
    int16_t wipeWidth = 400;
    uint8_t difficultyChanged = 0;
    // The wipe of the frame now in PicBack. Everything else the frame shows changes only
    // in a frame whose selection changed, so other frames would draw the same pixels.
    int16_t drawnWipeWidth = -1;
};

// Every key is read every frame, whether or not the frame can take it, so a press made
// while the arrows are blocked does not fire later.
struct SelectKeys {
    bool left, right, up, down, space, tab;
};

SelectKeys ReadKeys(Game& game) {
    return SelectKeys{game.KeyPressed(vk::Left), game.KeyPressed(vk::Right), game.KeyPressed(vk::Up),
                      game.KeyPressed(vk::Down), game.KeyPressed(vk::Space), game.KeyPressed(vk::Tab)};
}

void PageCourse(Game& game, SelectLocals& l, int step) {
    GameState& s = game.state;
    // Changed: the original pages modulo openCourses unguarded; a damaged record file
    // could make that 0.
    const int open = std::max<int>(s.openCourses, 1);
    s.courseIndex = static_cast<uint8_t>((s.courseIndex + open + step) % open);
    l.keyDelay = kArrowDelay;
    game.SendSound("play wavSel notify from 0");
}

void UpdateSelection(Game& game, SelectLocals& l, const SelectKeys& keys) {
    GameState& s = game.state;
    l.difficultyChanged = 0;
    l.keyDelay = RoundToByte(MaxSingle(static_cast<float>(l.keyDelay - 1), 0.0f));
    l.wipeWidth = NarrowerWipe(l.wipeWidth);
    if (l.keyDelay == 0 && keys.left) PageCourse(game, l, -1);
    if (l.keyDelay == 0 && keys.right) PageCourse(game, l, +1);
    if (l.keyDelay == 0 && (keys.up || keys.down) && s.clearMark[s.courseIndex] != ClearMark::NotCleared) {
        s.difficulty = s.difficulty == Difficulty::Normal ? Difficulty::Hard : Difficulty::Normal;
        l.keyDelay = kArrowDelay;
        l.difficultyChanged = 1;
    }
    if (s.clearMark[s.courseIndex] == ClearMark::NotCleared) s.difficulty = Difficulty::Normal;
    if (l.keyDelay == kArrowDelay) {
        ResetRun(s);
        if (l.difficultyChanged == 0) FillStarField(game);
    }
}

void DrawBands(Game& game) {
    Surface& back = game.PicBack;
    const Colour dark = Grey(20);
    FilledBox(back, -1, 0, 401, 300, BasePlus(game.state, 0));
    DrawStarField(game);
    for (int y = -1; y <= 49; y += 2) Line(back, -1, y, 401, y, dark);
    Line(back, -1, 51, 401, 51, Grey(230));
    for (int y = 203; y <= 301; y += 2) Line(back, -1, y, 401, y, dark);
    // Kept: the original draws these columns out to x = 598, past the image's right edge,
    // where they are clipped.
    for (int x = 0; x <= 598; x += 2) Line(back, x, 201, x, 300, dark);
    Box(back, -1, 201, 401, 201, Grey(230));
}

void PrintOutlined(Game& game, const std::string& text, int y, int size, const int (&xs)[4],
                   const Colour (&colours)[4]) {
    for (int i = 0; i < 4; ++i)
        PrintText(game, text, static_cast<int16_t>(xs[i]), static_cast<int16_t>(y), colours[i],
                  static_cast<uint8_t>(size));
}

void DrawRecordRow(Game& game, int r) {
    const GameState& s = game.state;
    // Kept: as in the original, one table per course holds Normal and Hard runs alike.
    const CourseRecord& record = s.courseRecords[s.courseIndex];
    const int rowY = 25 * r + 85;
    for (int k = 0; k <= 8; ++k) Line(game.PicBack, 45, rowY - 2 * k, 355, rowY - 2 * k, BasePlus(s, 10));
    Line(game.PicBack, 45, rowY, 355, rowY, BasePlus(s, 80));

    static const char* const kRankLabels[kPlaceCount] = {"1st", "2nd", "3rd", "4th", "5th"};
    PrintOutlined(game, kRankLabels[r], 25 * r + 70, 12, {46, 48, 45, 46}, {kBlack, kBlack, kWhite, kWhite});
    if (record.times[r] != 0) {
        PrintOutlined(game, FormatSeconds(GameSeconds(record.times[r])), 25 * r + 68, 14, {98, 103, 100, 101},
                      {kBlack, kBlack, kWhite, kWhite});
        PrintOutlined(game, FormatSeconds(record.speeds[r] / 100.0) + " keys/min.", 25 * r + 70, 12,
                      {198, 203, 200, 201}, {kBlack, kBlack, kWhite, kWhite});
    } else {
        const Colour faint = BasePlus(s, 120);
        PrintOutlined(game, "No Data", 25 * r + 70, 12, {98, 103, 100, 101}, {kBlack, kBlack, faint, faint});
    }
}

// The first 2 * rating - 1 characters of "> > > > > > > > >".
std::string RatingMarks(int rating) {
    static const std::string kMarks = "> > > > > > > > >";
    return kMarks.substr(0, static_cast<size_t>(std::clamp(2 * rating - 1, 0, static_cast<int>(kMarks.size()))));
}

void DrawMode(Game& game) {
    const GameState& s = game.state;
    if (s.difficulty == Difficulty::Normal) {
        PrintText(game, "Normal Mode", 286, 210, BasePlus(s, 120), 12);
        PrintText(game, "Normal Mode", 285, 210, BasePlus(s, 220), 12);
    } else {
        // Kept: the original pads " Hard  Mode" to the eleven characters of "Normal Mode".
        PrintText(game, " Hard  Mode", 286, 210, BasePlus(s, 120, 20, 20), 12);
        PrintText(game, " Hard  Mode", 285, 210, BasePlus(s, 220, 80, 80), 12);
    }
}

void DrawRatingGauge(Game& game) {
    const GameState& s = game.state;
    const Colour shade = BasePlus(s, 120);
    const Colour light = BasePlus(s, 220);
    const std::string_view easy = game.Translated("易"), hard = game.Translated("難");
    PrintText(game, easy, 271, 235, shade, 10);
    PrintText(game, easy, 270, 235, light, 10);
    PrintText(game, RatingMarks(s.difficultyRating), 287, 235, shade, 10);
    PrintText(game, RatingMarks(s.difficultyRating), 286, 235, light, 10);
    PrintText(game, hard, 381, 235, shade, 10);
    PrintText(game, hard, 380, 235, light, 10);
}

void DrawClearMarks(Game& game) {
    const GameState& s = game.state;
    const ClearMark mark = s.clearMark[s.courseIndex];
    if (mark != ClearMark::NotCleared) {
        PrintText(game, "Normal: Cleared", 284, 255, BasePlus(s, 120), 10);
        PrintText(game, "Normal: Cleared", 285, 255, BasePlus(s, 220), 10);
        const std::string_view hint = game.Translated("↑↓で難易度変更");
        PrintText(game, hint, 81, 285, Grey(120), 10);
        PrintText(game, hint, 80, 285, Grey(220), 10);
    }
    if (mark == ClearMark::ClearedOnHard) {
        PrintText(game, "Hard: Cleared", 300, 275, BasePlus(s, 120), 10);
        PrintText(game, "Hard: Cleared", 299, 275, BasePlus(s, 220), 10);
    }
}

void DrawPagingArrows(Game& game) {
    const Colour shade = BasePlus(game.state, 120);
    const Colour light = BasePlus(game.state, 220);
    PrintText(game, "<", 7, 117, shade, 22);
    PrintText(game, "<", 13, 117, shade, 22);
    PrintText(game, "<", 5, 117, light, 22);
    PrintText(game, "<", 11, 117, light, 22);
    PrintText(game, ">", 373, 117, shade, 22);
    PrintText(game, ">", 379, 117, shade, 22);
    PrintText(game, ">", 375, 117, light, 22);
    PrintText(game, ">", 381, 117, light, 22);
}

void DrawCourseInfo(Game& game) {
    const GameState& s = game.state;
    const std::string title = "Course " + std::to_string(s.courseIndex + 1);
    PrintText(game, title, 28, 7, BasePlus(s, 0), 36);
    PrintText(game, title, 8, 2, kWhite, 36);
    for (int line = 0; line < 2; ++line) {
        const std::string note = "・" + std::string(game.Translated(s.courseNotes[s.courseIndex][line]));
        const int16_t y = static_cast<int16_t>(215 + 25 * line);
        PrintText(game, note, 31, y, Grey(180), 12);
        PrintText(game, note, 30, y, Grey(230), 12);
    }
    const std::string length = "Length: " + std::to_string(s.courseLength);
    PrintText(game, length, 270, 30, kWhite, 12);
    PrintText(game, length, 271, 30, kWhite, 12);
    Line(game.PicBack, 265, 220, 265, 280, Grey(170));
    DrawMode(game);
    DrawRatingGauge(game);
    DrawClearMarks(game);
    DrawPagingArrows(game);
}

void DrawSelectFrame(Game& game) {
    DrawBands(game);
    for (int r = 0; r < kPlaceCount; ++r) DrawRecordRow(game, r);
    DrawCourseInfo(game);
}

// Runs frames until Space starts a run (Screen::Run), Tab opens the progress screen
// (Screen::Progress) or the window is closing (Screen::None).
Screen RunSelectFrames(Game& game) {
    SelectLocals l;
    for (;;) {
        game.WaitFrame(kFrameMs);
        if (game.Quitting()) return Screen::None;
        // Kept: the original yields to the window's events a second time here.
        game.YieldEvents();
        const SelectKeys keys = ReadKeys(game);
        UpdateSelection(game, l, keys);
        if (l.spaceLatch == 0 && keys.space) return Screen::Run;
        // Changed: Tab, which the original never reads, opens the progress screen.
        if (keys.tab) return Screen::Progress;
        // A second query: a tap used up by the first one does not also free the latch.
        if (!game.KeyPressed(vk::Space)) l.spaceLatch = 0;
        if (l.keyDelay != kArrowDelay && l.drawnWipeWidth == l.wipeWidth) {
            game.PresentSameFrame();
            continue;
        }
        DrawSelectFrame(game);
        DrawWipe(game, l.wipeWidth);
        l.drawnWipeWidth = l.wipeWidth;
        game.PresentFrame();
    }
}

}  // namespace

Screen SelectScreen(Game& game) {
    game.SendSound("stop midBGM1");
    game.SendSound("stop midBGM2");
    if (game.Quitting()) return Screen::None;
    // Kept: the original waits twice for Space to be up.
    if (!game.WaitForKey(vk::Space, false) || !game.WaitForKey(vk::Space, false)) return Screen::None;
    // The Tab that left the progress screen must not open it again at once.
    if (!game.WaitForKey(vk::Tab, false) || !game.WaitForKey(vk::Tab, false)) return Screen::None;
    const Screen next = RunSelectFrames(game);
    if (next == Screen::Progress) {
        game.SendSound("play wavSel notify from 0");
        return next;
    }
    if (next == Screen::None) return Screen::None;

    game.SendSound("play wavDec notify from 0");
    if (game.Quitting()) return Screen::None;
    if (!PlayClosingWipe(game)) return Screen::None;
    game.WaitFrame(kHandOverPauseMs);
    return Screen::Run;
}

}  // namespace kelo
