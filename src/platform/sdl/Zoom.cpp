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

// Fills target columns [x0, x1) of one row from picture row `source`.
void DrawRow(const Colour* source, const Placement& placement, int x0, int x1, uint32_t* out,
             const ChannelShifts& shifts) {
    int column = (x0 - placement.x) / placement.zoom;
    int repeat = (x0 - placement.x) % placement.zoom;
    for (int x = x0; x < x1; ++x) {
        out[x] = Converted(source[column], shifts);
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

Placement PlacePicture(int width, int height) {
    Placement placement;
    placement.zoom = std::max(1, std::min(width / kPictureWidth, height / kPictureHeight));
    placement.x = (width - placement.Width()) / 2;
    placement.y = (height - placement.Height()) / 2;
    return placement;
}

void DrawZoomed(const Image& frame, const Placement& placement, const PixelTarget& target) {
    const int sourceWidth = std::min(frame.Width(), kPictureWidth);
    const int sourceHeight = std::min(frame.Height(), kPictureHeight);
    const int x0 = std::max(0, placement.x);
    const int x1 = std::min(target.width, placement.x + sourceWidth * placement.zoom);
    const int y0 = std::max(0, placement.y);
    const int y1 = std::min(target.height, placement.y + sourceHeight * placement.zoom);
    if (x0 >= x1) return;
    const size_t rowBytes = static_cast<size_t>(x1 - x0) * sizeof(uint32_t);
    for (int y = y0; y < y1; ++y) {
        uint32_t* out = target.pixels + static_cast<std::ptrdiff_t>(y) * target.pitch;
        const int pictureRow = (y - placement.y) / placement.zoom;
        // Each picture row is converted once; the rest of its block copies that row.
        if (y > y0 && (y - placement.y) % placement.zoom != 0) {
            std::memcpy(out + x0, out - target.pitch + x0, rowBytes);
            continue;
        }
        DrawRow(frame.Pixels().data() + static_cast<std::ptrdiff_t>(pictureRow) * frame.Width(), placement, x0, x1, out,
                target.shifts);
    }
}

void FillBlack(const PixelTarget& target) {
    for (int y = 0; y < target.height; ++y) {
        std::memset(target.pixels + static_cast<std::ptrdiff_t>(y) * target.pitch, 0,
                    static_cast<size_t>(target.width) * sizeof(uint32_t));
    }
}

}  // namespace kelo
