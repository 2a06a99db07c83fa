#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "platform/sdl/AudioMidi.h"

namespace kelo {
namespace {

constexpr int kRate = 44100;
const std::string kSnd = std::string(KELO_SOURCE_DIR) + "/snd/";

std::vector<int16_t> RenderFrames(MidiSong& song, int frames) {
    std::vector<int16_t> samples(2 * frames);
    for (int done = 0; done < frames; done += 512) song.Render(samples.data() + 2 * done, std::min(512, frames - done));
    return samples;
}

// Seconds until the last sample above -50 dB of full scale.
double AudibleSeconds(const std::vector<int16_t>& samples) {
    auto last = std::find_if(samples.rbegin(), samples.rend(), [](int16_t s) { return std::abs(s) > 104; });
    return static_cast<double>(samples.rend() - last) / 2 / kRate;
}

class MidiSongTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto found = FindSoundFont();
        if (!found) GTEST_SKIP() << "no General MIDI soundfont installed";
        soundFont_ = SoundFont::Load(*found);
        ASSERT_NE(soundFont_, nullptr);
    }
    std::shared_ptr<SoundFont> soundFont_;
};

TEST(SoundFont, CandidatesFromTheVariableComeFirst) {
    const std::vector<std::string> debian = {"/usr/share/sounds/sf2/default-GM.sf2",
                                             "/usr/share/sounds/sf3/default-GM.sf3"};
    EXPECT_EQ(SoundFontCandidates(nullptr), debian);
    EXPECT_EQ(SoundFontCandidates(""), debian);
    std::vector<std::string> listed = {"/a/one.sf2", "/b/two.sf3", "three.sf2"};
    listed.insert(listed.end(), debian.begin(), debian.end());
    EXPECT_EQ(SoundFontCandidates("/a/one.sf2:/b/two.sf3;;three.sf2:"), listed);
}

std::vector<uint8_t> Smf(const std::vector<std::vector<uint8_t>>& tracks) {
    std::vector<uint8_t> file = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, static_cast<uint8_t>(tracks.size()), 0, 96};
    for (const auto& track : tracks) {
        const auto size = static_cast<uint32_t>(track.size());
        file.insert(file.end(), {'M', 'T', 'r', 'k', static_cast<uint8_t>(size >> 24), static_cast<uint8_t>(size >> 16),
                                 static_cast<uint8_t>(size >> 8), static_cast<uint8_t>(size)});
        file.insert(file.end(), track.begin(), track.end());
    }
    return file;
}

// Only the presets a file plays are read from the soundfont, so a preset the reader
// misses would be read by the audio thread in the middle of the music.
TEST(MidiPresets, ProgramChangesBankSelectsAndDrumsAreFoundThroughEveryKindOfEvent) {
    const std::vector<uint8_t> tempo = {0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20};
    const std::vector<uint8_t> sysex = {0x00, 0xF0, 0x03, 0x7E, 0x7F, 0xF7};
    std::vector<uint8_t> melody = {0x00, 0xC0, 80,                          // program 80 on channel 1
                                   0x00, 0x90, 60,   100,  0x60, 62,   90,  // running status
                                   0x81, 0x00, 0x80, 60,   0,               // two-byte delta time
                                   0x00, 0xB1, 0x00, 8,    0x00, 0xC1, 5,   // bank 8, program 5
                                   0x00, 0xE1, 0x00, 0x40,                  // pitch bend
                                   0x00, 0xFF, 0x2F, 0x00};
    melody.insert(melody.begin(), sysex.begin(), sysex.end());
    const std::vector<uint8_t> drums = {0x00, 0x99, 36, 100, 0x00, 0xFF, 0x2F, 0x00};
    const std::vector<MidiPreset> expected = {{0, 80}, {8, 5}, {128, 0}};
    EXPECT_EQ(PresetsPlayedBy(Smf({tempo, melody, drums})), expected);

    const std::vector<uint8_t> kit = {0x00, 0xC9, 25, 0x00, 0x99, 36, 100};
    EXPECT_EQ(PresetsPlayedBy(Smf({kit})), (std::vector<MidiPreset>{{128, 25}}));

    std::vector<uint8_t> cut = Smf({melody});
    cut.resize(cut.size() - 25);  // a track longer than the file: what it holds still counts
    EXPECT_EQ(PresetsPlayedBy(cut), (std::vector<MidiPreset>{{0, 80}}));
    cut = Smf({melody, {0x00, 0xC2, 7, 0x00, 0xC3}});  // the last event lacks its data byte
    EXPECT_EQ(PresetsPlayedBy(cut), (std::vector<MidiPreset>{{0, 7}, {0, 80}, {8, 5}}));
    EXPECT_TRUE(PresetsPlayedBy({}).empty());
    EXPECT_TRUE(PresetsPlayedBy({'M', 'T', 'h', 'd', 0xFF, 0xFF, 0xFF, 0xFF}).empty());
}

TEST(MidiPresets, TheShippedMusicPlaysItsFivePartsAndTheDrumKit) {
    std::ifstream in(kSnd + "bgm.mid", std::ios::binary);
    const std::vector<uint8_t> file{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const std::vector<MidiPreset> presets = PresetsPlayedBy(file);
    for (const MidiPreset& part : {MidiPreset{0, 80}, {0, 62}, {0, 89}, {0, 98}, {0, 38}, {128, 0}}) {
        EXPECT_NE(std::find(presets.begin(), presets.end(), part), presets.end()) << part.program;
    }
}

TEST_F(MidiSongTest, RefusesWhatItCannotPlay) {
    EXPECT_EQ(MidiSong::Load(kSnd + "missing.mid", soundFont_, kRate), nullptr);
    EXPECT_EQ(MidiSong::Load(kSnd + "tap.wav", soundFont_, kRate), nullptr);
    EXPECT_EQ(SoundFont::Load(kSnd + "tap.wav"), nullptr);
    EXPECT_EQ(SoundFont::Load("/nonexistent/font.sf2"), nullptr);
    EXPECT_EQ(MidiSong::Load(kSnd + "chime.mid", nullptr, kRate), nullptr);
}

TEST_F(MidiSongTest, SilentUntilStartedThenTheChimeRingsTwoToFourSeconds) {
    auto song = MidiSong::Load(kSnd + "chime.mid", soundFont_, kRate);
    ASSERT_NE(song, nullptr);
    EXPECT_TRUE(song->Finished());
    std::vector<int16_t> before = RenderFrames(*song, kRate / 10);
    EXPECT_TRUE(std::all_of(before.begin(), before.end(), [](int16_t s) { return s == 0; }));
    song->Restart();  // without a synthesizer yet: still silent
    EXPECT_TRUE(song->Finished());

    ASSERT_TRUE(song->Prepare());
    song->Restart();
    EXPECT_FALSE(song->Finished());
    std::vector<int16_t> chime = RenderFrames(*song, 8 * kRate);
    EXPECT_TRUE(song->Finished());
    EXPECT_GT(*std::max_element(chime.begin(), chime.end()), 3000);
    double seconds = AudibleSeconds(chime);
    EXPECT_GE(seconds, 2.0);
    EXPECT_LE(seconds, 4.0);
}

TEST_F(MidiSongTest, ASongPlaysOnAfterAnotherSharingItsFontIsGone) {
    auto first = MidiSong::Load(kSnd + "chime.mid", soundFont_, kRate);
    auto second = MidiSong::Load(kSnd + "chime.mid", soundFont_, kRate);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    soundFont_.reset();
    ASSERT_TRUE(first->Prepare() && second->Prepare());
    first->Restart();
    second->Restart();
    RenderFrames(*first, kRate / 2);
    first.reset();
    std::vector<int16_t> chime = RenderFrames(*second, kRate);
    EXPECT_GT(*std::max_element(chime.begin(), chime.end()), 3000);
}

double Rms(const std::vector<int16_t>& samples) {
    double sum = 0;
    for (int16_t s : samples) sum += static_cast<double>(s) * s;
    return std::sqrt(sum / static_cast<double>(samples.size()));
}

int PeakOfFirstFrames(const std::vector<int16_t>& samples, int frames) {
    int peak = 0;
    for (int i = 0; i < 2 * frames; ++i) peak = std::max(peak, std::abs(static_cast<int>(samples[i])));
    return peak;
}

TEST_F(MidiSongTest, RestartBeginsAgainWithTheOldNotesSilenced) {
    auto song = MidiSong::Load(kSnd + "chime.mid", soundFont_, kRate);
    ASSERT_NE(song, nullptr);
    ASSERT_TRUE(song->Prepare());
    song->Restart();
    std::vector<int16_t> first = RenderFrames(*song, kRate);
    std::vector<int16_t> ringing = RenderFrames(*song, kRate / 2);
    song->Restart();
    std::vector<int16_t> again = RenderFrames(*song, kRate);

    // The piece opens with a moment of silence; after the restart that moment holds
    // next to nothing of the notes that were ringing, nor of their reverb.
    const int openingFrames = 64;
    const int ringingPeak = PeakOfFirstFrames(ringing, kRate / 2);
    EXPECT_LE(PeakOfFirstFrames(first, openingFrames), 2);
    EXPECT_LE(PeakOfFirstFrames(again, openingFrames), ringingPeak / 20);
    EXPECT_GT(Rms(first), 300);
    EXPECT_NEAR(Rms(again), Rms(first), Rms(first) * 0.1);
}

}  // namespace
}  // namespace kelo
