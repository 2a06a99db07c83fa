#pragma once
// The game's font: IPAPGothic (or, failing that, any installed font that covers
// Japanese), found through fontconfig and rendered anti-aliased with SDL_ttf. The
// desktop game and the simulator share it; it needs no window.

#include <memory>
#include <optional>
#include <string>

#include "draw/Text.h"

namespace kelo {

struct FontFile {
    std::string path;
    std::string family;
};

// The font file the game uses, or nothing (with a one-line reason in `error`).
std::optional<FontFile> FindGameFont(std::string& error);

// A renderer over `font`, or nullptr (with a one-line reason in `error`) when the
// file cannot be opened as a font.
std::unique_ptr<TextRenderer> CreateTextRenderer(const FontFile& font, std::string& error);

// How the masks a renderer made were made, for benchmarks and tests: rendered whole by
// SDL_ttf, or put together from glyphs it rendered once; and the renders made only to
// check that glyphs may be put together.
struct TextRenderCounts {
    long whole = 0;
    long composed = 0;
    long checks = 0;
};
TextRenderCounts CountsOf(const TextRenderer& renderer);

// FindGameFont followed by CreateTextRenderer: nullptr when no usable font exists.
std::unique_ptr<TextRenderer> CreateTextRenderer(std::string& error);

}  // namespace kelo
