#pragma once
// The game window (Form1): it owns the game state record, the six picture surfaces,
// the keyboard state and the random generator for the whole life of the game, and
// offers the shell's services to the screens: frame pacing, yields, key polling,
// sound commands and presenting a frame.

#include <cstdint>
#include <functional>
#include <string_view>

#include "app/GameState.h"
#include "app/Keyboard.h"
#include "app/Random.h"
#include "draw/LayerSketch.h"
#include "draw/Painter.h"
#include "platform/Platform.h"

namespace kelo {

// The active screen. A screen hands over by returning the next one to the dispatcher.
enum class Screen { None, Title, Select, Run };

const char* ScreenName(Screen screen);

class Game : public EventSink {
public:
    explicit Game(Platform& platform);

    Platform& platform;
    GameState state;
    RunLocals run;
    Screen screen = Screen::None;
    Keyboard keyboard;
    Random random;

    // The six surfaces. Images are 400 x 300 (PicBack, PicMain), 300 x 300 (PicBBack,
    // PicBMask) and 3000 x 300 (PicWarp, PicWarpMask: ten frames side by side).
    Surface PicBack, PicWarp, PicWarpMask, PicBBack, PicBMask, PicMain;
    // What the world last drew into PicBBack/PicBMask and the history planes.
    SketchedLayers starLayers;

    // During a run these receive PicMain's key-down and key-up events.
    std::function<void(int vk)> keyDownHandler;
    std::function<void(int vk)> keyUpHandler;

    // Waits until `ms` milliseconds have passed since the end of the previous wait
    // (32-bit wrap-around arithmetic), records the time and yields to window events once.
    void WaitFrame(int32_t ms);
    // One extra yield to window events outside WaitFrame.
    void YieldEvents(YieldKind kind = YieldKind::Extra);
    // GetAsyncKeyState: down now, or pressed since the previous query of that key.
    bool KeyPressed(int vk) { return keyboard.Pressed(vk); }
    // Yields until `vk` reads as pressed (pressed = true) or as not pressed; returns
    // false when the window was asked to close meanwhile.
    bool WaitForKey(int vk, bool pressed);
    void SendSound(std::string_view command) { platform.SendSound(command); }
    double Rnd() { return random.Rnd(); }
    TextRenderer& Text() { return platform.Text(); }
    // Copies the 400 x 300 frame of PicBack to PicMain and shows it.
    void PresentFrame();
    bool Quitting() const { return state.quitRequested != 0; }

    // EventSink
    void OnKeyDown(int vk) override;
    void OnKeyUp(int vk) override;
    void OnCloseRequest() override;

private:
    uint32_t ClockDiffSince(uint32_t earlier);
    bool timerResolutionRequested_ = false;
    friend void Form_Load(Game& game, Screen firstScreen);
    friend void Form_QueryUnload(Game& game);
};

// Start-up, then the whole screen flow from `firstScreen` (the title normally; the
// simulator may start elsewhere). Returns when the game is closing.
void Form_Load(Game& game, Screen firstScreen = Screen::Title);
// The close request: closes the sounds and sets quitRequested. Never refused.
void Form_QueryUnload(Game& game);
void Form_Unload(Game& game);

// Creates the six surfaces as start-up does: images of their sizes in the window's
// background colour, the window's text colour in front, PicBMask filling in white.
void SetUpSurfaces(Game& game);

// Runs screens until one returns Screen::None. Screens never run inside each other,
// so any number of runs in a row does not deepen the call stack.
void RunScreens(Game& game, Screen first);

// The nine sound aliases' close commands, in their order.
void SendCloseCommands(Game& game);

}  // namespace kelo
