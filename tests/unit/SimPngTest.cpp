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

// Byte runs of every length a match can have and beyond (grey pixels, ended by a pixel
// sharing one or two leading bytes with them), a row of noise, a row repeating the one
// above, and a one-pixel image, all read back by SDL_image.
TEST(SimPng, KeepsEveryPixelOfRunsOfAnyLengthNoiseAndRepeatedRows) {
    const fs::path path = fs::temp_directory_path() / ("kelo-png-runs-" + std::to_string(::getpid()) + ".png");
    constexpr int kWidth = 11800;
    Image image(kWidth, 4, Rgb(9, 9, 9));
    int x = 0;
    for (int pixels = 1; pixels <= 87; ++pixels) {
        for (int shared = 0; shared < 3; ++shared) {
            const auto grey = static_cast<uint8_t>(20 + (x % 200));
            for (int i = 0; i < pixels; ++i) image.At(x++, 1) = Rgb(grey, grey, grey);
            image.At(x++, 1) = Rgb(shared > 0 ? grey : 250, shared > 1 ? grey : 250, 250);
        }
    }
    ASSERT_LE(x, kWidth);
    uint32_t noise = 12345;
    for (int i = 0; i < kWidth; ++i) {
        noise = noise * 1103515245u + 12345u;
        image.At(i, 2) = noise >> 8;
        image.At(i, 3) = image.At(i, 2);
    }
    for (const Image& picture : {image, Image(1, 1, Rgb(200, 100, 50))}) {
        ASSERT_TRUE(SavePng(picture, path.string()));
        std::optional<Image> back = LoadPng(path.string());
        ASSERT_TRUE(back.has_value());
        EXPECT_EQ(back->Width(), picture.Width());
        EXPECT_EQ(back->Pixels(), picture.Pixels());
    }
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
