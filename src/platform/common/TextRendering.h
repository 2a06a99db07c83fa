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

// FindGameFont followed by CreateTextRenderer: nullptr when no usable font exists.
std::unique_ptr<TextRenderer> CreateTextRenderer(std::string& error);

}  // namespace kelo
