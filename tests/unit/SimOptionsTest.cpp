#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/sim/SimError.h"
#include "platform/sim/SimOptions.h"

namespace kelo {
namespace {

namespace fs = std::filesystem;

struct TempDir {
    TempDir() : path(fs::temp_directory_path() / ("kelo-sim-options-" + std::to_string(::getpid()))) {
        fs::create_directories(path);
    }
    ~TempDir() { fs::remove_all(path); }
    std::string operator/(const std::string& name) const { return (path / name).string(); }
    fs::path path;
};

TEST(SimOptions, ParsesEveryOptionInBothSpellings) {
    TempDir dir;
    std::ofstream(dir / "keys.txt") << "3 tap SPACE\n";
    // clang-format off
    CommandLine cl = ParseCommandLine({"--seed", "42", "--records-dir=" + dir.path.string(), "--clock-start",
                                       "4294967290", "--frame-cost", "7", "--frames=300", "--start", "run",
                                       "--course", "8", "--difficulty", "1", "--input", dir / "keys.txt", "--bot",
                                       "7.5,0.25", "--runs", "3", "--trace", dir / "t.json", "--sound-log",
                                       dir / "s.log", "--png", dir / "png", "--png-frames", "every:10"});
    // clang-format on
    const SimOptions& o = cl.options;
    EXPECT_FALSE(cl.helpRequested);
    EXPECT_EQ(o.seed, 42u);
    EXPECT_EQ(o.clockStart, 4294967290u);
    EXPECT_EQ(o.frameCost, 7u);
    EXPECT_EQ(o.frames, 300);
    EXPECT_EQ(o.start, Screen::Run);
    EXPECT_EQ(o.course, 8);
    EXPECT_EQ(o.difficulty, 1);
    ASSERT_EQ(o.script.size(), 2u);
    ASSERT_TRUE(o.bot.has_value());
    EXPECT_DOUBLE_EQ(o.bot->keysPerSecond, 7.5);
    EXPECT_DOUBLE_EQ(o.bot->missChance, 0.25);
    EXPECT_EQ(o.runs, 3);
    EXPECT_TRUE(o.pngFrames.Wants(20));
    EXPECT_FALSE(o.pngFrames.Wants(21));
    EXPECT_FALSE(fs::exists(dir / "t.json"));  // parsing writes nothing
}

TEST(SimOptions, DefaultsAndFrameChoices) {
    CommandLine cl = ParseCommandLine({"--bot", "9", "--png", "out", "--png-frames", "3,1,20"});
    EXPECT_EQ(cl.options.seed, 1u);
    EXPECT_EQ(cl.options.clockStart, 100000u);
    EXPECT_EQ(cl.options.start, Screen::Title);
    EXPECT_FALSE(cl.options.frames.has_value());
    EXPECT_DOUBLE_EQ(cl.options.bot->missChance, 0.0);
    for (int64_t f : {1, 3, 20}) EXPECT_TRUE(cl.options.pngFrames.Wants(f)) << f;
    for (int64_t f : {2, 4, 21}) EXPECT_FALSE(cl.options.pngFrames.Wants(f)) << f;
    EXPECT_TRUE(ParseCommandLine({"--help"}).helpRequested);
    for (const auto& args : {std::vector<std::string>{"--bot", "--runs", "2"}, std::vector<std::string>{"--bot"}}) {
        const SimOptions bot = ParseCommandLine(args).options;
        ASSERT_TRUE(bot.bot.has_value());
        EXPECT_DOUBLE_EQ(bot.bot->keysPerSecond, 5.0);
        EXPECT_DOUBLE_EQ(bot.bot->missChance, 0.0);
    }
}

TEST(SimOptions, RejectsBadValuesNamingTheOption) {
    // clang-format off
    const std::vector<std::vector<std::string>> bad = {
        {"--nonsense"},           {"--seed"},                   {"--seed", "-1"},
        {"--seed", "4294967296"}, {"--frames", "ten"},          {"--start", "game"},
        {"--course", "9"},        {"--difficulty", "2"},        {"--bot", "0"},
        {"--bot", "5,1.5"},       {"--bot", "5,"},              {"--runs", "0"},
        {"--png-frames", "all"},  {"--png", "x", "--png-frames", "every:0"},
        {"--png", "x", "--png-frames", "1,,2"}, {"--input", "/no/such/script"}, {"--input", "/"},
        {"--records-dir", "/no/such/folder"},   {"--trace", "/no/such/folder/t.json"},
        {"--trace", ""},          {"--clock-start", "1e5"},
    };
    // clang-format on
    for (const auto& args : bad) {
        std::string joined;
        for (const auto& a : args) joined += a + " ";
        EXPECT_THROW(ParseCommandLine(args), SimUsageError) << joined;
    }
    try {
        ParseCommandLine({"--course", "12"});
    } catch (const SimUsageError& error) {
        EXPECT_NE(std::string(error.what()).find("--course"), std::string::npos);
    }
}

}  // namespace
}  // namespace kelo
