#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "draw/Image.h"
#include "platform/common/FrameDigest.h"

namespace kelo {
namespace {

std::string ExpectedLine(int frame, const Image& image) {
    char line[32];
    std::snprintf(line, sizeof line, "%d %08x\n", frame, FrameDigest(image));
    return line;
}

// A frame presented again unchanged keeps its digest without being read; any write in
// between has it read again.
TEST(FrameDigest, ReadAgainAfterEveryWrite) {
    Image frame(400, 300, kBlack);
    FrameDigester digester;
    const std::string black = digester.Line(7, frame);
    EXPECT_EQ(black, ExpectedLine(7, frame));
    frame.At(399, 299) = kWhite;
    EXPECT_NE(digester.Line(8, frame), ExpectedLine(8, Image(400, 300, kBlack)));
    EXPECT_EQ(digester.Line(9, frame), ExpectedLine(9, frame));
    frame.At(399, 299) = kBlack;
    EXPECT_EQ(digester.Line(10, frame), ExpectedLine(10, Image(400, 300, kBlack)));
    // Every channel counts.
    EXPECT_NE(FrameDigest(Image(400, 300, Rgb(0, 0, 1))), FrameDigest(Image(400, 300, Rgb(1, 0, 0))));
}

}  // namespace
}  // namespace kelo
