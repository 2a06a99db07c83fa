#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/sdl/AudioPaths.h"

namespace kelo {
namespace {

namespace fs = std::filesystem;

class AudioPathsTest : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() /
                ("kelo-paths-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(root_);
        fs::create_directories(root_ / "work");
        fs::create_directories(root_ / "game" / "bin");
        folders_ = GameSoundFolders((root_ / "game" / "bin").string() + "/");
        folders_.currentDirectory = (root_ / "work").string();
    }
    void TearDown() override { fs::remove_all(root_); }

    fs::path Resolved(const char* path) { return fs::path(ResolveSoundPath(path, folders_)).lexically_normal(); }

    fs::path root_;
    SoundFolders folders_;
};

TEST_F(AudioPathsTest, TheCurrentDirectoryWinsWhenItHasTheFolder) {
    fs::create_directories(root_ / "work" / "snd");
    fs::create_directories(root_ / "game" / "bin" / "snd");
    // Even a file missing there is looked for there: the folder decides, not the file.
    EXPECT_EQ(Resolved("snd/tap.wav"), root_ / "work" / "snd" / "tap.wav");
}

TEST_F(AudioPathsTest, FallsBackBesideTheExecutableThenToTheInstallFolder) {
    fs::create_directories(root_ / "game" / "share" / "kelo-typing" / "snd");
    EXPECT_EQ(Resolved("snd/bgm.mid"), root_ / "game" / "share" / "kelo-typing" / "snd" / "bgm.mid");
    fs::create_directories(root_ / "game" / "bin" / "snd");
    EXPECT_EQ(Resolved("snd/bgm.mid"), root_ / "game" / "bin" / "snd" / "bgm.mid");
}

TEST_F(AudioPathsTest, WithNoFolderAnywhereOrNoFolderInThePathTheCurrentDirectoryIsUsed) {
    EXPECT_EQ(Resolved("snd/tap.wav"), root_ / "work" / "snd" / "tap.wav");
    EXPECT_EQ(Resolved("tap.wav"), root_ / "work" / "tap.wav");
    EXPECT_EQ(Resolved("/elsewhere/snd/tap.wav"), fs::path("/elsewhere/snd/tap.wav"));
    EXPECT_TRUE(GameSoundFolders("").fallbacks.empty());
}

}  // namespace
}  // namespace kelo
