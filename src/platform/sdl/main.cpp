// kelo-typing: the game on the desktop. It takes no command-line options.

#include <SDL.h>

#include <cstdio>
#include <memory>
#include <string>

#include "app/Game.h"
#include "platform/sdl/SdlPlatform.h"

namespace {

// TODO: the font renderer from platform/common/TextRendering.h once it exists.
std::unique_ptr<kelo::TextRenderer> OpenFont(std::string& error) {
    error = "no font renderer is built in";
    return nullptr;
}

int Fail(const char* what, const std::string& why) {
    std::fprintf(stderr, "kelo-typing: %s: %s\n", what, why.c_str());
    return 1;
}

int RunGame() {
    std::string error;
    std::unique_ptr<kelo::TextRenderer> font = OpenFont(error);
    if (!font) return Fail("no usable font", error);
    std::unique_ptr<kelo::SdlPlatform> platform = kelo::SdlPlatform::Create(*font, {}, error);
    if (!platform) return Fail("cannot open the window", error);
    kelo::Game game(*platform);
    kelo::Form_Load(game);
    return 0;
}

}  // namespace

int main(int, char**) {
    if (SDL_Init(SDL_INIT_VIDEO) != 0) return Fail("cannot start the display", SDL_GetError());
    const int status = RunGame();
    SDL_Quit();
    return status;
}
