#pragma once
#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

namespace kelo {

// Anti-aliased coverage of one rendered string: alpha 0..255 per pixel, row-major.
// (0, 0) is the top-left of the text cell, so drawing at the current position puts
// the cell's top-left there.
struct TextMask {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> alpha;

    // Stretches of one row with coverage everywhere, found once by FindCoverageSpans so
    // that printing a kept mask never looks at its empty pixels. Without them (spansFound
    // false) printing reads the whole cell. Kept masks hold many spans, hence 16 bits.
    struct Span {
        int16_t y, x, length;
    };
    std::vector<Span> spans{};
    bool spansFound = false;

    // For copies of this text printed one after another at fixed offsets from each other
    // (PrintCopies): each copy's spans without the pixels that a later copy covers fully,
    // so that nothing is blended only to be overwritten. Found once per pattern of offsets
    // and kept with the mask, whose lifetime they share.
    struct CopyPlan {
        std::vector<std::pair<int, int>> offsets;  // each copy's (x, y) from the first's
        std::vector<std::vector<Span>> spans;      // per copy
    };
    mutable std::vector<CopyPlan> copyPlans{};
};

// Fills in `mask.spans` from its coverage; leaves masks wider or higher than 32767
// pixels without spans.
void FindCoverageSpans(TextMask& mask);

// Turns UTF-8 text into coverage. The platform provides the font; game code only
// blends masks into surfaces. Sizes are points at 96 DPI (12 pt is a 16-pixel em).
// The returned reference stays valid until the next call; a call for the same text and
// size as the previous one returns the same mask.
class TextRenderer {
public:
    virtual ~TextRenderer() = default;
    virtual const TextMask& Render(std::string_view utf8, int pointSize) = 0;
};

}  // namespace kelo
