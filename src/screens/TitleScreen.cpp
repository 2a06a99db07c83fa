#include "screens/TitleScreen.h"

#include <cstdlib>

#include "app/Timing.h"
#include "base/Numeric.h"
#include "draw/Helpers.h"
#include "records/RecordFile.h"
#include "run/Course.h"
#include "run/World.h"
#include "screens/FrontEndDrawing.h"

namespace kelo {

namespace {

// 1 while wiping in, 2 on the loading frame, 0 once Space is taken.
enum TitlePhase : uint8_t { kReady = 0, kWipingIn = 1, kLoading = 2 };

struct TitleLocals {
    uint8_t titlePhase = kWipingIn;
    uint8_t spaceLatch = 1;
    // Changed: the original's title ignores Escape. Here it closes the game, once it has
    // been seen up on this screen, as Space is taken only then.
    uint8_t escapeLatch = 1;
    int16_t wipeWidth = 400;
    // What the frame now in PicBack was drawn for. The title's stars and colours stay put,
    // so a frame for the same phase and wipe would draw the same pixels again.
    uint8_t drawnPhase = kWipingIn;
    int16_t drawnWipeWidth = -1;
};

void EnterTitle(Game& game) {
    GameState& s = game.state;
    uint8_t shown = static_cast<uint8_t>(FloorInt(game.Rnd() * s.openCourses));
    // Kept: with two open courses the original always shows course 0, yet still spends
    // the draw, so every later random number stays the same.
    s.courseIndex = s.openCourses == 2 ? 0 : shown;
    ResetRun(s);
    FillStarField(game);
}

// Opens the sounds and refreshes the record file; the previous frame stays shown.
void LoadEverything(Game& game) {
    SendOpenCommands(game);
    LoadRecords(game);
    SaveRecords(game);
}

void DrawTitleBand(Game& game) {
    for (int i = 0; i <= 30; ++i) {
        int y = 50 + 2 * i;
        Line(game.PicBack, 0, y, 400, y, BasePlus(game.state, 10 * std::abs(i - 15)));
    }
    PrintText(game, "Ke-Lo Typing", 32, 50, BasePlus(game.state, 80), 42);
    PrintText(game, "Ke-Lo Typing", 38, 50, BasePlus(game.state, 80), 42);
    PrintText(game, "Ke-Lo Typing", 35, 50, Grey(240), 42);
}

void DrawStatusLine(Game& game, uint8_t titlePhase) {
    if (titlePhase != kReady) {
        // Kept: "Plase Wait..." is the original's own text, typo included; correcting it
        // would change the title's pixels.
        for (int i = 0; i <= 6; ++i)
            PrintText(game, "Plase Wait...", static_cast<int16_t>(125 + i), 220, Grey(i * 40), 18);
        return;
    }
    const Colour shadow = BasePlus(game.state, 20);
    const Colour outline = BasePlus(game.state, 120);
    PrintText(game, "Press Space Key", 108, 220, shadow, 18);
    PrintText(game, "Press Space Key", 116, 220, shadow, 18);
    PrintText(game, "Press Space Key", 111, 220, outline, 18);
    PrintText(game, "Press Space Key", 113, 220, outline, 18);
    PrintText(game, "Press Space Key", 112, 220, kWhite, 18);
}

void DrawTitleFrame(Game& game, uint8_t titlePhase) {
    FilledBox(game.PicBack, 0, 0, 400, 300, BasePlus(game.state, 0));
    DrawStarField(game);
    DrawTitleBand(game);
    DrawStatusLine(game, titlePhase);
    const std::string_view credit = game.Translated("製作： KAVI-noleb.");
    PrintText(game, credit, 275, 280, Grey(200), 10);
    PrintText(game, credit, 276, 280, Grey(200), 10);
}

// Runs frames until Space is taken (true) or the window is closing (false); Escape asks
// to close as the window's close button does.
bool RunTitleFrames(Game& game) {
    TitleLocals t;
    for (;;) {
        game.WaitFrame(kFrameMs);
        if (game.Quitting()) return false;
        if (t.titlePhase == kLoading) LoadEverything(game);
        t.wipeWidth = NarrowerWipe(t.wipeWidth);
        if (t.titlePhase != kReady && t.wipeWidth == 0) t.titlePhase = static_cast<uint8_t>((t.titlePhase + 1) % 3);
        // Space is queried twice. A tap that came and went between two frames is used up
        // by the first query and not taken, so the wait for Space after taking it never
        // holds the screen still on a key that is already up.
        if (!game.KeyPressed(vk::Space)) t.spaceLatch = 0;
        if (t.titlePhase == kReady && t.spaceLatch == 0 && game.KeyPressed(vk::Space)) return true;
        if (!game.KeyPressed(vk::Escape)) t.escapeLatch = 0;
        if (t.escapeLatch == 0 && game.KeyPressed(vk::Escape)) {
            game.OnCloseRequest();
            return false;
        }
        if (t.drawnPhase == t.titlePhase && t.drawnWipeWidth == t.wipeWidth) {
            game.PresentSameFrame();
            continue;
        }
        DrawTitleFrame(game, t.titlePhase);
        DrawWipe(game, t.wipeWidth);
        t.drawnPhase = t.titlePhase;
        t.drawnWipeWidth = t.wipeWidth;
        game.PresentFrame();
    }
}

}  // namespace

Screen TitleScreen(Game& game) {
    EnterTitle(game);
    game.WaitFrame(kHandOverPauseMs);
    if (!RunTitleFrames(game)) return Screen::None;

    game.SendSound("play wavDec notify from 0");
    // Kept: the original waits for Space to read as pressed once more (it normally still
    // is), and course select always opens on course 0, whatever course coloured the title.
    if (!game.WaitForKey(vk::Space, true)) return Screen::None;
    game.state.courseIndex = 0;
    if (!PlayClosingWipe(game)) return Screen::None;
    game.WaitFrame(kHandOverPauseMs);
    return Screen::Select;
}

}  // namespace kelo
