#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "platform/sdl/AudioPaths.h"
#include "platform/sdl/AudioRendering.h"
#include "sound/SoundAliases.h"

namespace kelo {
namespace {

namespace fs = std::filesystem;

// An install in Debian's layout (game/games/ and game/share/games/kelo-typing/), started
// from a working folder of its own.
class AudioPathsTest : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() /
                ("kelo-paths-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(root_);
        fs::create_directories(work_ = root_ / "work");
        fs::create_directories(beside_ = root_ / "game" / "games");
        data_ = root_ / "game" / "share" / "games" / "kelo-typing";
        fs::create_directories(data_);
        folders_ = GameSoundFolders(beside_.string() + "/", "../share/games/kelo-typing");
        folders_.currentDirectory = work_.string();
    }
    void TearDown() override { fs::remove_all(root_); }

    static void Put(const fs::path& base, std::string_view file) {
        fs::create_directories((base / file).parent_path());
        std::ofstream(base / file) << "sound";
    }
    static void PutAll(const fs::path& base) {
        for (const SoundAlias& sound : kSoundAliases) Put(base, sound.file);
    }

    fs::path Resolved(std::string_view path) { return fs::path(ResolveSoundPath(path, folders_)).lexically_normal(); }

    fs::path root_, work_, beside_, data_;
    SoundFolders folders_;
};

TEST_F(AudioPathsTest, CompleteCopiesAreTakenBesideTheExecutableThenInTheDataFolderThenInTheCurrentDirectory) {
    PutAll(beside_);
    PutAll(data_);
    PutAll(work_);
    EXPECT_EQ(Resolved("snd/tap.wav"), beside_ / "snd" / "tap.wav");
    fs::remove(beside_ / "snd" / "chime.mid");
    EXPECT_EQ(Resolved("snd/tap.wav"), data_ / "snd" / "tap.wav");
    fs::remove_all(data_ / "snd");
    EXPECT_EQ(Resolved("snd/bgm.mid"), work_ / "snd" / "bgm.mid");
}

TEST_F(AudioPathsTest, AnEmptyOrPartialSoundFolderWhereTheGameStartsDoesNotHideTheInstalledOne) {
    PutAll(data_);
    fs::create_directories(work_ / "snd");
    EXPECT_EQ(Resolved("snd/goal.wav"), data_ / "snd" / "goal.wav");
    Put(work_, "snd/goal.wav");
    EXPECT_EQ(Resolved("snd/goal.wav"), data_ / "snd" / "goal.wav");
    // A folder that only looks like one: the names are there, but as folders.
    for (const SoundAlias& sound : kSoundAliases) fs::create_directories(beside_ / sound.file);
    EXPECT_EQ(Resolved("snd/goal.wav"), data_ / "snd" / "goal.wav");
}

TEST_F(AudioPathsTest, WithNoCompleteCopyEachFileComesFromTheFirstFolderHoldingIt) {
    Put(data_, "snd/tap.wav");
    Put(work_, "snd/tap.wav");
    Put(work_, "snd/bgm.mid");
    EXPECT_EQ(Resolved("snd/tap.wav"), data_ / "snd" / "tap.wav");
    EXPECT_EQ(Resolved("snd/bgm.mid"), work_ / "snd" / "bgm.mid");
    EXPECT_EQ(Resolved("snd/chime.mid"), work_ / "snd" / "chime.mid");
    EXPECT_EQ(Resolved("/elsewhere/snd/tap.wav"), fs::path("/elsewhere/snd/tap.wav"));
}

TEST_F(AudioPathsTest, AnUnknownExecutableFolderLeavesOnlyTheCurrentDirectory) {
    SoundFolders folders = GameSoundFolders("");
    EXPECT_TRUE(folders.gameFolders.empty());
    folders.currentDirectory = work_.string();
    PutAll(work_);
    EXPECT_EQ(fs::path(ResolveSoundPath("snd/sel.wav", folders)), work_ / "snd" / "sel.wav");
}

// The list decides which folders count: it must name exactly the files the game ships.
TEST(AudioPathsFilesTest, TheGameSoundFilesAreTheShippedSoundFolder) {
    std::set<std::string> shipped, listed;
    for (const auto& entry : fs::directory_iterator(fs::path(KELO_SOURCE_DIR) / "snd")) {
        shipped.insert("snd/" + entry.path().filename().string());
    }
    // Beside each MIDI file, its rendering.
    for (const SoundAlias& sound : kSoundAliases) {
        listed.emplace(sound.file);
        if (sound.file.ends_with(".mid")) listed.insert(RenderingPathOf(std::string(sound.file)));
    }
    EXPECT_EQ(listed, shipped);
}

}  // namespace
}  // namespace kelo
