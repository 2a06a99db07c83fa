// kelo-typing: the game on the desktop. It takes no command-line options.

#include <SDL.h>

#include <cstdio>
#include <memory>
#include <string>

#include "app/Game.h"
#include "platform/common/TextRendering.h"
#include "platform/sdl/AudioBackend.h"
#include "platform/sdl/SdlPlatform.h"

namespace {

int Fail(const char* what, const std::string& why) {
    std::fprintf(stderr, "kelo-typing: %s: %s\n", what, why.c_str());
    return 1;
}

int RunGame() {
    std::string error;
    // Without a font every text of the game would be invisible: refuse to start.
    std::unique_ptr<kelo::TextRenderer> font = kelo::CreateTextRenderer(error);
    if (!font) return Fail("no usable font", error);
    // No sound device leaves the game silent and otherwise unchanged.
    kelo::AudioBackend audio;
    kelo::SoundOutput sound{[&audio] { audio.Open(); }, [&audio](std::string_view command) { audio.Command(command); }};
    std::unique_ptr<kelo::SdlPlatform> platform = kelo::SdlPlatform::Create(*font, sound, error);
    if (!platform) return Fail("cannot open the window", error);
    kelo::Game game(*platform);
    kelo::PlayGame(game);
    return 0;
}

}  // namespace

int main(int, char**) {
    if (SDL_Init(SDL_INIT_VIDEO) != 0) return Fail("cannot start the display", SDL_GetError());
    const int status = RunGame();
    SDL_Quit();
    return status;
}
