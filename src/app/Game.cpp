#include "app/Game.h"

#include "draw/Helpers.h"
#include "sound/SoundAliases.h"

namespace kelo {

namespace {

// The platform's window colours that a surface shows until it is first drawn on.
constexpr Colour kWindowBackground = Rgb(240, 240, 240);
constexpr Colour kWindowText = kBlack;

Surface MakeSurface(int width, int height) { return Surface(width, height, kWindowBackground, kWindowText); }

}  // namespace

const char* ScreenName(Screen screen) {
    switch (screen) {
        case Screen::Title: return "title";
        case Screen::Select: return "select";
        case Screen::Run: return "run";
        case Screen::Progress: return "progress";
        case Screen::Watch: return "watch";
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

void Game::CopyToPicMain(const Image& shown) {
    if (PicMain.image.Width() != 400 || PicMain.image.Height() != 300) PicMain.image = Image(400, 300);
    BitBlt(PicMain.image, 0, 0, 400, 300, shown, 0, 0, BlitMode::Copy);
}

void Game::OnKeyDown(int vk) {
    keyboard.Down(vk);
    if (RunTakesKeyEvents() && picMainKeys.down) picMainKeys.down(*this, vk);
}

void Game::OnKeyUp(int vk) {
    keyboard.Up(vk);
    if (RunTakesKeyEvents() && picMainKeys.up) picMainKeys.up(*this, vk);
}

void PrintText(Game& game, std::string_view text, int16_t x, int16_t y, Colour colour, uint8_t size) {
    PrintText(game.PicBack, game.Text(), text, x, y, colour, size);
}

void PrintTextCopies(Game& game, std::string_view text, uint8_t size, std::span<const TextCopy> copies) {
    PrintTextCopies(game.PicBack, game.Text(), text, size, copies);
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

void SetUpSurfaces(Game& game) {
    game.PicBack = MakeSurface(400, 300);
    game.PicWarp = MakeSurface(3000, 300);
    game.PicWarpMask = MakeSurface(3000, 300);
    game.PicBBack = MakeSurface(300, 300);
    game.PicBMask = MakeSurface(300, 300);
    game.PicBMask.fillColour = kWhite;
    // Its pixels come with the first CopyToPicMain: a front-end that never looks at
    // them does not keep 470 KiB for them.
    game.PicMain = MakeSurface(0, 0);
}

}  // namespace kelo
