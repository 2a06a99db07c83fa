#include "platform/common/Png.h"

#include <SDL.h>
#include <SDL_image.h>

#include <memory>

namespace kelo {

namespace {

// Colour packs red + 256 green + 65536 blue, which is SDL's XBGR8888 layout.
constexpr Uint32 kColourFormat = SDL_PIXELFORMAT_XBGR8888;

struct SurfaceFree {
    void operator()(SDL_Surface* s) const { SDL_FreeSurface(s); }
};
using SurfacePtr = std::unique_ptr<SDL_Surface, SurfaceFree>;

}  // namespace

bool SavePng(const Image& image, const std::string& path) {
    SurfacePtr packed(SDL_CreateRGBSurfaceWithFormatFrom(const_cast<Colour*>(image.Pixels().data()), image.Width(),
                                                         image.Height(), 32, image.Width() * 4, kColourFormat));
    if (!packed) return false;
    SurfacePtr rgb(SDL_ConvertSurfaceFormat(packed.get(), SDL_PIXELFORMAT_RGB24, 0));
    if (!rgb) return false;
    return IMG_SavePNG(rgb.get(), path.c_str()) == 0;
}

std::optional<Image> LoadPng(const std::string& path) {
    SurfacePtr loaded(IMG_Load(path.c_str()));
    if (!loaded) return std::nullopt;
    SurfacePtr packed(SDL_ConvertSurfaceFormat(loaded.get(), kColourFormat, 0));
    if (!packed) return std::nullopt;
    Image image(packed->w, packed->h);
    for (int y = 0; y < packed->h; ++y) {
        const auto* row = reinterpret_cast<const Uint32*>(static_cast<const Uint8*>(packed->pixels) + y * packed->pitch);
        for (int x = 0; x < packed->w; ++x) image.At(x, y) = row[x] & 0xFFFFFFu;
    }
    return image;
}

}  // namespace kelo
