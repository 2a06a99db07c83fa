#pragma once
// A digest of each presented frame, so that the frames of two sessions (the desktop's and
// the simulator's replay of it) compare without keeping any picture. The desktop writes
// them when KELO_FRAME_DIGESTS names a file, kelo-sim with --frame-digests; both write
// one line per presented frame, "FRAME DIGEST": the frame waits so far (decimal) and
// the CRC-32 of the 400 x 300 picture the game drew (8 hex digits), its colours taken as
// 32-bit little-endian words row by row. What the desktop adds around the picture (the
// zoom, a replay's label) is not part of it.

#include <cstdint>
#include <string>

#include "draw/Image.h"

namespace kelo {

uint32_t FrameDigest(const Image& frame);

// Digests frame after frame; a frame whose image has not been written since the one
// before is not read again.
class FrameDigester {
public:
    // The log line for `frame`, the count of frame waits so far, newline included.
    std::string Line(int64_t frame, const Image& image);

private:
    ImageStamp stamp_;
    uint32_t digest_ = 0;
    bool any_ = false;
};

}  // namespace kelo
