#include <gtest/gtest.h>

#include "platform/sim/SimError.h"
#include "platform/sim/SimScript.h"

namespace kelo {
namespace {

using Kind = ScriptEvent::Kind;

TEST(SimScript, OrdersByFrameKeepingFileOrderAndPlacesTheTapReleaseAtItsLine) {
    auto events = ParseScript(
        "# opening comment\n"
        "\n"
        "5 tap F   # the left hand\n"
        "6 down j\r\n"
        "3 down vk:65\n"
        "6 up COMMA\n"
        "  7 close\n");
    std::vector<ScriptEvent> expected{
        {3, Kind::Down, 65},  {5, Kind::Down, 'F'}, {6, Kind::Up, 'F'},
        {6, Kind::Down, 'J'}, {6, Kind::Up, 188},   {7, Kind::Close, 0},
    };
    EXPECT_EQ(events, expected);
}

TEST(SimScript, KnowsEveryNamedKey) {
    const std::pair<const char*, int> keys[] = {
        {"A", 65},      {"Z", 90},     {"0", 48},        {"9", 57},     {"COMMA", 188}, {"PERIOD", 190}, {"SPACE", 32},
        {"ESCAPE", 27}, {"LEFT", 37},  {"UP", 38},       {"RIGHT", 39}, {"DOWN", 40},   {"SHIFT", 16},   {"CTRL", 17},
        {"ALT", 18},    {"ENTER", 13}, {"BACKSPACE", 8}, {"TAB", 9},    {"DELETE", 46}, {"vk:255", 255},
    };
    for (auto [name, code] : keys) EXPECT_EQ(KeyCodeFromName(name), code) << name;
    for (const char* bad : {"", "AB", "-", "vk:0", "vk:256", "vk:", "vk:x", "F1"})
        EXPECT_FALSE(KeyCodeFromName(bad).has_value()) << bad;
}

TEST(SimScript, BadLinesNameTheirLineAndProblem) {
    const std::pair<const char*, const char*> cases[] = {
        {"0 down A", "line 1: frame"},
        {"1 down A\nx down A", "line 2: frame"},
        {"-4 down A", "frame"},
        {"4", "missing action"},
        {"4 press A", "unknown action"},
        {"4 down", "missing key"},
        {"4 down Q R", "too many"},
        {"4 down F13", "unknown key"},
        {"4 close A", "close takes no key"},
        {"99999999999999999999 down A", "frame"},
    };
    for (auto [script, problem] : cases) {
        try {
            ParseScript(script);
            ADD_FAILURE() << "accepted: " << script;
        } catch (const SimUsageError& error) {
            EXPECT_NE(std::string(error.what()).find(problem), std::string::npos) << error.what();
        }
    }
}

}  // namespace
}  // namespace kelo

namespace kelo {
namespace {

TEST(SimScript, FramesBeyondTheLastScriptFrameAreRefusedBeforeTheyCanOverflow) {
    EXPECT_EQ(ParseScript("1000000000 tap A\n").back().frame, 1000000001);
    for (const char* script : {"1000000001 down A", "9223372036854775807 tap A", "9223372036854775807 close"})
        EXPECT_THROW(ParseScript(script), SimUsageError) << script;
}

TEST(SimScript, MessagesQuoteAtMost80CharactersWithEveryOtherByteEscaped) {
    EXPECT_EQ(QuotedForMessage(std::string("a\0\n\xe9", 4)), "\"a\\x00\\x0A\\xE9\"");
    EXPECT_EQ(QuotedForMessage(std::string(81, 'y')), "\"" + std::string(80, 'y') + "...\"");
}

}  // namespace
}  // namespace kelo
