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

#include <SDL.h>
#include <unistd.h>

#include "platform/sdl/AudioBackend.h"
#include "platform/sdl/AudioMidi.h"
#include "platform/sdl/AudioRendering.h"

namespace kelo {
namespace {

namespace fs = std::filesystem;

constexpr int kAudible = 300;  // of 32767: well above dither and rounding

const char* const kOpenCommands[] = {
    "open snd/tap.wav Alias wavTip",       "open snd/sel.wav Alias wavSel",   "open snd/dec.wav Alias wavDec",
    "open snd/extend.wav Alias wavExtend", "open snd/start.wav Alias wavGop", "open snd/goal.wav Alias wavGoal",
    "open snd/bgm.mid Alias midBGM1",      "open snd/bgm2.mid Alias midBGM2", "open snd/chime.mid Alias midChime",
};

const char* const kAliases[] = {"wavTip",  "wavSel",  "wavDec",  "wavExtend", "wavGop",
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

// A device that rests is closed, so the disk driver's file holds what it put out after
// the play that opened it again.
TEST_F(AudioBackendTest, TheDeviceRestsOnlyOnceQuietAndThePlayAfterIsHeard) {
    using std::chrono::milliseconds;
    AudioBackend audio(SourceFolders());
    ASSERT_TRUE(audio.Open());
    OpenAll(audio);
    audio.Command("play midBGM2 from 0");
    Wait(100);
    EXPECT_FALSE(audio.RestWhenQuietFor(milliseconds(0)));
    audio.Command("stop midBGM2");
    Wait(100);
    EXPECT_FALSE(audio.RestWhenQuietFor(milliseconds(50)));  // quiet from now on
    Wait(100);
    EXPECT_TRUE(audio.RestWhenQuietFor(milliseconds(50)));
    audio.Command("stop midBGM2");  // only a play wakes it
    EXPECT_TRUE(audio.RestWhenQuietFor(milliseconds(50)));
    audio.Command("play wavDec notify from 0");
    Wait(200);
    EXPECT_GT(audio.TakePeak("wavDec"), kAudible);
    EXPECT_TRUE(audio.IsOpen());
    audio.Close();
    EXPECT_GT(PeakOf(Output()), kAudible);
}

constexpr size_t kFrameRate = 44100;
// No sample above this: near silence. The sounds played here never stay that quiet for
// more than a few frames once they have begun, and bgm.mid opens with a longer moment
// (84 frames synthesised, 45 in its rendering, where Vorbis spreads the first notes).
constexpr int kQuiet = 32;
constexpr size_t kQuietFrames = 40;

// The changes between neighbouring samples of one stereo side, over the frames [from, to).
std::vector<int> Steps(const std::vector<int16_t>& samples, size_t from, size_t to) {
    std::vector<int> steps;
    for (size_t i = 2 * std::max<size_t>(from, 1); i < 2 * std::min(to, samples.size() / 2); ++i) {
        steps.push_back(std::abs(samples[i] - samples[i - 2]));
    }
    return steps;
}

// The step that `fraction` of all steps do not exceed.
int Percentile(std::vector<int> steps, double fraction) {
    if (steps.empty()) return 0;
    auto at = steps.begin() + static_cast<std::ptrdiff_t>(fraction * static_cast<double>(steps.size() - 1));
    std::nth_element(steps.begin(), at, steps.end());
    return *at;
}

bool QuietFrame(const std::vector<int16_t>& samples, size_t frame) {
    return std::abs(samples[2 * frame]) <= kQuiet && std::abs(samples[2 * frame + 1]) <= kQuiet;
}

size_t FirstSound(const std::vector<int16_t>& samples) {
    size_t frame = 0;
    while (frame < samples.size() / 2 && QuietFrame(samples, frame)) ++frame;
    return frame;
}

// A stretch of sound, from its first frame to the first frame of the near silence that
// ended it.
struct Sounding {
    size_t from;
    size_t end;
};

// The stretches that sounded at least `soundFrames` and were followed by at least
// kQuietFrames of near silence: where a sound was stopped, or music began again.
std::vector<Sounding> SoundingsOf(const std::vector<int16_t>& samples, size_t soundFrames) {
    std::vector<Sounding> soundings;
    size_t soundSince = SIZE_MAX;
    size_t quietRun = 0;
    for (size_t frame = 0; frame < samples.size() / 2; ++frame) {
        if (!QuietFrame(samples, frame)) {
            if (quietRun >= kQuietFrames || soundSince == SIZE_MAX) soundSince = frame;
            quietRun = 0;
            continue;
        }
        if (++quietRun == kQuietFrames && soundSince != SIZE_MAX) {
            const size_t end = frame + 1 - kQuietFrames;
            if (end >= soundSince + soundFrames) soundings.push_back({soundSince, end});
        }
    }
    return soundings;
}

// In the last millisecond before the silence no step is larger than the music's ordinary
// steps (their 99.9th percentile over the second before).
void ExpectNoStepLargerThanTheMusics(const std::vector<int16_t>& output, size_t end) {
    const int musicStep = Percentile(Steps(output, end - kFrameRate, end - kFrameRate / 50), 0.999);
    const std::vector<int> stopSteps = Steps(output, end - kFrameRate / 1000, end + kQuietFrames);
    EXPECT_LE(*std::max_element(stopSteps.begin(), stopSteps.end()), musicStep) << "at frame " << end;
}

// `sounding` is `reference` (interleaved stereo) played from its beginning: untouched
// (but for SDL's rounding of a mono wave) until 10 ms before the silence, so the fade-out
// lasts no longer, and in the last
// millisecond at most half as loud as the sound itself. Cut mid-wave, it would be the
// sound itself up to the silence.
void ExpectFadedOutCopyOf(const std::vector<int16_t>& reference, const std::vector<int16_t>& output,
                          Sounding sounding) {
    const size_t offset = FirstSound(reference);
    auto referenceAt = [&](size_t i) { return reference.at(i + 2 * offset - 2 * sounding.from); };
    for (size_t i = 2 * (sounding.end - kFrameRate / 50); i < 2 * (sounding.end - kFrameRate / 100); ++i) {
        ASSERT_NEAR(output[i], referenceAt(i), 1) << "at frame " << i / 2;
    }
    int louderThanHalf = 0;
    for (size_t i = 2 * (sounding.end - kFrameRate / 1000); i < 2 * sounding.end; ++i) {
        if (std::abs(output[i]) > std::abs(referenceAt(i)) / 2 + 2) ++louderThanHalf;
    }
    EXPECT_EQ(louderThanHalf, 0) << "in the millisecond before frame " << sounding.end;
}

// The first `frames` of a song from its beginning, in the mixer's blocks: the same
// decoder or synthesizer in the same steps gives the samples the backend plays.
std::vector<int16_t> FramesOf(Song& song, size_t frames) {
    song.Fetch();
    if (!song.Prepare()) return {};
    song.Restart();
    std::vector<int16_t> samples(2 * frames);
    for (size_t done = 0; done < frames; done += 512) {
        song.Render(samples.data() + 2 * done, static_cast<int>(std::min<size_t>(512, frames - done)));
    }
    return samples;
}

// bgm.mid as the backend plays it: its rendering.
std::vector<int16_t> RenderedBgm(size_t frames) {
    const std::string snd = std::string(KELO_SOURCE_DIR) + "/snd/";
    auto rendering = RenderedSong::Load(snd + "bgm.ogg", *ReadWholeFile(snd + "bgm.mid"), 44100);
    return rendering.song ? FramesOf(*rendering.song, frames) : std::vector<int16_t>{};
}

// A MIDI file synthesised live with the default soundfont.
std::vector<int16_t> SynthesisedLive(const std::string& midiPath, size_t frames) {
    auto song = MidiSong::Load(midiPath, SoundFont::Load(*FindSoundFont()), 44100);
    return song ? FramesOf(*song, frames) : std::vector<int16_t>{};
}

// goal.wav, 16-bit mono, as the device plays it: both sides alike.
std::vector<int16_t> GoalWave() {
    SDL_AudioSpec format{};
    Uint8* data = nullptr;
    Uint32 bytes = 0;
    if (!SDL_LoadWAV((std::string(KELO_SOURCE_DIR) + "/snd/goal.wav").c_str(), &format, &data, &bytes)) return {};
    std::vector<int16_t> samples;
    for (Uint32 i = 0; i + 1 < bytes; i += 2) {
        const int16_t sample = static_cast<int16_t>(data[i] | data[i + 1] << 8);
        samples.insert(samples.end(), {sample, sample});
    }
    SDL_FreeWAV(data);
    return samples;
}

// Stopped, and restarted while it sounds, the music ends without a click.
TEST_F(AudioBackendTest, MusicStopsAndRestartsWithoutAClick) {
    AudioBackend audio(SourceFolders());
    ASSERT_TRUE(audio.Open());
    OpenAll(audio);
    audio.Command("play midBGM1 from 0");
    Wait(1700);
    audio.Command("stop midBGM1");
    Wait(150);
    audio.Command("play midBGM1 from 0");
    Wait(1700);
    audio.Command("stop midBGM1");
    audio.Command("play midBGM1 from 0");
    audio.TakePeak("midBGM1");
    Wait(1700);
    EXPECT_GT(audio.TakePeak("midBGM1"), kAudible);
    audio.Command("stop midBGM1");
    Wait(150);
    audio.Close();
    const std::vector<int16_t> output = Output();
    const std::vector<Sounding> soundings = SoundingsOf(output, kFrameRate);
    ASSERT_EQ(soundings.size(), 3u);
    for (const Sounding& sounding : soundings) ExpectNoStepLargerThanTheMusics(output, sounding.end);
    ExpectFadedOutCopyOf(RenderedBgm(3 * kFrameRate), output, soundings.front());
}

TEST_F(AudioBackendTest, EffectsStopAndCloseFadingOut) {
    AudioBackend audio(SourceFolders());
    ASSERT_TRUE(audio.Open());
    OpenAll(audio);
    audio.Command("play wavGoal notify from 0");
    Wait(800);
    audio.Command("stop wavGoal");
    Wait(150);
    audio.Command("play wavGoal notify from 0");
    Wait(1150);
    audio.Command("close wavGoal");
    Wait(150);
    audio.Close();
    const std::vector<int16_t> output = Output();
    const std::vector<Sounding> soundings = SoundingsOf(output, kFrameRate / 2);
    ASSERT_EQ(soundings.size(), 2u);
    for (const Sounding& sounding : soundings) ExpectFadedOutCopyOf(GoalWave(), output, sounding);
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

TEST_F(AudioBackendTest, WithoutTheSoundFolderEveryCommandIsHarmlessAndEachMissingFileIsSaidOnce) {
    fs::path empty = fs::temp_directory_path() / "kelo-no-snd";
    fs::create_directories(empty);
    SoundFolders folders;
    folders.currentDirectory = empty.string();
    folders.gameFolders = {(empty / "bin").string()};
    AudioBackend audio(folders);
    std::vector<std::string> said;
    audio.SayProblemsTo([&said](const std::string& problem) { said.push_back(problem); });
    ASSERT_TRUE(audio.Open());
    OpenAll(audio);
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
    // The nine files and the unknown one, each once although opened twice.
    ASSERT_EQ(said.size(), 10u);
    for (const char* file : {"snd/tap.wav", "snd/bgm.mid", "snd/chime.mid", "snd/missing.wav"}) {
        EXPECT_EQ(std::count(said.begin(), said.end(), "the sound file " + (empty / file).string() + " is missing"), 1)
            << file;
    }
    fs::remove_all(empty);
}

// Beside the game's own renderings: bgm.mid replaced by other music, bgm2.mid without its
// rendering, and chime.ogg cut short. Each MIDI file is then synthesised live and heard;
// the missing and the damaged rendering are said, once each.
TEST_F(AudioBackendTest, MusicWithoutItsOwnRenderingIsSynthesisedLive) {
    if (!FindSoundFont()) GTEST_SKIP() << "no General MIDI soundfont installed";
    const std::string source = std::string(KELO_SOURCE_DIR) + "/snd/";
    const fs::path folder = fs::temp_directory_path() / ("kelo-live-" + std::to_string(getpid()));
    fs::create_directories(folder / "snd");
    for (const char* file : {"bgm.ogg", "bgm2.mid", "chime.mid", "tap.wav"})
        fs::copy_file(source + file, folder / "snd" / file);
    fs::copy_file(source + "chime.mid", folder / "snd/bgm.mid");
    fs::copy_file(source + "chime.ogg", folder / "snd/chime.ogg");
    fs::resize_file(folder / "snd/chime.ogg", fs::file_size(folder / "snd/chime.ogg") - 100);
    SoundFolders folders;
    folders.currentDirectory = folder.string();
    AudioBackend audio(folders);
    std::vector<std::string> said;
    audio.SayProblemsTo([&said](const std::string& problem) { said.push_back(problem); });
    ASSERT_TRUE(audio.Open());
    for (int twice = 0; twice < 2; ++twice) {
        for (const char* open : {"open snd/bgm.mid Alias midBGM1", "open snd/bgm2.mid Alias midBGM2",
                                 "open snd/chime.mid Alias midChime", "open snd/tap.wav Alias wavTip"}) {
            audio.Command(open);
        }
        if (twice == 0) audio.Command("close midBGM2");
    }
    const std::string snd = (folder / "snd").string() + "/";
    EXPECT_EQ(said, (std::vector<std::string>{
                        "the rendering " + snd + "bgm2.ogg is missing: synthesising " + snd + "bgm2.mid live",
                        "the rendering " + snd + "chime.ogg is damaged: synthesising " + snd + "chime.mid live"}));

    for (const char* alias : {"midBGM2", "midChime"}) {
        audio.Command(std::string("play ") + alias + " from 0");
        Wait(600);
        EXPECT_GT(audio.TakePeak(alias), kAudible) << alias;
        audio.Command(std::string("stop ") + alias);
        Wait(100);
    }
    // What bgm.mid now holds, synthesised, not the rendering of the music it replaced.
    Wait(200);
    audio.Command("play midBGM1 from 0");
    Wait(1000);
    audio.Command("stop midBGM1");
    Wait(150);
    audio.Close();
    const std::vector<int16_t> output = Output();
    const std::vector<int16_t> chime = SynthesisedLive(source + "chime.mid", kFrameRate);
    ASSERT_FALSE(chime.empty());
    const std::vector<Sounding> soundings = SoundingsOf(output, kFrameRate / 4);
    ASSERT_FALSE(soundings.empty());
    const size_t from = soundings.back().from;
    const size_t offset = FirstSound(chime);
    ASSERT_GT(output.size(), 2 * (from + kFrameRate / 2));
    for (size_t i = 0; i < kFrameRate; ++i) {
        ASSERT_NEAR(output[2 * from + i], chime[2 * offset + i], 1) << "at frame " << i / 2;
    }
    fs::remove_all(folder);
}

TEST_F(AudioBackendTest, WithoutADeviceTheGamePlaysSilentlyAndSaysSoOnce) {
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    AudioBackend audio(SourceFolders());
    std::vector<std::string> said;
    audio.SayProblemsTo([&said](const std::string& problem) { said.push_back(problem); });
    EXPECT_FALSE(audio.Open());
    EXPECT_FALSE(audio.Open());
    OpenAll(audio);
    audio.Command("play wavTip notify from 0");
    ASSERT_EQ(said.size(), 1u);
    EXPECT_EQ(said[0].rfind("no audio device ("), 0u) << said[0];
    EXPECT_TRUE(said[0].ends_with("): playing without sound")) << said[0];
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
