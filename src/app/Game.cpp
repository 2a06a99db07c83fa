#include "app/Game.h"

#include "draw/Helpers.h"
#include "records/RecordFile.h"
#include "run/Course.h"
#include "run/PlayRun.h"
#include "run/Typing.h"
#include "run/World.h"
#include "screens/ProgressScreen.h"
#include "screens/SelectScreen.h"
#include "screens/TitleScreen.h"
#include "sound/SoundAliases.h"

namespace kelo {

namespace {

// The platform's window colours that a surface shows until it is first drawn on.
constexpr Colour kWindowBackground = Rgb(240, 240, 240);
constexpr Colour kWindowText = kBlack;

const char* const kCourseNotes[kCourseCount][2] = {
    {"直線のみ", "キーボード中段キーのみ使用"},
    {"左カーブ・右カーブ有", "キーボード中段キーのみ使用"},
    {"左急カーブ・右急カーブ有", "キーボード中段キーのみ使用"},
    {"直線のみ", "左右交互に打つ"},
    {"直線のみ", ""},
    {"左急カーブ・右急カーブ有", ""},
    {"左カーブ・右カーブ有", ""},
    {"直線のみ", ""},
    {"左急カーブ・右急カーブ有", ""},
};

Surface MakeSurface(int width, int height) { return Surface(width, height, kWindowBackground, kWindowText); }

}  // namespace

const char* ScreenName(Screen screen) {
    switch (screen) {
        case Screen::Title: return "title";
        case Screen::Select: return "select";
        case Screen::Run: return "run";
        case Screen::Progress: return "progress";
        case Screen::None: break;
    }
    return "none";
}

Game::Game(Platform& p) : platform(p) {}

void Game::WaitFrame(int32_t ms) {
    platform.OnFrameWaitBegin();
    const uint32_t wanted = static_cast<uint32_t>(ms);
    for (;;) {
        uint32_t waited = ClockDiffSince(static_cast<uint32_t>(state.lastFrameTime));
        if (waited >= wanted) break;
        // Changed: the original polls the clock without sleeping; sleeping gives the same
        // frame times without keeping a core busy.
        platform.Sleep(wanted - waited);
    }
    state.lastFrameTime = static_cast<int32_t>(platform.Now());
    platform.Yield(*this, YieldKind::FrameWait);
}

uint32_t Game::ClockDiffSince(uint32_t earlier) { return platform.Now() - earlier; }

void Game::YieldEvents(YieldKind kind) { platform.Yield(*this, kind); }

bool Game::WaitForKey(int vk, bool pressed) {
    while (KeyPressed(vk) != pressed) {
        if (Quitting()) return false;
        YieldEvents(YieldKind::KeyWait);
    }
    return !Quitting();
}

void Game::PresentFrame() { platform.Present(PicBack.image, FrameKind::New); }

void Game::PresentSameFrame() { platform.Present(PicBack.image, FrameKind::Repeated); }

void Game::CopyToPicMain(const Image& shown) { BitBlt(PicMain.image, 0, 0, 400, 300, shown, 0, 0, BlitMode::Copy); }

void Game::OnKeyDown(int vk) {
    keyboard.Down(vk);
    if (RunTakesKeyEvents()) PicMain_KeyDown(*this, vk);
}

void Game::OnKeyUp(int vk) {
    keyboard.Up(vk);
    if (RunTakesKeyEvents()) PicMain_KeyUp(*this, vk);
}

void PrintText(Game& game, std::string_view text, int16_t x, int16_t y, Colour colour, uint8_t size) {
    PrintText(game.PicBack, game.Text(), text, x, y, colour, size);
}

void DrawWipe(Game& game, int16_t width) { DrawWipe(game.PicBack, width); }

void Game::OnCloseRequest() { Form_QueryUnload(*this); }

void SendOpenCommands(Game& game) {
    for (const SoundAlias& sound : kSoundAliases) game.SendSound(OpenCommand(sound));
}

void SendCloseCommands(Game& game) {
    for (const SoundAlias& sound : kSoundAliases) game.SendSound(CloseCommand(sound));
}

void Form_QueryUnload(Game& game) {
    SendCloseCommands(game);
    game.state.quitRequested = 1;
}

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

    for (int c = 0; c < kCourseCount; ++c) {
        s.courseNotes[c][0] = kCourseNotes[c][0];
        s.courseNotes[c][1] = kCourseNotes[c][1];
    }
    s.openCourses = 2;
    LoadRecords(game);
    game.platform.ShowWindow();
    return true;
}

void SetUpSurfaces(Game& game) {
    game.PicBack = MakeSurface(400, 300);
    game.PicWarp = MakeSurface(3000, 300);
    game.PicWarpMask = MakeSurface(3000, 300);
    game.PicBBack = MakeSurface(300, 300);
    game.PicBMask = MakeSurface(300, 300);
    game.PicBMask.fillColour = kWhite;
    game.PicMain = MakeSurface(400, 300);
}

void RunScreens(Game& game, Screen next) {
    while (next != Screen::None && !game.Quitting()) {
        // Changed: the replay recorder watches the screens open, for a snapshot at each
        // run's start; the original has none. Without one (the default) nothing is called.
        if (game.screenWatcher) game.screenWatcher->OnScreenOpening(game, next);
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
