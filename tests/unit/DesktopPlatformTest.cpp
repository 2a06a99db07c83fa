#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "GameLoop.h"
#include "app/Game.h"
#include "draw/Colour.h"
#include "platform/sdl/SdlPlatform.h"

namespace kelo {
namespace {

class NoText : public TextRenderer {
public:
    const TextMask& Render(std::string_view, int) override { return mask_; }

private:
    TextMask mask_;
};

struct RecordingSink : EventSink {
    std::vector<std::string> events;
    void OnKeyDown(int vk) override { events.push_back("down " + std::to_string(vk)); }
    void OnKeyUp(int vk) override { events.push_back("up " + std::to_string(vk)); }
    void OnCloseRequest() override { events.push_back("close"); }
    bool TakesZoomKeys() const override { return takesZoomKeys; }
    bool takesZoomKeys = false;
};

// Runs on SDL's dummy video driver, which has no accelerated renderer: the window
// works through the software fallback.
class DesktopPlatform : public ::testing::Test {
protected:
    void SetUp() override {
        SDL_setenv("SDL_VIDEODRIVER", "dummy", 1);
        ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
        std::string error;
        SoundOutput sound{[this] { sounds_.emplace_back("(device opened)"); },
                          [this](std::string_view command) { sounds_.emplace_back(command); }};
        platform_ = SdlPlatform::Create(text_, sound, error);
        ASSERT_NE(platform_, nullptr) << error;
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    }
    void TearDown() override {
        platform_.reset();
        SDL_Quit();
    }

    static void PushKey(Uint32 type, SDL_Keycode key, SDL_Scancode scancode, bool repeat = false,
                        Uint16 modifiers = KMOD_NONE) {
        SDL_Event event{};
        event.type = type;
        event.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
        event.key.repeat = repeat ? 1 : 0;
        event.key.keysym.sym = key;
        event.key.keysym.scancode = scancode;
        event.key.keysym.mod = modifiers;
        SDL_PushEvent(&event);
    }

    NoText text_;
    std::vector<std::string> sounds_;
    std::unique_ptr<SdlPlatform> platform_;
};

TEST_F(DesktopPlatform, WindowIsCaptionedResizableAndShownOnlyOnRequest) {
    SDL_Window* window = platform_->Window();
    EXPECT_STREQ(SDL_GetWindowTitle(window), "Ke-Lo Typing");
    int width = 0, height = 0;
    SDL_GetWindowSize(window, &width, &height);
    EXPECT_EQ(width, 400);
    EXPECT_EQ(height, 300);
    EXPECT_TRUE(SDL_GetWindowFlags(window) & SDL_WINDOW_RESIZABLE);
    EXPECT_TRUE(SDL_GetWindowFlags(window) & SDL_WINDOW_HIDDEN);
    platform_->ShowWindow();
    EXPECT_TRUE(SDL_GetWindowFlags(window) & SDL_WINDOW_SHOWN);
    EXPECT_FALSE(SDL_IsTextInputActive());
}

// The game's clock counts from system start, not from SDL's start, so the first frame
// wait after start-up (lastFrameTime 0) returns at once, even the title's 500 ms pause.
TEST_F(DesktopPlatform, ClockIsFarFromZeroRightAfterStartUp) { EXPECT_GE(platform_->Now(), 500u); }

TEST_F(DesktopPlatform, YieldDeliversKeysRepeatsAndCloseInOrder) {
    PushKey(SDL_KEYDOWN, SDLK_f, SDL_SCANCODE_F);
    PushKey(SDL_KEYDOWN, SDLK_f, SDL_SCANCODE_F, true);
    PushKey(SDL_KEYDOWN, SDLK_UNKNOWN, SDL_SCANCODE_UNKNOWN);
    PushKey(SDL_KEYUP, SDLK_f, SDL_SCANCODE_F);
    PushKey(SDL_KEYDOWN, SDLK_COMMA, SDL_SCANCODE_COMMA);
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    SDL_PushEvent(&quit);

    RecordingSink sink;
    platform_->Yield(sink, YieldKind::FrameWait);
    EXPECT_EQ(sink.events, (std::vector<std::string>{"down 70", "down 70", "up 70", "down 188", "close"}));

    sink.events.clear();
    platform_->Yield(sink, YieldKind::KeyWait);
    EXPECT_TRUE(sink.events.empty());
}

TEST_F(DesktopPlatform, PresentShowsPackedColoursAsTheirChannels) {
    Image frame(400, 300, Rgb(10, 20, 30));
    frame.At(0, 0) = Rgb(255, 0, 0);
    frame.At(399, 299) = Rgb(1, 2, 250);
    platform_->Present(frame, FrameKind::New);

    SDL_Surface* surface = SDL_GetWindowSurface(platform_->Window());
    ASSERT_NE(surface, nullptr) << SDL_GetError();
    EXPECT_EQ(SDL_GetRenderer(platform_->Window()), nullptr);
    auto pixelAt = [&](int x, int y) {
        const auto* row = static_cast<const Uint8*>(surface->pixels) + y * surface->pitch;
        Uint8 red = 0, green = 0, blue = 0;
        SDL_GetRGB(reinterpret_cast<const Uint32*>(row)[x], surface->format, &red, &green, &blue);
        return Rgb(red, green, blue);
    };
    EXPECT_EQ(pixelAt(0, 0), Rgb(255, 0, 0));
    EXPECT_EQ(pixelAt(200, 150), Rgb(10, 20, 30));
    EXPECT_EQ(pixelAt(399, 299), Rgb(1, 2, 250));
}

TEST_F(DesktopPlatform, CtrlQClosesAndFullscreenKeysToggleWithoutReachingTheGame) {
    PushKey(SDL_KEYDOWN, SDLK_LCTRL, SDL_SCANCODE_LCTRL, false, KMOD_LCTRL);
    PushKey(SDL_KEYDOWN, SDLK_q, SDL_SCANCODE_A, false, KMOD_LCTRL);  // Q on a French keyboard
    PushKey(SDL_KEYDOWN, SDLK_q, SDL_SCANCODE_Q);
    PushKey(SDL_KEYDOWN, SDLK_F11, SDL_SCANCODE_F11);
    PushKey(SDL_KEYDOWN, SDLK_F11, SDL_SCANCODE_F11, true);
    PushKey(SDL_KEYDOWN, SDLK_RETURN, SDL_SCANCODE_RETURN, false, KMOD_LALT);
    PushKey(SDL_KEYDOWN, SDLK_RETURN, SDL_SCANCODE_RETURN);
    RecordingSink sink;
    platform_->Yield(sink, YieldKind::FrameWait);
    EXPECT_EQ(sink.events, (std::vector<std::string>{"down 17", "close", "down 81", "down 13"}));
    EXPECT_EQ(platform_->DisplayChoice(), (WindowOptions{1, false}));
    PushKey(SDL_KEYDOWN, SDLK_F11, SDL_SCANCODE_F11);
    platform_->Yield(sink, YieldKind::FrameWait);
    EXPECT_EQ(platform_->DisplayChoice(), (WindowOptions{1, true}));
}

// The dummy display (1024 x 768) fits zoom 2 at most; its default is 1.
TEST_F(DesktopPlatform, ZoomKeysZoomTheWindowOnlyWhenTheGameLetsThem) {
    RecordingSink sink;
    PushKey(SDL_KEYDOWN, SDLK_EQUALS, SDL_SCANCODE_EQUALS, false, KMOD_LCTRL);
    platform_->Yield(sink, YieldKind::FrameWait);
    EXPECT_EQ(sink.events, (std::vector<std::string>{"down 187"}));
    EXPECT_EQ(platform_->DisplayChoice().zoom, 1);

    sink.takesZoomKeys = true;
    sink.events.clear();
    const std::pair<SDL_Keycode, int> steps[] = {{SDLK_KP_PLUS, 2}, {SDLK_PLUS, 2}, {SDLK_MINUS, 1},
                                                 {SDLK_EQUALS, 2},  {SDLK_0, 1},    {SDLK_KP_PLUS, 2}};
    for (const auto& [key, zoom] : steps) {
        PushKey(SDL_KEYDOWN, key, SDL_GetScancodeFromKey(key), false, KMOD_RCTRL);
        platform_->Yield(sink, YieldKind::FrameWait);
        EXPECT_EQ(platform_->DisplayChoice().zoom, zoom) << SDL_GetKeyName(key);
    }
    EXPECT_TRUE(sink.events.empty());
    int width = 0, height = 0;
    SDL_GetWindowSize(platform_->Window(), &width, &height);
    EXPECT_EQ(width, 800);
    EXPECT_EQ(height, 600);
}

TEST_F(DesktopPlatform, WindowSurfaceShowsThePictureZoomedAndCentred) {
    platform_.reset();
    std::string error;
    platform_ = SdlPlatform::Create(SoundOutput{}, WindowOptions{2, false}, error);
    ASSERT_NE(platform_, nullptr) << error;
    platform_->SetText(text_);
    SDL_Window* window = platform_->Window();
    int width = 0, height = 0;
    SDL_GetWindowSize(window, &width, &height);
    EXPECT_EQ(width, 800);
    EXPECT_EQ(height, 600);

    Image frame(400, 300, Rgb(10, 20, 30));
    frame.At(399, 299) = Rgb(200, 100, 50);
    platform_->Present(frame, FrameKind::New);
    SDL_SetWindowSize(window, 1000, 700);
    RecordingSink sink;
    platform_->Yield(sink, YieldKind::FrameWait);
    EXPECT_EQ(platform_->DisplayChoice(), (WindowOptions{2, false}));

    SDL_Surface* surface = SDL_GetWindowSurface(window);
    ASSERT_NE(surface, nullptr) << SDL_GetError();
    ASSERT_EQ(surface->w, 1000);
    auto pixelAt = [&](int x, int y) {
        const auto* row = static_cast<const Uint8*>(surface->pixels) + y * surface->pitch;
        Uint8 red = 0, green = 0, blue = 0;
        SDL_GetRGB(reinterpret_cast<const Uint32*>(row)[x], surface->format, &red, &green, &blue);
        return Rgb(red, green, blue);
    };
    EXPECT_EQ(pixelAt(99, 49), kBlack);
    EXPECT_EQ(pixelAt(100, 50), Rgb(10, 20, 30));
    EXPECT_EQ(pixelAt(898, 648), Rgb(200, 100, 50));
    EXPECT_EQ(pixelAt(899, 649), Rgb(200, 100, 50));
    EXPECT_EQ(pixelAt(900, 650), kBlack);
}

// Still frames are not drawn again; any change, or a new window size, is.
TEST_F(DesktopPlatform, RepeatedFramesKeepTheWindowCurrent) {
    SDL_Window* window = platform_->Window();
    auto centre = [&] {
        SDL_Surface* surface = SDL_GetWindowSurface(window);
        const auto* row = static_cast<const Uint8*>(surface->pixels) + (surface->h / 2) * surface->pitch;
        Uint8 red = 0, green = 0, blue = 0;
        SDL_GetRGB(reinterpret_cast<const Uint32*>(row)[surface->w / 2], surface->format, &red, &green, &blue);
        return Rgb(red, green, blue);
    };
    Image frame(400, 300, Rgb(0, 0, 200));
    platform_->Present(frame, FrameKind::New);
    platform_->Present(frame, FrameKind::New);
    EXPECT_EQ(centre(), Rgb(0, 0, 200));
    frame.At(200, 150) = Rgb(0, 255, 0);
    platform_->Present(frame, FrameKind::New);
    EXPECT_EQ(centre(), Rgb(0, 255, 0));
    platform_->Present(frame, FrameKind::Repeated);
    EXPECT_EQ(centre(), Rgb(0, 255, 0));
    // A new window surface is drawn even for a repeated frame.
    SDL_SetWindowSize(window, 900, 700);
    platform_->Present(frame, FrameKind::Repeated);
    EXPECT_EQ(centre(), Rgb(0, 255, 0));
}

// At zoom 1 the window surface is the shown picture: a resize that keeps zoom 1 gives a
// new surface, which a repeated frame must still fill, centred on black.
TEST_F(DesktopPlatform, RepeatedFrameFillsANewSurfaceAtZoomOne) {
    SDL_Window* window = platform_->Window();
    Image frame(400, 300, Rgb(0, 0, 200));
    frame.At(0, 0) = Rgb(0, 255, 0);
    platform_->Present(frame, FrameKind::New);
    SDL_SetWindowSize(window, 500, 350);
    platform_->Present(frame, FrameKind::Repeated);
    SDL_Surface* surface = SDL_GetWindowSurface(window);
    ASSERT_NE(surface, nullptr) << SDL_GetError();
    ASSERT_EQ(surface->w, 500);
    auto pixelAt = [&](int x, int y) {
        const auto* row = static_cast<const Uint8*>(surface->pixels) + y * surface->pitch;
        Uint8 red = 0, green = 0, blue = 0;
        SDL_GetRGB(reinterpret_cast<const Uint32*>(row)[x], surface->format, &red, &green, &blue);
        return Rgb(red, green, blue);
    };
    EXPECT_EQ(pixelAt(49, 25), kBlack);
    EXPECT_EQ(pixelAt(50, 25), Rgb(0, 255, 0));
    EXPECT_EQ(pixelAt(449, 324), Rgb(0, 0, 200));
    EXPECT_EQ(pixelAt(450, 325), kBlack);
}

TEST_F(DesktopPlatform, SoundDeviceOpensOnceWhenShownAndCommandsPassUnchanged) {
    platform_->SendSound("close wavTip");
    EXPECT_EQ(sounds_, (std::vector<std::string>{"close wavTip"}));
    platform_->ShowWindow();
    platform_->ShowWindow();
    platform_->SendSound("play wavTip notify from 0");
    EXPECT_EQ(sounds_, (std::vector<std::string>{"close wavTip", "(device opened)", "play wavTip notify from 0"}));
}

// A copy that found the instance lock taken ends in start-up: the window stays hidden,
// the sound device stays closed, and only the close commands are sent.
TEST_F(DesktopPlatform, SecondCopyEndsInStartUpWithoutShowingAnything) {
    platform_->SetOtherInstanceRunning(true);
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    SDL_PushEvent(&quit);  // ends a game that failed to stop, at its first frame
    Game game(*platform_);
    PlayGame(game);
    EXPECT_EQ(game.state.quitRequested, 1);
    EXPECT_TRUE(SDL_GetWindowFlags(platform_->Window()) & SDL_WINDOW_HIDDEN);
    ASSERT_EQ(sounds_.size(), 9u);  // those of its close request
    for (const std::string& command : sounds_) EXPECT_EQ(command.rfind("close ", 0), 0u) << command;
}

}  // namespace
}  // namespace kelo
