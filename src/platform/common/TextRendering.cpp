#include "platform/common/TextRendering.h"

#include <SDL.h>
#include <SDL_ttf.h>
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <array>
#include <list>
#include <map>
#include <tuple>
#include <unordered_map>
#include <vector>

namespace kelo {

namespace {

constexpr const char* kPreferredFamily = "IPAPGothic";
constexpr unsigned kDpi = 96;  // 12 pt is a 16-pixel em
constexpr size_t kCachedStrings = 256;
// A point size whose strings have missed the cache this often gets a font of its own.
constexpr int kMissesForOwnFont = 16;
// Clocks and counters change every frame. At a size with a font of its own, strings of
// only these characters are put together from glyphs rendered once, where the font is
// found to lay them out so (see GlyphStrip).
constexpr std::string_view kComposedCharacters = "0123456789.:- ";

std::string PatternString(FcPattern* pattern, const char* object, int index = 0) {
    FcChar8* value = nullptr;
    if (FcPatternGetString(pattern, object, index, &value) != FcResultMatch || value == nullptr) return {};
    return reinterpret_cast<const char*>(value);
}

bool HasFamily(FcPattern* pattern, const std::string& family) {
    for (int i = 0;; ++i) {
        const std::string name = PatternString(pattern, FC_FAMILY, i);
        if (name.empty()) return false;
        if (name == family) return true;
    }
}

// Fontconfig's best match for the preferred family, if it really is that family
// (fontconfig always returns some font, usually a Latin fallback).
std::optional<FontFile> MatchPreferred(FcConfig* config) {
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(kPreferredFamily));
    FcConfigSubstitute(config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(config, pattern, &result);
    FcPatternDestroy(pattern);
    if (match == nullptr) return std::nullopt;
    std::optional<FontFile> found;
    const std::string path = PatternString(match, FC_FILE);
    if (!path.empty() && HasFamily(match, kPreferredFamily)) found = FontFile{path, kPreferredFamily};
    FcPatternDestroy(match);
    return found;
}

// Any scalable font whose languages include Japanese; the first by family and path,
// so the choice does not depend on the order of fontconfig's cache.
std::optional<FontFile> AnyJapaneseFont(FcConfig* config) {
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_LANG, reinterpret_cast<const FcChar8*>("ja"));
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, FC_FILE, nullptr);
    FcFontSet* fonts = FcFontList(config, pattern, objects);
    FcObjectSetDestroy(objects);
    FcPatternDestroy(pattern);
    if (fonts == nullptr) return std::nullopt;
    std::vector<FontFile> candidates;
    for (int i = 0; i < fonts->nfont; ++i) {
        FontFile font{PatternString(fonts->fonts[i], FC_FILE), PatternString(fonts->fonts[i], FC_FAMILY)};
        if (!font.path.empty()) candidates.push_back(font);
    }
    FcFontSetDestroy(fonts);
    if (candidates.empty()) return std::nullopt;
    return *std::min_element(candidates.begin(), candidates.end(), [](const FontFile& a, const FontFile& b) {
        return std::tie(a.family, a.path) < std::tie(b.family, b.path);
    });
}

// Anti-aliased text through SDL_ttf, with the rendered strings of recent frames kept
// (least recently used dropped first) since the screens print the same texts each frame.
class TtfTextRenderer : public TextRenderer {
public:
    explicit TtfTextRenderer(std::string path) : path_(std::move(path)) {}

    ~TtfTextRenderer() override {
        for (auto& [size, font] : ownFonts_) {
            if (font != nullptr) TTF_CloseFont(font);
        }
        if (sharedFont_ != nullptr) TTF_CloseFont(sharedFont_);
        TTF_Quit();
    }

    TtfTextRenderer(const TtfTextRenderer&) = delete;
    TtfTextRenderer& operator=(const TtfTextRenderer&) = delete;

    // Opens the font at 12 pt once to make sure the file is usable.
    bool Usable() { return FontAt(12) != nullptr; }

    const TextMask& Render(std::string_view utf8, int pointSize) override {
        // The key is built in a buffer kept between calls, so a hit allocates nothing.
        std::string& key = keyBuffer_;
        key.assign(reinterpret_cast<const char*>(&pointSize), sizeof pointSize);
        key += utf8;
        if (auto hit = index_.find(key); hit != index_.end()) {
            recent_.splice(recent_.begin(), recent_, hit->second);
            return hit->second->second;
        }
        if (recent_.size() >= kCachedStrings) {
            index_.erase(recent_.back().first);
            recent_.pop_back();
        }
        recent_.emplace_front(key, RenderMask(utf8, pointSize));
        index_.emplace(key, recent_.begin());
        return recent_.front().second;
    }

    TextRenderCounts Counts() const {
        TextRenderCounts counts = counts_;
        for (const auto& [size, strip] : strips_) counts.checks += strip->Checks();
        return counts;
    }

private:
    // Every open font holds its own copy of the file's character map (230 KiB for IPA
    // P Gothic). Sizes whose strings keep changing (counters, timers) get a font each;
    // the others share one font set to each size in turn, which empties its glyph cache,
    // so only sizes that rarely miss the string cache share it.
    TTF_Font* FontAt(int pointSize) {
        const int size = std::max(pointSize, 1);
        if (auto own = ownFonts_.find(size); own != ownFonts_.end()) return own->second;
        if (++misses_[size] > kMissesForOwnFont) {
            return ownFonts_.emplace(size, TTF_OpenFontDPI(path_.c_str(), size, kDpi, kDpi)).first->second;
        }
        if (sharedFont_ == nullptr) {
            sharedFont_ = TTF_OpenFontDPI(path_.c_str(), size, kDpi, kDpi);
            sharedSize_ = size;
        } else if (size != sharedSize_ && TTF_SetFontSizeDPI(sharedFont_, size, kDpi, kDpi) == 0) {
            sharedSize_ = size;
        }
        return size == sharedSize_ ? sharedFont_ : nullptr;
    }

    TextMask RenderMask(std::string_view utf8, int pointSize) {
        TextMask mask;
        TTF_Font* font = FontAt(pointSize);
        if (font == nullptr || utf8.empty()) return mask;
        if (GlyphStrip* strip = StripAt(pointSize, font); strip != nullptr && strip->Compose(utf8, mask)) {
            ++counts_.composed;
        } else {
            mask = RenderWhole(font, utf8);
            ++counts_.whole;
        }
        FindCoverageSpans(mask);
        return mask;
    }

    static TextMask RenderWhole(TTF_Font* font, std::string_view utf8) {
        TextMask mask;
        const std::string text(utf8);
        SDL_Surface* rendered = TTF_RenderUTF8_Blended(font, text.c_str(), SDL_Color{255, 255, 255, 255});
        if (rendered == nullptr) return mask;
        CopyAlpha(rendered, mask);
        SDL_FreeSurface(rendered);
        return mask;
    }

    // The glyphs of kComposedCharacters at one size, each as SDL_ttf renders it alone.
    // SDL_ttf (2.20) puts a line's glyphs at the sum of the advances before them (plus kerning),
    // ORs their coverage, makes the cell as wide as the furthest glyph cell reaches and
    // shifts the whole line right when a glyph reaches left of its pen. So a string is
    // put together from the lone glyphs only when none of its glyphs reaches left of its
    // pen or has a cell taller than the font's line, and when each pair of neighbours in
    // it, put together so, equals the pair rendered whole: that rules out kerning and
    // shaping between them. Glyphs and pairs are checked the first time a string needs
    // them; a string with any glyph or pair that failed is rendered whole. Checking the
    // pairs one by one would take 196 renders, so they are first checked all at once.
    class GlyphStrip {
    public:
        explicit GlyphStrip(TTF_Font* font) : font_(font), lineHeight_(TTF_FontHeight(font)) {}

        // Fills `mask` and returns true when `text` may be put together; leaves it alone
        // and returns false otherwise.
        bool Compose(std::string_view text, TextMask& mask) {
            if (text.empty()) return false;
            for (char c : text) {
                const size_t i = kComposedCharacters.find(c);
                if (i == std::string_view::npos || !GlyphAgrees(i)) return false;
            }
            if (!allPairsTried_) TryAllPairs();
            for (size_t k = 1; k < text.size(); ++k) {
                if (!PairAgrees(kComposedCharacters.find(text[k - 1]), kComposedCharacters.find(text[k]))) return false;
            }
            Layout(text, mask);
            return true;
        }

        long Checks() const { return checks_; }

    private:
        enum class Check : uint8_t { Unknown, Agrees, Differs };
        static constexpr size_t kCount = kComposedCharacters.size();

        bool GlyphAgrees(size_t i) {
            if (glyphChecks_[i] == Check::Unknown) {
                int minX = 0, maxX = 0, minY = 0, maxY = 0;
                const auto c = static_cast<unsigned char>(kComposedCharacters[i]);
                bool agrees = TTF_GlyphMetrics32(font_, c, &minX, &maxX, &minY, &maxY, &advances_[i]) == 0 && minX >= 0;
                if (agrees) {
                    glyphs_[i] = CheckRender(kComposedCharacters.substr(i, 1));
                    agrees = glyphs_[i].height == lineHeight_ && glyphs_[i].width > 0;
                }
                glyphChecks_[i] = agrees ? Check::Agrees : Check::Differs;
            }
            return glyphChecks_[i] == Check::Agrees;
        }

        bool PairAgrees(size_t first, size_t second) {
            Check& check = pairChecks_[first][second];
            if (check == Check::Unknown) {
                const char pair[] = {kComposedCharacters[first], kComposedCharacters[second]};
                check = ComposesAsWhole(std::string_view(pair, 2)) ? Check::Agrees : Check::Differs;
            }
            return check == Check::Agrees;
        }

        // Every ordered pair of the agreeing glyphs, in one string rendered once: each
        // character once alone and once before each later one ("0", "01", "02", ... "1",
        // "12", ...), then the first again, holds each pair exactly once. A pair laid out
        // or shaped differently when rendered whole would change the glyphs from there on,
        // so if the string composes as it renders whole, every pair in it agrees. If not,
        // the pairs are left to be checked one by one.
        void TryAllPairs() {
            allPairsTried_ = true;
            std::vector<size_t> agreeing;
            for (size_t i = 0; i < kCount; ++i) {
                if (GlyphAgrees(i)) agreeing.push_back(i);
            }
            if (agreeing.empty()) return;
            std::string every;
            for (size_t a = 0; a < agreeing.size(); ++a) {
                every += kComposedCharacters[agreeing[a]];
                for (size_t b = a + 1; b < agreeing.size(); ++b) {
                    every += kComposedCharacters[agreeing[a]];
                    every += kComposedCharacters[agreeing[b]];
                }
            }
            every += every.front();
            if (!ComposesAsWhole(every)) return;
            for (size_t a : agreeing) {
                for (size_t b : agreeing) pairChecks_[a][b] = Check::Agrees;
            }
        }

        // Only for glyphs that agree.
        bool ComposesAsWhole(std::string_view text) {
            TextMask composed;
            Layout(text, composed);
            const TextMask whole = CheckRender(text);
            return composed.width == whole.width && composed.height == whole.height && composed.alpha == whole.alpha;
        }

        TextMask CheckRender(std::string_view text) {
            ++checks_;
            return RenderWhole(font_, text);
        }

        // Only for glyphs that agree.
        void Layout(std::string_view text, TextMask& mask) const {
            int width = 0, pen = 0;
            for (char c : text) {
                const size_t i = kComposedCharacters.find(c);
                width = std::max(width, pen + glyphs_[i].width);
                pen += advances_[i];
            }
            mask.width = width;
            mask.height = lineHeight_;
            mask.alpha.assign(static_cast<size_t>(width) * lineHeight_, 0);
            pen = 0;
            for (char c : text) {
                const size_t i = kComposedCharacters.find(c);
                const TextMask& glyph = glyphs_[i];
                for (int y = 0; y < glyph.height; ++y) {
                    const uint8_t* from = glyph.alpha.data() + static_cast<size_t>(y) * glyph.width;
                    uint8_t* to = mask.alpha.data() + static_cast<size_t>(y) * width + pen;
                    for (int x = 0; x < glyph.width; ++x) to[x] |= from[x];
                }
                pen += advances_[i];
            }
        }

        TTF_Font* font_;
        int lineHeight_;
        std::array<TextMask, kCount> glyphs_{};
        std::array<int, kCount> advances_{};
        std::array<Check, kCount> glyphChecks_{};
        std::array<std::array<Check, kCount>, kCount> pairChecks_{};
        bool allPairsTried_ = false;
        long checks_ = 0;
    };

    // Only sizes with a font of their own (those that keep missing the string cache)
    // are worth the glyphs and the pair checks.
    GlyphStrip* StripAt(int pointSize, TTF_Font* font) {
        const int size = std::max(pointSize, 1);
        if (auto own = ownFonts_.find(size); own == ownFonts_.end() || own->second != font) return nullptr;
        auto strip = strips_.find(size);
        if (strip == strips_.end()) strip = strips_.emplace(size, std::make_unique<GlyphStrip>(font)).first;
        return strip->second.get();
    }

    static void CopyAlpha(SDL_Surface* surface, TextMask& mask) {
        const SDL_PixelFormat* format = surface->format;
        if (format->BytesPerPixel != 4 || format->Amask == 0) return;
        if (SDL_MUSTLOCK(surface) && SDL_LockSurface(surface) != 0) return;
        mask.width = surface->w;
        mask.height = surface->h;
        mask.alpha.resize(static_cast<size_t>(mask.width) * mask.height);
        for (int y = 0; y < mask.height; ++y) {
            const auto* row =
                reinterpret_cast<const Uint32*>(static_cast<const Uint8*>(surface->pixels) + y * surface->pitch);
            uint8_t* out = mask.alpha.data() + static_cast<size_t>(y) * mask.width;
            for (int x = 0; x < mask.width; ++x)
                out[x] = static_cast<uint8_t>((row[x] & format->Amask) >> format->Ashift);
        }
        if (SDL_MUSTLOCK(surface)) SDL_UnlockSurface(surface);
    }

    using Entry = std::pair<std::string, TextMask>;

    std::string path_;
    std::string keyBuffer_;
    std::map<int, TTF_Font*> ownFonts_;
    std::map<int, int> misses_;  // strings rendered per point size
    std::map<int, std::unique_ptr<GlyphStrip>> strips_;
    TextRenderCounts counts_;
    TTF_Font* sharedFont_ = nullptr;
    int sharedSize_ = 0;
    std::list<Entry> recent_;
    std::unordered_map<std::string, std::list<Entry>::iterator> index_;
};

}  // namespace

std::optional<FontFile> FindGameFont(std::string& error) {
    FcConfig* config = FcInitLoadConfigAndFonts();
    if (config == nullptr) {
        error = "fontconfig could not be initialised";
        return std::nullopt;
    }
    std::optional<FontFile> font = MatchPreferred(config);
    if (!font) font = AnyJapaneseFont(config);
    FcConfigDestroy(config);
    if (!font) error = "no font that can show Japanese text is installed (install fonts-ipafont-gothic)";
    return font;
}

std::unique_ptr<TextRenderer> CreateTextRenderer(const FontFile& font, std::string& error) {
    if (TTF_Init() != 0) {
        error = std::string("the font renderer could not start: ") + TTF_GetError();
        return nullptr;
    }
    auto renderer = std::make_unique<TtfTextRenderer>(font.path);
    if (!renderer->Usable()) {
        error = "the font " + font.path + " could not be opened: " + TTF_GetError();
        return nullptr;
    }
    return renderer;
}

TextRenderCounts CountsOf(const TextRenderer& renderer) {
    const auto* ttf = dynamic_cast<const TtfTextRenderer*>(&renderer);
    return ttf != nullptr ? ttf->Counts() : TextRenderCounts{};
}

std::unique_ptr<TextRenderer> CreateTextRenderer(std::string& error) {
    std::optional<FontFile> font = FindGameFont(error);
    if (!font) return nullptr;
    return CreateTextRenderer(*font, error);
}

}  // namespace kelo
