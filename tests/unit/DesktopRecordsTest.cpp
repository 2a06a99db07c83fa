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
#include "records/Ranking.h"
#include "records/RecordFile.h"

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

// Two copies on one data folder whose instance locks cannot see each other (another
// XDG_RUNTIME_DIR each), started on a damaged record file.
TEST(DesktopRecords, TwoCopiesKeepEachOthersRunsAndADamagedFileIsKeptAside) {
    const fs::path data = fs::temp_directory_path() / ("kelo-desktop-pair-" + std::to_string(std::random_device{}()));
    const fs::path folder = data / "kelo-typing";
    fs::create_directories(folder);
    Random random;
    RecordTable table;
    RankRun(table, {2, Difficulty::Normal, 70000, 9000});
    std::vector<uint8_t> cut = EncodeRecordFile(table, random);
    cut.pop_back();
    std::ofstream(folder / "kelodt.hsc", std::ios::binary).write(reinterpret_cast<const char*>(cut.data()), 1361);
    SDL_setenv("XDG_DATA_HOME", data.c_str(), 1);
    SDL_setenv("SDL_VIDEODRIVER", "dummy", 1);
    ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
    NoText text;
    std::string error;
    std::unique_ptr<SdlPlatform> first = SdlPlatform::Create(text, SoundOutput{}, error);
    std::unique_ptr<SdlPlatform> second = SdlPlatform::Create(text, SoundOutput{}, error);
    ASSERT_TRUE(first && second) << error;
    EXPECT_EQ(first->RecordFolder(), folder);
    Game one(*first), two(*second);

    // Both load what they can and refresh the file, as the title screen does; the first
    // save keeps the damaged file aside, once.
    testing::internal::CaptureStderr();
    for (Game* game : {&one, &two}) {
        LoadRecords(*game);
        ASSERT_TRUE(SaveRecords(*game));
    }
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    EXPECT_NE(said.find("it is not 1362 bytes long"), std::string::npos) << said;
    std::vector<fs::path> kept;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().filename().string().rfind("kelodt.hsc.damaged-", 0) == 0) kept.push_back(entry.path());
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(ReadWholeFile(kept[0]), cut);

    auto finish = [](Game& game, uint8_t course, int32_t time) {
        game.state.courseIndex = course;
        game.state.elapsedTime = time;
        InsertRunRecord(game);
        return SaveRecords(game);
    };
    ASSERT_TRUE(finish(one, 0, 60000));
    ASSERT_TRUE(finish(two, 1, 65000));
    const RecordTable saved = DecodeRecordFile(*first->ReadRecordFile());
    EXPECT_EQ(saved.courseRecords[0].times[0], 60000);
    EXPECT_EQ(saved.courseRecords[1].times[0], 65000);
    EXPECT_EQ(saved.openCourses, 4);

    first.reset();
    second.reset();
    SDL_Quit();
    ::unsetenv("XDG_DATA_HOME");
    fs::remove_all(data);
}

}  // namespace
}  // namespace kelo
