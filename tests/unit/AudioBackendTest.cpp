// The desktop sound backend on SDL's disk audio driver: what the mixer puts out is
// written to a file, and every alias's own output is metered, so these tests check real
// samples rather than the absence of a crash.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "platform/sdl/AudioBackend.h"

namespace kelo {
namespace {

namespace fs = std::filesystem;

constexpr int kAudible = 300;  // of 32767: well above dither and rounding

const char* const kOpenCommands[] = {
    "open snd/tap.wav Alias wavTip",       "open snd/sel.wav Alias wavSel",
    "open snd/dec.wav Alias wavDec",       "open snd/extend.wav Alias wavExtend",
    "open snd/start.wav Alias wavGop",     "open snd/goal.wav Alias wavGoal",
    "open snd/bgm.mid Alias midBGM1",      "open snd/bgm2.mid Alias midBGM2",
    "open snd/chime.mid Alias midChime",
};

const char* const kAliases[] = {"wavTip", "wavSel", "wavDec", "wavExtend", "wavGop",
                                "wavGoal", "midBGM1", "midBGM2", "midChime"};

void Wait(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

int PeakOf(const std::vector<int16_t>& samples, size_t from = 0, size_t to = SIZE_MAX) {
    int peak = 0;
    to = std::min(to, samples.size());
    for (size_t i = from; i < to; ++i) peak = std::max(peak, std::abs(static_cast<int>(samples[i])));
    return peak;
}

class AudioBackendTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("SDL_AUDIODRIVER", "disk", 1);
        outputFile_ = fs::temp_directory_path() /
                      ("kelo-audio-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                       ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".raw");
        setenv("SDL_DISKAUDIOFILE", outputFile_.c_str(), 1);
    }

    void TearDown() override {
        std::error_code ignored;
        fs::remove(outputFile_, ignored);
    }

    // A backend finding "snd" in the source tree, as when started from there.
    static SoundFolders SourceFolders() {
        SoundFolders folders;
        folders.currentDirectory = KELO_SOURCE_DIR;
        return folders;
    }

    static void OpenAll(AudioBackend& audio) {
        for (const char* command : kOpenCommands) audio.Command(command);
    }

    // Everything the device put out, as interleaved stereo samples. Call after Close.
    std::vector<int16_t> Output() const {
        std::ifstream in(outputFile_, std::ios::binary);
        std::vector<char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        std::vector<int16_t> samples(bytes.size() / 2);
        std::copy_n(bytes.data(), samples.size() * 2, reinterpret_cast<char*>(samples.data()));
        return samples;
    }

    fs::path outputFile_;
};

TEST_F(AudioBackendTest, AnEffectReachesTheDevice) {
    AudioBackend audio(SourceFolders());
    ASSERT_TRUE(audio.Open());
    OpenAll(audio);
    audio.Command("play wavDec notify from 0");
    Wait(200);
    EXPECT_GT(audio.TakePeak("wavDec"), kAudible);
    EXPECT_EQ(audio.TakePeak("wavTip"), 0);
    audio.Close();
    EXPECT_GT(PeakOf(Output()), kAudible);
}

TEST_F(AudioBackendTest, MidiMusicReachesTheDevice) {
    AudioBackend audio(SourceFolders());
    ASSERT_TRUE(audio.Open());
    audio.Command("open snd/chime.mid Alias midChime");
    audio.Command("play midChime notify from 0");
    Wait(400);
    EXPECT_GT(audio.TakePeak("midChime"), kAudible);
    audio.Close();
    EXPECT_GT(PeakOf(Output()), kAudible);
}

TEST_F(AudioBackendTest, MusicStartingLeavesTheChimeAndEffectsLeaveTheMusic) {
    AudioBackend audio(SourceFolders());
    ASSERT_TRUE(audio.Open());
    OpenAll(audio);
    audio.Command("play midChime notify from 0");
    Wait(150);
    audio.Command("play wavGop notify from 0");
    audio.Command("play midBGM2 from 0");
    audio.Command("play wavTip notify from 0");
    audio.TakePeak("midChime");
    audio.TakePeak("midBGM2");
    Wait(400);
    EXPECT_GT(audio.TakePeak("midChime"), kAudible);
    EXPECT_GT(audio.TakePeak("midBGM2"), kAudible);
    for (int key = 0; key < 5; ++key) {
        audio.Command("play wavTip notify from 0");
        Wait(30);
    }
    EXPECT_GT(audio.TakePeak("wavTip"), kAudible);
    audio.Command("play wavExtend notify from 0");
    Wait(200);
    EXPECT_GT(audio.TakePeak("midBGM2"), kAudible);
}

TEST_F(AudioBackendTest, StopSilencesOnlyItsAlias) {
    AudioBackend audio(SourceFolders());
    ASSERT_TRUE(audio.Open());
    OpenAll(audio);
    audio.Command("play midBGM1 from 0");
    audio.Command("play midBGM2 from 0");
    Wait(300);
    audio.Command("stop midBGM1");
    audio.TakePeak("midBGM1");
    audio.TakePeak("midBGM2");
    Wait(300);
    EXPECT_EQ(audio.TakePeak("midBGM1"), 0);
    EXPECT_GT(audio.TakePeak("midBGM2"), kAudible);

    // Stopped everything: the device then puts out silence.
    audio.Command("stop midBGM2");
    audio.Command("stop midBGM1");
    Wait(500);
    audio.Close();
    std::vector<int16_t> output = Output();
    const size_t lastTenthOfASecond = 2 * 4410;
    ASSERT_GT(output.size(), 4 * lastTenthOfASecond);
    EXPECT_GT(PeakOf(output, 0, output.size() - 2 * lastTenthOfASecond), kAudible);
    EXPECT_EQ(PeakOf(output, output.size() - lastTenthOfASecond), 0);
}

TEST_F(AudioBackendTest, ClosedAliasesFallSilentAndCanBeOpenedAgain) {
    AudioBackend audio(SourceFolders());
    ASSERT_TRUE(audio.Open());
    OpenAll(audio);
    audio.Command("play wavGoal notify from 0");
    audio.Command("play midBGM1 from 0");
    Wait(100);
    audio.Command("close wavGoal");
    audio.Command("close midBGM1");
    Wait(100);
    audio.Command("play wavGoal notify from 0");
    audio.Command("play midBGM1 from 0");
    Wait(100);
    EXPECT_EQ(audio.TakePeak("wavGoal"), 0);
    EXPECT_EQ(audio.TakePeak("midBGM1"), 0);

    audio.Command("open snd/goal.wav Alias wavGoal");
    audio.Command("play wavGoal notify from 0");
    Wait(200);
    EXPECT_GT(audio.TakePeak("wavGoal"), kAudible);
}

TEST_F(AudioBackendTest, PlayingAgainRestartsAndTheTapEndsQuickly) {
    AudioBackend audio(SourceFolders());
    ASSERT_TRUE(audio.Open());
    OpenAll(audio);
    // A stopped effect resumes without "from", but is over once it has ended.
    audio.Command("play wavTip notify from 0");
    Wait(250);
    audio.TakePeak("wavTip");
    audio.Command("play wavTip");
    Wait(100);
    EXPECT_EQ(audio.TakePeak("wavTip"), 0);
    audio.Command("play wavTip notify from 0");
    Wait(100);
    EXPECT_GT(audio.TakePeak("wavTip"), kAudible);
    // Past the end of the sound there is nothing to play.
    audio.Command("play wavTip from 5000");
    Wait(100);
    EXPECT_EQ(audio.TakePeak("wavTip"), 0);
}

TEST_F(AudioBackendTest, WithoutTheSoundFolderEveryCommandIsHarmless) {
    fs::path empty = fs::temp_directory_path() / "kelo-no-snd";
    fs::create_directories(empty);
    SoundFolders folders;
    folders.currentDirectory = empty.string();
    folders.gameFolders = {(empty / "bin").string()};
    AudioBackend audio(folders);
    ASSERT_TRUE(audio.Open());
    OpenAll(audio);
    for (const char* alias : kAliases) {
        audio.Command(std::string("play ") + alias + " notify from 0");
    }
    audio.Command("stop midBGM1");
    audio.Command("play midBGM2 from 0");
    audio.Command("play");
    audio.Command("open snd/tap.wav Alias");
    audio.Command("open snd/missing.wav Alias wavMissing");
    audio.Command("play wavMissing notify from 0");
    Wait(200);
    for (const char* alias : kAliases) {
        EXPECT_EQ(audio.TakePeak(alias), 0) << alias;
        audio.Command(std::string("close ") + alias);
    }
    audio.Close();
    EXPECT_EQ(PeakOf(Output()), 0);
    fs::remove_all(empty);
}

TEST_F(AudioBackendTest, CommandsBeforeOpeningOrAfterClosingAreHarmless) {
    AudioBackend audio(SourceFolders());
    audio.Command("open snd/tap.wav Alias wavTip");
    audio.Command("play wavTip notify from 0");
    EXPECT_FALSE(audio.IsOpen());
    EXPECT_EQ(audio.TakePeak("wavTip"), 0);
    ASSERT_TRUE(audio.Open());
    OpenAll(audio);
    audio.Close();
    audio.Command("play wavTip notify from 0");
    audio.Command("close wavTip");
    EXPECT_EQ(audio.TakePeak("wavTip"), 0);
}

}  // namespace
}  // namespace kelo
