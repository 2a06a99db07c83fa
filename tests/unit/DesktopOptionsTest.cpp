#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "draw/Colour.h"
#include "platform/sdl/CommandLine.h"
#include "platform/sdl/DisplaySettings.h"
#include "platform/sdl/Zoom.h"

namespace kelo {
namespace {

CommandLine Parse(std::vector<std::string_view> args) { return ParseCommandLine(args); }

TEST(DesktopCommandLine, OptionsSetZoomAndFullscreenLastChoiceWinning) {
    const CommandLine none = Parse({});
    EXPECT_EQ(none.action, CommandLine::Action::Play);
    EXPECT_FALSE(none.zoom);
    EXPECT_FALSE(none.fullscreen);

    const CommandLine both = Parse({"--scale", "3", "--fullscreen"});
    EXPECT_EQ(both.action, CommandLine::Action::Play);
    EXPECT_EQ(both.zoom, 3);
    EXPECT_EQ(both.fullscreen, true);
    EXPECT_EQ(Parse({"--scale=16", "--fullscreen", "--windowed"}).fullscreen, false);
    EXPECT_EQ(Parse({"--scale=16"}).zoom, 16);
    EXPECT_EQ(Parse({"--language", "en"}).language, "en");
    EXPECT_EQ(Parse({"--language=en", "--language=ja"}).language, "ja");
}

TEST(DesktopCommandLine, HelpAndVersionWinButNotOverABadArgument) {
    EXPECT_EQ(Parse({"--help"}).action, CommandLine::Action::Help);
    EXPECT_EQ(Parse({"--scale", "2", "--version"}).action, CommandLine::Action::Version);
    EXPECT_EQ(Parse({"--version", "--help"}).action, CommandLine::Action::Help);
    EXPECT_EQ(Parse({"--help", "--nonsense"}).action, CommandLine::Action::Error);
    EXPECT_NE(HelpText().find("--scale N"), std::string::npos);
}

TEST(DesktopCommandLine, ExportHistoryTakesACsvJsonOrStandardOutputName) {
    for (std::string_view name : {"runs.csv", "Runs.JSON", "-"}) {
        const CommandLine result = Parse({"--export-history", name});
        EXPECT_EQ(result.action, CommandLine::Action::ExportHistory) << name;
        EXPECT_EQ(result.exportPath, name);
    }
    EXPECT_EQ(Parse({"--export-history=a.json"}).exportPath, "a.json");
    EXPECT_EQ(Parse({"--export-history", "a.csv", "--help"}).action, CommandLine::Action::Help);
}

TEST(DesktopCommandLine, BadArgumentsGiveOneLineNamingThem) {
    const std::vector<std::vector<std::string_view>> bad = {
        {"--bogus"},       {"-x"},       {"game.hsc"},      {"--scale"},        {"--scale", "0"}, {"--scale", "17"},
        {"--scale", "2x"}, {"--scale="}, {"--scale", "-1"}, {"--fullscreen=1"}, {"--language"},   {"--language", "fr"},
        {"--language="},   {"--export-history"}, {"--export-history", "runs.txt"}, {"--export-history=.csv"},
    };
    for (const auto& args : bad) {
        const CommandLine result = Parse(args);
        EXPECT_EQ(result.action, CommandLine::Action::Error) << args[0];
        EXPECT_FALSE(result.error.empty());
        EXPECT_EQ(result.error.find('\n'), std::string::npos);
    }
    EXPECT_NE(Parse({"--scale", "2x"}).error.find("2x"), std::string::npos);
    EXPECT_NE(Parse({"--bogus"}).error.find("--bogus"), std::string::npos);
}

TEST(DesktopSettings, ParsesWhatItFormats) {
    std::string error;
    for (const DisplaySettings& settings : {DisplaySettings{}, DisplaySettings{2, false}, DisplaySettings{16, true},
                                            DisplaySettings{std::nullopt, true}, DisplaySettings{2, true, "en"}}) {
        EXPECT_EQ(ParseDisplaySettings(FormatDisplaySettings(settings), error), settings);
    }
    EXPECT_EQ(FormatDisplaySettings({3, true}), "scale=3\nfullscreen=1\n");
}

TEST(DesktopSettings, LinesThatSetNothingAreLeftOutAndNamedOnce) {
    const struct {
        const char* text;
        DisplaySettings kept;
        const char* named;  // how the one warning starts; "" for none
    } cases[] = {
        {"\r\nfullscreen=0\r\n\nscale=4\n", {4, false}, ""},
        {"scale=2\nzoom=3\nlanguage=en\n", {2, std::nullopt, "en"}, "line 2 is "},
        {"scale=3\nscale=17\nfullscreen=1\nfullscreen=yes\n", {3, true}, "lines 2, 4 are "},
        {"scale=0\nscale=two\nlanguage=fr\nlanguage=\nscale 2\nfullscreen=1\nx\n",
         {std::nullopt, true},
         "lines 1, 2, 3, 4, 5 and 1 more are "},
        {"\x89PNG\r\n\x1a\n", {}, "lines 1, 2 are "},
    };
    for (const auto& c : cases) {
        std::string warning = "stale";
        EXPECT_EQ(ParseDisplaySettings(c.text, warning), c.kept) << c.text;
        EXPECT_EQ(warning.rfind(c.named, 0), 0u) << warning;
        EXPECT_EQ(warning.empty(), c.named[0] == '\0') << warning;
        EXPECT_EQ(warning.find('\n'), std::string::npos);
    }
}

TEST(DesktopSettings, PathFollowsXdgConfigHomeThenHome) {
    EXPECT_EQ(DisplaySettingsPath("/cfg", "/home/u"), "/cfg/kelo-typing/settings.ini");
    EXPECT_EQ(DisplaySettingsPath(nullptr, "/home/u"), "/home/u/.config/kelo-typing/settings.ini");
    EXPECT_EQ(DisplaySettingsPath("relative", "/home/u"), "/home/u/.config/kelo-typing/settings.ini");
    EXPECT_EQ(DisplaySettingsPath(nullptr, nullptr), "");
}

class DesktopSettingsFile : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/kelo-settings-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder_ = pattern;
        path_ = DisplaySettingsPath(folder_.c_str(), nullptr);
    }
    void TearDown() override { std::system(("rm -rf '" + folder_ + "'").c_str()); }

    std::string folder_;
    std::string path_;
};

TEST_F(DesktopSettingsFile, SavedChoiceIsLoadedBackAndAMissingFileIsQuiet) {
    std::string warning, error;
    EXPECT_EQ(LoadDisplaySettings(path_, warning), DisplaySettings{});
    EXPECT_EQ(warning, "");
    ASSERT_TRUE(SaveDisplaySettings(path_, {3, true}, error)) << error;
    EXPECT_EQ(LoadDisplaySettings(path_, warning), (DisplaySettings{3, true}));
    EXPECT_EQ(warning, "");
    ASSERT_TRUE(SaveDisplaySettings(path_, {1, false}, error)) << error;
    EXPECT_EQ(LoadDisplaySettings(path_, warning), (DisplaySettings{1, false}));
}

TEST_F(DesktopSettingsFile, UnknownLinesCostOnlyThemselvesAndAreNamedWithTheFile) {
    std::string error, warning;
    ASSERT_TRUE(SaveDisplaySettings(path_, {2, false}, error)) << error;
    std::ofstream(path_, std::ios::app) << "scale=99\nvolume=3\n";
    EXPECT_EQ(LoadDisplaySettings(path_, warning), (DisplaySettings{2, false}));
    EXPECT_EQ(warning.rfind(path_ + ": lines 3, 4 are ", 0), 0u) << warning;
}

TEST(DesktopZoom, ZoomKeysStepWithinOneAndTheLargestOrGoBackToTheDefault) {
    struct Case {
        ZoomKey key;
        int current, expected;
    };
    for (const Case& c : {Case{ZoomKey::In, 2, 3}, Case{ZoomKey::In, 4, 4}, Case{ZoomKey::In, 6, 4},
                          Case{ZoomKey::Out, 2, 1}, Case{ZoomKey::Out, 1, 1}, Case{ZoomKey::Reset, 4, 2}}) {
        EXPECT_EQ(ZoomAfterKey(c.key, c.current, 2, 4), c.expected) << c.current;
    }
    EXPECT_EQ(ZoomAfterKey(ZoomKey::In, 1, 1, 0), 1);
}

TEST(DesktopZoom, DefaultIsTheLargestZoomWithinSixtyPercentOfTheUsableHeight) {
    EXPECT_EQ(DefaultZoom(1366, 768), 1);
    EXPECT_EQ(DefaultZoom(1366, 728), 1);
    EXPECT_EQ(DefaultZoom(1920, 1080), 2);
    EXPECT_EQ(DefaultZoom(1920, 1040), 2);
    EXPECT_EQ(DefaultZoom(2560, 1440), 2);
    EXPECT_EQ(DefaultZoom(3840, 2160), 4);
    EXPECT_EQ(DefaultZoom(3840, 2100), 4);
    EXPECT_EQ(DefaultZoom(640, 480), 1);
    EXPECT_EQ(DefaultZoom(0, 0), 1);
    // A portrait screen: the window must still fit across.
    EXPECT_EQ(DefaultZoom(1080, 1920), 2);
}

TEST(DesktopZoom, PictureTakesTheLargestWholeZoomCentred) {
    const Placement exact = PlacePicture(800, 600);
    EXPECT_EQ(exact.zoom, 2);
    EXPECT_EQ(exact.x, 0);
    EXPECT_EQ(exact.y, 0);
    const Placement fullHd = PlacePicture(1920, 1080);
    EXPECT_EQ(fullHd.zoom, 3);
    EXPECT_EQ(fullHd.x, 360);
    EXPECT_EQ(fullHd.y, 90);
    const Placement wideOnly = PlacePicture(1201, 599);
    EXPECT_EQ(wideOnly.zoom, 1);
    EXPECT_EQ(wideOnly.x, 400);
    EXPECT_EQ(wideOnly.y, 149);
    const Placement tooSmall = PlacePicture(300, 200);
    EXPECT_EQ(tooSmall.zoom, 1);
    EXPECT_EQ(tooSmall.x, -50);
    EXPECT_EQ(tooSmall.y, -50);
}

struct Canvas {
    Canvas(int w, int h) : pixels(static_cast<size_t>(w) * h, 0xDEADBEEF), width(w), height(h) {}
    PixelTarget Target() { return {pixels.data(), width, height, width}; }
    uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
    std::vector<uint32_t> pixels;
    int width, height;
};

Image Pattern() {
    Image frame(400, 300);
    for (int y = 0; y < 300; ++y) {
        for (int x = 0; x < 400; ++x) frame.At(x, y) = Rgb(x % 256, y % 256, (x * 7 + y * 3) % 256);
    }
    return frame;
}

std::vector<uint32_t> Converted(const Image& frame, ChannelShifts shifts = {}) {
    std::vector<uint32_t> picture;
    ConvertPicture(frame, shifts, picture);
    return picture;
}

uint32_t Xrgb(Colour c) { return static_cast<uint32_t>(RedOf(c) << 16 | GreenOf(c) << 8 | BlueOf(c)); }

TEST(DesktopZoom, EachPicturePixelBecomesAZoomSquareAndTheRestIsUntouched) {
    const Image frame = Pattern();
    Canvas canvas(1000, 700);
    const Placement placement = PlacePicture(1000, 700);
    ASSERT_EQ(placement.zoom, 2);
    DrawZoomed(Converted(frame), placement, canvas.Target());
    for (int y = 0; y < 700; ++y) {
        for (int x = 0; x < 1000; ++x) {
            const int px = x - placement.x, py = y - placement.y;
            const bool inside = px >= 0 && px < 800 && py >= 0 && py < 600;
            const uint32_t want = inside ? Xrgb(frame.At(px / 2, py / 2)) : 0xDEADBEEF;
            ASSERT_EQ(canvas.At(x, y), want) << x << "," << y;
        }
    }
    FillBlack(canvas.Target());
    EXPECT_EQ(canvas.At(0, 0), 0u);
    EXPECT_EQ(canvas.At(999, 699), 0u);
}

TEST(DesktopZoom, ChannelsFollowTheTargetLayoutAndSmallTargetsCutThePicture) {
    const Image frame = Pattern();
    Canvas bgr(400, 300);
    DrawZoomed(Converted(frame, {0, 8, 16}), PlacePicture(400, 300), bgr.Target());
    EXPECT_EQ(bgr.At(123, 45), frame.At(123, 45));
    EXPECT_EQ(Converted(Image(10, 10, Rgb(1, 2, 3)))[9 * 400 + 9], 0x010203u);
    EXPECT_EQ(Converted(Image(10, 10, Rgb(1, 2, 3)))[10 * 400 + 10], 0u);

    Canvas small(300, 200);
    const Placement cut = PlacePicture(300, 200);
    DrawZoomed(Converted(frame), cut, small.Target());
    EXPECT_EQ(small.At(0, 0), Xrgb(frame.At(50, 50)));
    EXPECT_EQ(small.At(299, 199), Xrgb(frame.At(349, 249)));

    Canvas wide(2000, 1100);
    DrawZoomed(Converted(frame), {0, 0, 5}, wide.Target());
    EXPECT_EQ(wide.At(1999, 1099), Xrgb(frame.At(399, 219)));
    EXPECT_EQ(wide.At(5, 4), Xrgb(frame.At(1, 0)));

    Canvas odd(1203, 905);
    const Placement three = PlacePicture(1203, 905);
    DrawZoomed(Converted(frame), three, odd.Target());
    EXPECT_EQ(odd.At(three.x + 1199, three.y + 899), Xrgb(frame.At(399, 299)));
    EXPECT_EQ(odd.At(three.x + 3, three.y + 5), Xrgb(frame.At(1, 1)));
    EXPECT_EQ(odd.At(three.x - 1, three.y), 0xDEADBEEFu);
}

}  // namespace
// The presenter draws and sends only what changed, so the changed rows must cover every
// changed pixel and the drawing of those rows must leave the others alone.
TEST(DesktopZoom, OnlyChangedRowsAreReportedAndRedrawn) {
    Image frame = Pattern();
    std::vector<uint32_t> picture;
    EXPECT_EQ(ConvertPicture(frame, {}, picture), (PictureRows{0, 300}));
    EXPECT_TRUE(ConvertPicture(frame, {}, picture).Empty());

    frame.At(399, 120) = Rgb(1, 1, 1);
    frame.At(0, 47) = Rgb(2, 2, 2);
    EXPECT_EQ(ConvertPicture(frame, {}, picture), (PictureRows{47, 121}));
    EXPECT_EQ(picture, Converted(frame));
    EXPECT_EQ(ConvertPicture(frame, {0, 8, 16}, picture), (PictureRows{0, 300}));

    Canvas canvas(1000, 700);
    const Placement placement = PlacePicture(1000, 700);
    DrawZoomed(Converted(frame), placement, canvas.Target(), PictureRows{47, 121});
    for (int y = 0; y < 700; ++y) {
        const int row = (y - placement.y) / 2;
        const bool drawn = y >= placement.y && row >= 47 && row < 121;
        ASSERT_EQ(canvas.At(placement.x + 10, y) != 0xDEADBEEF, drawn) << y;
    }
    EXPECT_EQ(canvas.At(placement.x + 799, placement.y + 241), Xrgb(Rgb(1, 1, 1)));
}

}  // namespace kelo
