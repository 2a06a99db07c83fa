#include <SDL_ttf.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "draw/Painter.h"
#include "platform/common/TextRendering.h"

namespace kelo {
namespace {

struct Ink {
    int top = -1, bottom = -1, left = -1, right = -1;
    long total = 0;
};

Ink InkOf(const TextMask& mask) {
    Ink ink;
    for (int y = 0; y < mask.height; ++y) {
        for (int x = 0; x < mask.width; ++x) {
            const int a = mask.alpha[static_cast<size_t>(y) * mask.width + x];
            if (a == 0) continue;
            ink.total += a;
            if (ink.top < 0) ink.top = y;
            ink.bottom = y;
            if (ink.left < 0 || x < ink.left) ink.left = x;
            ink.right = std::max(ink.right, x);
        }
    }
    return ink;
}

class TextRendering : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        std::string error;
        renderer_ = CreateTextRenderer(error).release();
        ASSERT_NE(renderer_, nullptr) << error;
    }
    static void TearDownTestSuite() {
        delete renderer_;
        renderer_ = nullptr;
    }
    TextRenderer& Text() { return *renderer_; }

    static TextRenderer* renderer_;
};

TextRenderer* TextRendering::renderer_ = nullptr;

TEST(FontSearch, FindsIpaPGothic) {
    std::string error;
    const auto font = FindGameFont(error);
    ASSERT_TRUE(font.has_value()) << error;
    EXPECT_EQ(font->family, "IPAPGothic");
    EXPECT_NE(font->path.find("ipagp"), std::string::npos) << font->path;
}

TEST(FontSearch, UnopenableFileIsReportedNotReturned) {
    std::string error;
    EXPECT_EQ(CreateTextRenderer(FontFile{"/nonexistent/font.ttf", "Nothing"}, error), nullptr);
    EXPECT_NE(error.find("/nonexistent/font.ttf"), std::string::npos) << error;
}

TEST_F(TextRendering, TwelvePointsIsASixteenPixelEm) {
    const TextMask& day = Text().Render("日", 12);
    EXPECT_EQ(day.height, 16);
    EXPECT_EQ(day.width, 16);
    const Ink ink = InkOf(day);
    EXPECT_GE(ink.bottom - ink.top + 1, 12);
    EXPECT_LE(ink.bottom, 16);
    const TextMask& big = Text().Render("日", 24);
    EXPECT_EQ(big.height, 32);
}

TEST_F(TextRendering, CoverageIsAntiAliased) {
    const TextMask& mask = Text().Render("Ke-Lo Typing", 12);
    bool partial = false, full = false;
    for (uint8_t a : mask.alpha) {
        partial |= a > 0 && a < 255;
        full |= a == 255;
    }
    EXPECT_TRUE(partial);
    EXPECT_TRUE(full);
}

TEST_F(TextRendering, JapaneseTextRenders) {
    const TextMask& mask = Text().Render("キーボード中段キーのみ使用", 10);
    const Ink ink = InkOf(mask);
    EXPECT_GT(ink.total, 0);
    EXPECT_GT(mask.width, 10 * mask.height);  // thirteen full-width characters
}

TEST_F(TextRendering, EmptyTextHasNoCoverage) {
    const TextMask& mask = Text().Render("", 12);
    EXPECT_EQ(mask.width * mask.height, 0);
}

TEST_F(TextRendering, CachedMasksMatchFreshOnesAfterEviction) {
    const TextMask first = Text().Render("Plase Wait...", 16);
    EXPECT_EQ(Text().Render("Plase Wait...", 16).alpha, first.alpha);
    EXPECT_NE(Text().Render("Plase Wait...", 17).width, first.width);
    for (int i = 0; i < 300; ++i) Text().Render(std::to_string(i), 10);
    const TextMask& again = Text().Render("Plase Wait...", 16);
    EXPECT_EQ(again.width, first.width);
    EXPECT_EQ(again.alpha, first.alpha);
}

// Rarely printed sizes share one font that is set to each size in turn, and sizes that
// keep missing the cache move to a font of their own: neither may change a single pixel.
TEST(TextRenderingFonts, MasksAreTheSameWhicheverFontDrewThem) {
    std::string error;
    auto busy = CreateTextRenderer(error);
    ASSERT_NE(busy, nullptr) << error;
    std::vector<std::pair<std::string, int>> printed;
    for (int i = 0; i < 40; ++i) {
        for (int size : {10, 42, 18, 10, 12, 36}) printed.emplace_back("Speed " + std::to_string(i * size), size);
    }
    std::vector<TextMask> masks;
    for (const auto& [text, size] : printed) masks.push_back(busy->Render(text, size));
    for (size_t i = 0; i < printed.size(); i += 7) {
        auto fresh = CreateTextRenderer(error);
        ASSERT_NE(fresh, nullptr) << error;
        const TextMask& alone = fresh->Render(printed[i].first, printed[i].second);
        EXPECT_EQ(alone.width, masks[i].width) << printed[i].first << " at " << printed[i].second;
        EXPECT_EQ(alone.alpha, masks[i].alpha) << printed[i].first << " at " << printed[i].second;
    }
}

// SDL_ttf's own rendering of `text`, the reference for masks the renderer puts together.
TextMask WholeRender(TTF_Font* font, const std::string& text) {
    TextMask mask;
    SDL_Surface* rendered = TTF_RenderUTF8_Blended(font, text.c_str(), SDL_Color{255, 255, 255, 255});
    if (rendered == nullptr) return mask;
    SDL_Surface* argb = SDL_ConvertSurfaceFormat(rendered, SDL_PIXELFORMAT_ARGB8888, 0);
    SDL_FreeSurface(rendered);
    mask.width = argb->w;
    mask.height = argb->h;
    for (int y = 0; y < argb->h; ++y) {
        const auto* row = reinterpret_cast<const Uint32*>(static_cast<const Uint8*>(argb->pixels) + y * argb->pitch);
        for (int x = 0; x < argb->w; ++x) mask.alpha.push_back(static_cast<uint8_t>(row[x] >> 24));
    }
    SDL_FreeSurface(argb);
    return mask;
}

// The run clock ("%06.2f" of game seconds, at 10 pt) and the speed counter (four digits,
// at 12 pt) change every frame, so they are put together from glyphs: every string they
// can show must come out as SDL_ttf renders it whole, for the game's font and for fonts
// whose digits kern or reach past their cells (which must be rendered whole).
TEST(TextRenderingComposed, ClockAndCounterStringsMatchWholeRenders) {
    struct Case {
        std::string path;
        int pointSize;
        const char* format;
        int count, step;
        bool gameFont;
    };
    std::string error;
    const auto game = FindGameFont(error);
    ASSERT_TRUE(game.has_value()) << error;
    const std::string urw = "/usr/share/fonts/opentype/urw-base35/";  // fonts-urw-base35
    const Case cases[] = {
        {game->path, 10, "%06.2f", 100000, 1, true},
        {game->path, 12, "%04.0f", 10000, 1, true},
        {game->path, 10, "1%06.2f", 100000, 41, true},
        {urw + "C059-Italic.otf", 10, "%06.2f", 100000, 37, false},
        {urw + "P052-Italic.otf", 12, "%04.0f", 10000, 7, false},
    };
    ASSERT_EQ(TTF_Init(), 0);
    for (const Case& c : cases) {
        if (!std::filesystem::exists(c.path)) {
            ADD_FAILURE() << c.path << " is missing (scripts/install-deps.sh --test installs it)";
            continue;
        }
        auto renderer = CreateTextRenderer(FontFile{c.path, "any"}, error);
        ASSERT_NE(renderer, nullptr) << error;
        TTF_Font* font = TTF_OpenFontDPI(c.path.c_str(), c.pointSize, 96, 96);
        ASSERT_NE(font, nullptr) << c.path;
        int mismatches = 0;
        for (int i = 0; i < c.count && mismatches < 5; i += c.step) {
            char text[32];
            std::snprintf(text, sizeof text, c.format, std::string_view(c.format).ends_with(".2f") ? i / 100.0 : i);
            const TextMask& made = renderer->Render(text, c.pointSize);
            const TextMask whole = WholeRender(font, text);
            const bool same = made.width == whole.width && made.height == whole.height && made.alpha == whole.alpha;
            mismatches += !same;
            EXPECT_TRUE(same) << c.path << " at " << c.pointSize << ": \"" << text << "\" " << made.width << "x"
                              << made.height << ", whole " << whole.width << "x" << whole.height;
        }
        TTF_CloseFont(font);
        // The first strings at a size are always rendered whole; the game's font must
        // take the faster way for the rest, or this test compares a render with itself,
        // and its glyph pairs must be checked all in one render (besides one per glyph).
        if (c.gameFont) {
            EXPECT_GT(CountsOf(*renderer).composed, c.count / c.step - 20) << c.format;
            EXPECT_LE(CountsOf(*renderer).checks, 15) << c.format;
        }
    }
    TTF_Quit();
}

TEST_F(TextRendering, PrintingChangesOnlyGlyphPixels) {
    // A checkered background shows any box painted behind the glyphs.
    Surface s(120, 40, kBlack, Rgb(255, 255, 0));
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 120; ++x) s.image.At(x, y) = (x + y) % 2 ? Rgb(0, 0, 90) : Rgb(30, 0, 0);
    const Image before = s.image;
    s.currentX = 5;
    s.currentY = 7;
    s.fontSize = 16;
    Print(s, Text(), "GOAL!");
    const TextMask& mask = Text().Render("GOAL!", 16);
    int changed = 0;
    for (int y = 0; y < 40; ++y) {
        for (int x = 0; x < 120; ++x) {
            const int mx = x - 5, my = y - 7;
            const bool inCell = mx >= 0 && my >= 0 && mx < mask.width && my < mask.height;
            const int alpha = inCell ? mask.alpha[static_cast<size_t>(my) * mask.width + mx] : 0;
            if (alpha == 0) {
                ASSERT_EQ(s.image.At(x, y), before.At(x, y)) << x << "," << y;
            } else if (alpha == 255) {
                ASSERT_EQ(s.image.At(x, y), Rgb(255, 255, 0)) << x << "," << y;
            }
            changed += s.image.At(x, y) != before.At(x, y);
        }
    }
    EXPECT_GT(changed, 50);
}

}  // namespace
}  // namespace kelo
