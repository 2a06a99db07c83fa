#include "GameLoop.h"

#include "records/RecordFile.h"
#include "run/Course.h"
#include "run/PlayRun.h"
#include "run/World.h"
#include "screens/ProgressScreen.h"
#include "screens/SelectScreen.h"
#include "screens/TitleScreen.h"

namespace kelo {

namespace {

// Course select resets the shown course and fills the star field on its first frame; a
// run entered straight after start-up finds them as if it came from there.
void ArriveAsFromCourseSelect(Game& game) {
    ResetRun(game.state);
    FillStarField(game);
}

}  // namespace

void PlayGame(Game& game, Screen firstScreen) {
    if (!Form_Load(game)) return;
    if (firstScreen == Screen::Run || firstScreen == Screen::Progress) ArriveAsFromCourseSelect(game);
    RunScreens(game, firstScreen);
}

bool Form_Load(Game& game) {
    GameState& s = game.state;
    s.courseNotes = {};
    s.courseRecords = {};
    s.clearMark = {};
    if (game.platform.OtherInstanceRunning()) {
        Form_QueryUnload(game);
        return false;
    }
    SendCloseCommands(game);
    game.random.Seed(game.platform.RandomSeed());

    SetUpSurfaces(game);

    FillCourseNotes(s);
    s.openCourses = 2;
    LoadRecords(game);
    game.platform.ShowWindow();
    return true;
}

void RunScreens(Game& game, Screen next) {
    while (next != Screen::None && !game.Quitting()) {
        game.screen = next;
        switch (next) {
            case Screen::Title: next = TitleScreen(game); break;
            case Screen::Select: next = SelectScreen(game); break;
            case Screen::Run: next = PlayRun(game); break;
            case Screen::Progress: next = ProgressScreen(game); break;
            case Screen::None: break;
        }
    }
}

}  // namespace kelo
