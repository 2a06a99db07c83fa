#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>

#include "platform/sim/SimPlatform.h"
#include "platform/sim/SimTrace.h"

namespace kelo {
namespace {

class NoText : public TextRenderer {
public:
    const TextMask& Render(std::string_view, int) override { return mask_; }
    TextMask mask_;
};

// The text of one field's value in a trace line (up to the next top-level comma).
std::string FieldText(const std::string& line, const std::string& name) {
    size_t at = line.find("\"" + name + "\":");
    if (at == std::string::npos) return "<missing>";
    at += name.size() + 3;
    int depth = 0;
    size_t end = at;
    for (; end < line.size(); ++end) {
        char c = line[end];
        if (c == '[' || c == '{') ++depth;
        if (c == ']' || c == '}') {
            if (depth == 0) break;
            --depth;
        }
        if (c == ',' && depth == 0) break;
    }
    return line.substr(at, end - at);
}

struct SimTrace : ::testing::Test {
    NoText text;
    SimPlatform platform{SimPlatformSettings{}, {}, text};
    Game game{platform};
};

TEST_F(SimTrace, NamesEveryFieldAndAddsRunValuesOnlyDuringARun) {
    game.screen = Screen::Select;
    game.state.courseRecords[2].times[4] = 61875;
    game.state.keyTally = KeyTally{{3, 4}, {-1, 2}};
    game.state.queueJitter = {ColumnJitter{1, 2}, ColumnJitter{3, 4}};
    game.state.hitFlash = {{{10, 11, 12}, {20, 21, 22}}};
    game.run.endTimer = 17;
    std::string line = TraceLine(game, 12, 4000000000u);
    EXPECT_EQ(line.front(), '{');
    EXPECT_EQ(line.back(), '}');
    EXPECT_EQ(FieldText(line, "frame"), "12");
    EXPECT_EQ(FieldText(line, "clock"), "4000000000");
    EXPECT_EQ(FieldText(line, "screen"), "\"select\"");
    EXPECT_EQ(FieldText(line, "keyTally"), "[3,4,-1,2]");
    EXPECT_EQ(FieldText(line, "queueJitter"), "[1,3,2,4]");
    EXPECT_EQ(FieldText(line, "hitFlash"), "[10,20,11,21,12,22]");
    EXPECT_EQ(
        FieldText(line, "courseRecords").substr(0, 80),
        std::string("[{\"times\":[0,0,0,0,0],\"speeds\":[0,0,0,0,0]},{\"times\":[0,0,0,0,0],\"speeds\":[0,0,0,0,0]},"
                    "{\"times\":[0,0,0,0,61875]")
            .substr(0, 80));
    EXPECT_EQ(line.find("\"stars\""), std::string::npos);
    EXPECT_EQ(line.find("\"endTimer\""), std::string::npos);

    game.screen = Screen::Run;
    line = TraceLine(game, 13, 0);
    EXPECT_EQ(FieldText(line, "screen"), "\"run\"");
    EXPECT_EQ(FieldText(line, "endTimer"), "17");
    for (const char* name : {"newRank", "loadLevel", "ringSlot", "frameTime", "heldKey"})
        EXPECT_EQ(FieldText(line, name), "0") << name;
}

TEST_F(SimTrace, FloatsReadBackExactly) {
    game.state.speed = 0.1f;
    game.state.distance = 123456.789f;
    game.state.starTint = {1.0f / 3.0f, 0.0f, 2.5e-7f};
    std::string line = TraceLine(game, 1, 0);
    EXPECT_EQ(std::strtof(FieldText(line, "speed").c_str(), nullptr), 0.1f);
    EXPECT_EQ(std::strtof(FieldText(line, "distance").c_str(), nullptr), 123456.789f);
    std::string tint = FieldText(line, "starTint");
    EXPECT_EQ(std::strtof(tint.c_str() + 1, nullptr), 1.0f / 3.0f);
    EXPECT_EQ(std::strtof(tint.c_str() + tint.rfind(',') + 1, nullptr), 2.5e-7f);
}

TEST(SimTraceJson, StringsAreEscapedAndUtf8PassesThrough) {
    EXPECT_EQ(JsonString("直線のみ"), "\"直線のみ\"");
    EXPECT_EQ(JsonString("a\"b\\c\n\x01"), "\"a\\\"b\\\\c\\u000a\\u0001\"");
    EXPECT_EQ(JsonString("JH,."), "\"JH,.\"");
}

}  // namespace
}  // namespace kelo
