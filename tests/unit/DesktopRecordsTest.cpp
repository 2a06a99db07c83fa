// The desktop's answer to a record save that fails everywhere: one line on stderr and a
// notice in the window title until a save succeeds.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include <stdlib.h>

#include "platform/sdl/SdlPlatform.h"

namespace kelo {
namespace {

namespace fs = std::filesystem;

class NoText : public TextRenderer {
public:
    const TextMask& Render(std::string_view, int) override { return mask_; }

private:
    TextMask mask_;
};

TEST(DesktopRecords, AFailedSaveIsSaidOnceAndShownInTheTitleUntilASaveSucceeds) {
    // The test binary's folder holds no portable.txt, so the records go to the per-user folder,
    // whose place a plain file takes here: no save can succeed, even as root.
    const fs::path data =
        fs::temp_directory_path() / ("kelo-desktop-records-" + std::to_string(std::random_device{}()));
    fs::create_directories(data);
    std::ofstream(data / "kelo-typing") << "in the way";
    SDL_setenv("XDG_DATA_HOME", data.c_str(), 1);
    SDL_setenv("SDL_VIDEODRIVER", "dummy", 1);
    ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
    NoText text;
    std::string error;
    std::unique_ptr<SdlPlatform> platform = SdlPlatform::Create(text, SoundOutput{}, error);
    ASSERT_NE(platform, nullptr) << error;
    const std::vector<uint8_t> bytes(1362, ' ');

    testing::internal::CaptureStderr();
    EXPECT_FALSE(platform->WriteRecordFile(bytes));
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    EXPECT_NE(said.find((data / "kelo-typing" / "kelodt.hsc").string()), std::string::npos) << said;
    EXPECT_NE(std::string(SDL_GetWindowTitle(platform->Window())).find("records could not be saved"),
              std::string::npos);

    fs::remove(data / "kelo-typing");
    EXPECT_TRUE(platform->WriteRecordFile(bytes));
    EXPECT_STREQ(SDL_GetWindowTitle(platform->Window()), "Ke-Lo Typing");
    EXPECT_EQ(platform->ReadRecordFile(), bytes);

    platform.reset();
    SDL_Quit();
    ::unsetenv("XDG_DATA_HOME");
    fs::remove_all(data);
}

}  // namespace
}  // namespace kelo
