#include <gtest/gtest.h>

#include <SDL.h>
#include <SDL_image.h>

#include <filesystem>
#include <fstream>

#include "draw/Colour.h"
#include "platform/common/Png.h"

namespace kelo {
namespace {

namespace fs = std::filesystem;

TEST(SimPng, SavesRgbInTheGamesColourPackingAndReadsBack) {
    const fs::path path = fs::temp_directory_path() / ("kelo-png-" + std::to_string(::getpid()) + ".png");
    Image image(400, 300, Rgb(0, 20, 100));
    image.At(0, 0) = Rgb(255, 0, 0);
    image.At(399, 299) = Rgb(1, 2, 3);
    image.At(7, 5) = Rgb(0, 255, 128);
    ASSERT_TRUE(SavePng(image, path.string()));

    // Channel order checked through SDL's own reader, independent of LoadPng.
    SDL_Surface* raw = IMG_Load(path.string().c_str());
    ASSERT_NE(raw, nullptr);
    SDL_Surface* rgb = SDL_ConvertSurfaceFormat(raw, SDL_PIXELFORMAT_RGB24, 0);
    ASSERT_NE(rgb, nullptr);
    EXPECT_EQ(rgb->w, 400);
    EXPECT_EQ(rgb->h, 300);
    const auto* p = static_cast<const uint8_t*>(rgb->pixels);
    EXPECT_EQ(p[0], 255);
    EXPECT_EQ(p[1], 0);
    EXPECT_EQ(p[2], 0);
    const uint8_t* last = p + 299 * rgb->pitch + 399 * 3;
    EXPECT_EQ(last[0], 1);
    EXPECT_EQ(last[1], 2);
    EXPECT_EQ(last[2], 3);
    SDL_FreeSurface(rgb);
    SDL_FreeSurface(raw);

    std::optional<Image> back = LoadPng(path.string());
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->Pixels(), image.Pixels());
    fs::remove(path);
}

TEST(SimPng, ReportsFilesThatCannotBeWrittenOrRead) {
    EXPECT_FALSE(SavePng(Image(4, 4), "/no/such/folder/x.png"));
    EXPECT_FALSE(LoadPng("/no/such/folder/x.png").has_value());
    const fs::path junk = fs::temp_directory_path() / ("kelo-junk-" + std::to_string(::getpid()) + ".png");
    std::ofstream(junk) << "not a picture";
    EXPECT_FALSE(LoadPng(junk.string()).has_value());
    fs::remove(junk);
}

}  // namespace
}  // namespace kelo
