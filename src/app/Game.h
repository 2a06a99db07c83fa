#pragma once
// The game window (Form1): it owns the game state record, the six picture surfaces,
// the keyboard state and the random generator for the whole life of the game, and
// offers the shell's services to the screens: frame pacing, yields, key polling,
// sound commands and presenting a frame.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "app/GameState.h"
#include "app/KeyLayout.h"
#include "app/Keyboard.h"
#include "app/Random.h"
#include "draw/LayerSketch.h"
#include "draw/Painter.h"
#include "platform/Platform.h"

namespace kelo {

// The active screen. A screen hands over by returning the next one to the dispatcher.
enum class Screen { None, Title, Select, Run, Progress, Watch };

const char* ScreenName(Screen screen);

class RunObserver;
class Game;

// Told when the dispatcher opens a screen, before the screen's first step; the replay
// recorder takes its snapshot of a run's start there. Only reads the game.
class ScreenWatcher {
public:
    virtual ~ScreenWatcher() = default;
    virtual void OnScreenOpening(const Game& game, Screen screen) = 0;
};

class Game : public EventSink {
public:
    explicit Game(Platform& platform);

    Platform& platform;
    GameState state;
    RunLocals run;
    Screen screen = Screen::None;
    Keyboard keyboard;
    Random random;
    // Goal runs that no record save has written yet. A save ranks them into the record
    // file as it finds it, so runs saved meanwhile by another copy of the game are kept.
    std::vector<FinishedRun> unsavedRuns;
    // Set for a practice run: the weight of each typed key (TypedKeyIndex) when its hand
    // draws a letter. Cleared when the run ends.
    std::optional<std::array<float, kTypedKeyCount>> practiceWeights;

    // The six surfaces, which keep the names of the game's picture boxes. Every
    // screen composes its whole frame in PicBack and presents it on PicMain, so the player
    // never sees a half-drawn frame; the other four exist for the run's star field.
    Surface PicBack;      // 400 x 300: the back buffer; all drawing and text of a frame goes here
    Surface PicWarp;      // 3000 x 300: the star layers of the last ten run frames, side by side, for the streaks
    Surface PicWarpMask;  // 3000 x 300: the masks of those ten layers
    Surface PicBBack;     // 300 x 300: this run frame's star layer: the stars in their colours on white
    Surface PicBMask;     // 300 x 300: its mask: white at the stars, the course's back colour elsewhere
    Surface PicMain;      // 400 x 300 once CopyToPicMain has filled it: the shown frame; the run's key events are its events
    // What the run's world last drew into PicBBack, PicBMask and the history planes.
    SketchedLayers starLayers;
    // Watches every run for its history when set; the front-end owns it.
    RunObserver* runObserver = nullptr;
    // Watches the dispatcher when set; the front-end owns it.
    ScreenWatcher* screenWatcher = nullptr;

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
    // One of the game's texts in the language the player chose (Platform::Translate).
    std::string_view Translated(std::string_view original) { return platform.Translate(original); }
    // Shows the 400 x 300 frame of PicBack.
    void PresentFrame();
    // Shows PicBack again, for a still screen whose PicBack holds the frame it presented
    // last: nothing is compared.
    void PresentSameFrame();
    // The frame is presented straight from PicBack, and nothing in the game reads
    // PicMain's pixels, so they are not kept up to date on every frame (that copy was a
    // sizeable part of a run frame). Whoever wants to look at the shown frame on PicMain
    // (the simulator's observers) copies the presented image there with this.
    void CopyToPicMain(const Image& shown);
    bool Quitting() const { return state.quitRequested != 0; }
    // Whether key events go to the run's typing (picMainKeys): while the run is the
    // active screen. The other screens only poll the keyboard.
    bool RunTakesKeyEvents() const { return screen == Screen::Run; }
    // The handlers of the shown frame's key events (PicMain_KeyDown, PicMain_KeyUp): the
    // run's typing, which PlayRun hands in as it opens, so that this base of every screen
    // includes none of them.
    struct KeyEventHandlers {
        void (*down)(Game& game, int vk) = nullptr;
        void (*up)(Game& game, int vk) = nullptr;
    };
    KeyEventHandlers picMainKeys;

    // EventSink
    void OnKeyDown(int vk) override;
    void OnKeyUp(int vk) override;
    void OnCloseRequest() override;
    // Everywhere but in a run, where Ctrl and the others are wrong keys.
    bool TakesZoomKeys() const override { return screen != Screen::Run; }

private:
    uint32_t ClockDiffSince(uint32_t earlier);
};

// The close request, named after the window's event: closes the sounds and sets
// quitRequested. Never refused.
void Form_QueryUnload(Game& game);

// PrintText and DrawWipe (draw/Helpers.h) on PicBack, the surface every screen draws on.
void PrintText(Game& game, std::string_view text, int16_t x, int16_t y, Colour colour, uint8_t size);
void PrintTextCopies(Game& game, std::string_view text, uint8_t size, std::span<const TextCopy> copies);
void DrawWipe(Game& game, int16_t width);

// Creates the six surfaces as start-up does: images of their sizes in the window's
// background colour, the window's text colour in front, PicBMask filling in white.
void SetUpSurfaces(Game& game);

// The open and the close commands of the nine sound aliases (sound/SoundAliases.h), in
// their order.
void SendOpenCommands(Game& game);
void SendCloseCommands(Game& game);

}  // namespace kelo
