#include "platform/sdl/Zoom.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace kelo {

namespace {

// A window of at most this share of the display's usable height.
constexpr int kDefaultHeightPercent = 60;

uint32_t Converted(Colour colour, const ChannelShifts& shifts) {
    return static_cast<uint32_t>(RedOf(colour)) << shifts.red | static_cast<uint32_t>(GreenOf(colour)) << shifts.green |
           static_cast<uint32_t>(BlueOf(colour)) << shifts.blue;
}

// Four pixels at a time; the compiler turns these operations into vector instructions.
using Pixels4 = uint32_t __attribute__((vector_size(16)));

void SwapRedAndBlue(const Colour* source, int count, uint32_t* out) {
    int x = 0;
    for (; x + 4 <= count; x += 4) {
        Pixels4 c;
        std::memcpy(&c, source + x, sizeof(c));
        const Pixels4 swapped = (c & 0xFF00u) | (c & 0xFFu) << 16 | (c >> 16 & 0xFFu);
        std::memcpy(out + x, &swapped, sizeof(swapped));
    }
    for (; x < count; ++x) {
        const Colour c = source[x];
        out[x] = (c & 0xFF00u) | (c & 0xFFu) << 16 | (c >> 16 & 0xFFu);
    }
}

template <int Zoom>
void WidenRow(const uint32_t* source, uint32_t* out) {
    for (int column = 0; column < kPictureWidth; ++column) {
        const uint32_t pixel = source[column];
        for (int i = 0; i < Zoom; ++i) *out++ = pixel;
    }
}

// Fills a whole row of the zoomed picture starting at `out`.
void WidenWholeRow(const uint32_t* source, int zoom, uint32_t* out) {
    switch (zoom) {
        case 1: std::memcpy(out, source, kPictureWidth * sizeof(uint32_t)); return;
        case 2: WidenRow<2>(source, out); return;
        case 3: WidenRow<3>(source, out); return;
        case 4: WidenRow<4>(source, out); return;
        default: break;
    }
    for (int column = 0; column < kPictureWidth; ++column) {
        std::fill_n(out + static_cast<std::ptrdiff_t>(column) * zoom, zoom, source[column]);
    }
}

// Fills target columns [x0, x1) of one row, where the window cuts the picture.
void WidenCutRow(const uint32_t* source, const Placement& placement, int x0, int x1, uint32_t* out) {
    int column = (x0 - placement.x) / placement.zoom;
    int repeat = (x0 - placement.x) % placement.zoom;
    for (int x = x0; x < x1; ++x) {
        out[x] = source[column];
        if (++repeat == placement.zoom) {
            repeat = 0;
            ++column;
        }
    }
}

}  // namespace

int DefaultZoom(int usableWidth, int usableHeight) {
    const int byHeight = usableHeight * kDefaultHeightPercent / 100 / kPictureHeight;
    const int byWidth = usableWidth / kPictureWidth;
    return std::max(1, std::min(byHeight, byWidth));
}

int ZoomAfterKey(ZoomKey key, int current, int defaultZoom, int largest) {
    largest = std::max(1, largest);
    switch (key) {
        case ZoomKey::In: return std::clamp(current + 1, 1, largest);
        case ZoomKey::Out: return std::clamp(current - 1, 1, largest);
        case ZoomKey::Reset: break;
    }
    return std::clamp(defaultZoom, 1, largest);
}

Placement PlacePicture(int width, int height) {
    Placement placement;
    placement.zoom = std::max(1, std::min(width / kPictureWidth, height / kPictureHeight));
    placement.x = (width - placement.Width()) / 2;
    placement.y = (height - placement.Height()) / 2;
    return placement;
}

namespace {

// Converts the picture row by row into `rowAt(y)`, where each row is written only when
// it differs (or `fresh`, always); returns the rows written.
template <typename RowAt>
PictureRows ConvertRows(const Image& frame, const ChannelShifts& shifts, bool fresh, RowAt rowAt) {
    const int width = std::min(frame.Width(), kPictureWidth);
    const int height = std::min(frame.Height(), kPictureHeight);
    // Most displays want red where the game keeps blue.
    const bool swapRedAndBlue = shifts == ChannelShifts{16, 8, 0};
    // Each row is converted where it stays in the cache and stored only when it differs.
    uint32_t converted[kPictureWidth] = {};
    PictureRows changed{kPictureHeight, 0};
    for (int y = 0; y < kPictureHeight; ++y) {
        if (y < height) {
            const Colour* source = frame.Row(y);
            if (swapRedAndBlue) {
                SwapRedAndBlue(source, width, converted);
            } else {
                for (int x = 0; x < width; ++x) converted[x] = Converted(source[x], shifts);
            }
        } else {
            std::fill_n(converted, width, 0u);
        }
        uint32_t* out = rowAt(y);
        if (!fresh && std::memcmp(out, converted, sizeof converted) == 0) continue;
        std::memcpy(out, converted, sizeof converted);
        changed.first = std::min(changed.first, y);
        changed.end = y + 1;
    }
    return changed;
}

}  // namespace

PictureRows ConvertPicture(const Image& frame, const ChannelShifts& shifts, std::vector<uint32_t>& picture) {
    const size_t size = static_cast<size_t>(kPictureWidth) * kPictureHeight;
    const bool fresh = picture.size() != size;
    if (fresh) picture.assign(size, 0);
    return ConvertRows(frame, shifts, fresh,
                       [&](int y) { return picture.data() + static_cast<std::ptrdiff_t>(y) * kPictureWidth; });
}

PictureRows ConvertPictureOnto(const Image& frame, const ChannelShifts& shifts, const PixelTarget& target, int x, int y,
                               bool fresh) {
    return ConvertRows(frame, shifts, fresh, [&](int row) {
        return target.pixels + static_cast<std::ptrdiff_t>(y + row) * target.pitch + x;
    });
}

void DrawZoomed(const std::vector<uint32_t>& picture, const Placement& placement, const PixelTarget& target,
                PictureRows rows) {
    if (picture.size() != static_cast<size_t>(kPictureWidth) * kPictureHeight) return;
    rows.first = std::max(rows.first, 0);
    rows.end = std::min(rows.end, kPictureHeight);
    if (rows.Empty()) return;
    const int x0 = std::max(0, placement.x);
    const int x1 = std::min(target.width, placement.x + placement.Width());
    const int y0 = std::max(0, placement.y + rows.first * placement.zoom);
    const int y1 = std::min(target.height, placement.y + rows.end * placement.zoom);
    if (x0 >= x1) return;
    const bool wholeRows = x0 == placement.x && x1 == placement.x + placement.Width();
    const size_t rowBytes = static_cast<size_t>(x1 - x0) * sizeof(uint32_t);
    for (int y = y0; y < y1; ++y) {
        uint32_t* out = target.pixels + static_cast<std::ptrdiff_t>(y) * target.pitch;
        // Each picture row is widened once; the rest of its block copies that row.
        if (y > y0 && (y - placement.y) % placement.zoom != 0) {
            std::memcpy(out + x0, out - target.pitch + x0, rowBytes);
            continue;
        }
        const uint32_t* source =
            picture.data() + static_cast<std::ptrdiff_t>((y - placement.y) / placement.zoom) * kPictureWidth;
        if (wholeRows) {
            WidenWholeRow(source, placement.zoom, out + x0);
        } else {
            WidenCutRow(source, placement, x0, x1, out);
        }
    }
}

void FillBlack(const PixelTarget& target) {
    for (int y = 0; y < target.height; ++y) {
        std::memset(target.pixels + static_cast<std::ptrdiff_t>(y) * target.pitch, 0,
                    static_cast<size_t>(target.width) * sizeof(uint32_t));
    }
}

}  // namespace kelo
