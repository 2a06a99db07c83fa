// The music's renderings: they sound as the live synthesis of the same MIDI file, they
// play only for exactly that file, and a damaged one is refused before it plays.

#include <gtest/gtest.h>
#include <unistd.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "platform/sdl/AudioMidi.h"
#include "platform/sdl/AudioRendering.h"

namespace kelo {
namespace {

namespace fs = std::filesystem;

constexpr int kRate = 44100;
constexpr int kBlock = 512;
const std::string kSnd = std::string(KELO_SOURCE_DIR) + "/snd/";
// The soundfont the renderings are made with (Debian's fluid-soundfont-gm).
const char* const kRenderingSoundFont = "/usr/share/sounds/sf2/FluidR3_GM.sf2";

std::vector<uint8_t> Bytes(const std::string& path) { return ReadWholeFile(path).value_or(std::vector<uint8_t>{}); }

void WriteBytes(const fs::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// The whole song from its beginning, in the mixer's blocks, until it says it is over.
std::vector<int16_t> PlayToTheEnd(Song& song) {
    std::vector<int16_t> samples;
    song.Fetch();
    if (!song.Prepare()) return samples;
    song.Restart();
    while (!song.Finished()) {
        samples.resize(samples.size() + 2 * kBlock);
        song.Render(samples.data() + samples.size() - 2 * kBlock, kBlock);
    }
    return samples;
}

double Rms(const std::vector<int16_t>& samples) {
    double sum = 0;
    for (int16_t s : samples) sum += static_cast<double>(s) * s;
    return std::sqrt(sum / static_cast<double>(samples.size()));
}

double Decibels(double ratio) { return 20 * std::log10(ratio); }

// Vorbis keeps a piece's loudness but not its samples, so the rendering is held to the
// live synthesis by what a player hears: the same length (to the mixer's block, which
// the live path ends on), the same loudness within 0.5 dB (a wrong gain, a missing
// reverb or another soundfont moves it by more), no clipped sample, and a difference
// that stays far below the music (the same notes at the same moments: a shifted or
// different piece differs by about as much as it sounds).
TEST(MusicRenderings, DecodeToTheLiveSynthesisOfTheSameFile) {
    if (!fs::exists(kRenderingSoundFont)) GTEST_SKIP() << kRenderingSoundFont << " missing: install fluid-soundfont-gm";
    std::shared_ptr<SoundFont> font = SoundFont::Load(kRenderingSoundFont);
    ASSERT_NE(font, nullptr);
    for (const char* piece : {"chime", "bgm", "bgm2"}) {
        SCOPED_TRACE(piece);
        const std::vector<uint8_t> midi = Bytes(kSnd + piece + ".mid");
        RenderedSong::Loading rendering = RenderedSong::Load(kSnd + piece + ".ogg", midi, kRate);
        ASSERT_EQ(rendering.outcome, RenderedSong::Outcome::Loaded);
        std::unique_ptr<MidiSong> live = MidiSong::Load(midi, font, kRate);
        ASSERT_TRUE(live && live->Prepare());

        const std::vector<int16_t> expected = PlayToTheEnd(*live);
        const std::vector<int16_t> decoded = PlayToTheEnd(*rendering.song);
        EXPECT_EQ(rendering.song->Frames() * 2, static_cast<int64_t>(expected.size()));
        ASSERT_EQ(decoded.size(), expected.size());
        EXPECT_NEAR(Decibels(Rms(decoded) / Rms(expected)), 0.0, 0.5);
        const auto [low, high] = std::minmax_element(decoded.begin(), decoded.end());
        EXPECT_GT(*low, -32768);
        EXPECT_LT(*high, 32767);
        std::vector<int16_t> difference(decoded.size());
        for (size_t i = 0; i < decoded.size(); ++i) difference[i] = static_cast<int16_t>(decoded[i] - expected[i]);
        EXPECT_LT(Decibels(Rms(difference) / Rms(expected)), -12.0);
    }
}

TEST(MusicRenderings, RestartPlaysTheSameSamplesAgainAndNothingBeforeTheStart) {
    auto rendering = RenderedSong::Load(kSnd + "chime.ogg", Bytes(kSnd + "chime.mid"), kRate);
    ASSERT_EQ(rendering.outcome, RenderedSong::Outcome::Loaded);
    RenderedSong& song = *rendering.song;
    std::vector<int16_t> before(2 * kBlock, 7);
    song.Render(before.data(), kBlock);
    EXPECT_FALSE(song.Started());
    EXPECT_TRUE(std::all_of(before.begin(), before.end(), [](int16_t s) { return s == 0; }));

    const std::vector<int16_t> first = PlayToTheEnd(song);
    std::vector<int16_t> part(2 * 3000);
    song.Restart();
    song.Render(part.data(), 3000);  // stopped mid-piece, then played again from the start
    EXPECT_EQ(PlayToTheEnd(song), first);
    EXPECT_GT(Rms(first), 300);
}

// The file decoded in one go by libvorbisfile itself.
std::vector<int16_t> DecodedInOneGo(const std::string& path) {
    std::vector<int16_t> samples;
    OggVorbis_File file;
    if (ov_fopen(path.c_str(), &file) != 0) return samples;
    std::vector<int16_t> packet(8192);
    int section = 0;
    long bytes = 0;
    while ((bytes = ov_read(&file, reinterpret_cast<char*>(packet.data()), 2 * static_cast<int>(packet.size()), 0, 2, 1,
                            &section)) > 0) {
        samples.insert(samples.end(), packet.begin(), packet.begin() + bytes / 2);
    }
    ov_clear(&file);
    return samples;
}

// Decoding ahead of the blocks asked for loses, repeats and reorders nothing, whatever
// the blocks (shorter, longer and straddling what is decoded at a time), and the song is
// over with the block that holds its last frame.
TEST(MusicRenderings, PlayEverySampleOfTheFileInAnyBlocks) {
    const std::vector<int16_t> whole = DecodedInOneGo(kSnd + "chime.ogg");
    ASSERT_GT(whole.size(), 2u * 100000);
    auto rendering = RenderedSong::Load(kSnd + "chime.ogg", Bytes(kSnd + "chime.mid"), kRate);
    ASSERT_EQ(rendering.outcome, RenderedSong::Outcome::Loaded);
    RenderedSong& song = *rendering.song;
    song.Fetch();
    ASSERT_TRUE(song.Prepare());
    song.Restart();
    const int blocks[] = {512, 1, 7000, 511, 20000, 4096};
    std::vector<int16_t> played;
    for (size_t i = 0; !song.Finished(); ++i) {
        const int frames = blocks[i % std::size(blocks)];
        played.resize(played.size() + 2 * static_cast<size_t>(frames), 7);
        song.Render(played.data() + played.size() - 2 * frames, frames);
        ASSERT_LT(played.size() - 2 * static_cast<size_t>(frames), whole.size()) << "over too late";
    }
    ASSERT_GE(played.size(), whole.size());
    EXPECT_TRUE(std::equal(whole.begin(), whole.end(), played.begin()));
    EXPECT_TRUE(std::all_of(played.begin() + static_cast<std::ptrdiff_t>(whole.size()), played.end(),
                            [](int16_t s) { return s == 0; }));
}

// Where the rendering stands beside its MIDI file, and what was done to it.
TEST(MusicRenderings, PlaysOnlyForItsOwnMidiFileAndOnlyWhenWhole) {
    const fs::path folder = fs::temp_directory_path() / ("kelo-renderings-" + std::to_string(getpid()));
    fs::create_directories(folder);
    const std::vector<uint8_t> midi = Bytes(kSnd + "chime.mid");
    const std::vector<uint8_t> ogg = Bytes(kSnd + "chime.ogg");
    ASSERT_GT(ogg.size(), 10000u);
    std::vector<uint8_t> otherMidi = midi;
    otherMidi[otherMidi.size() / 2] ^= 1;
    std::vector<uint8_t> flipped = ogg;
    flipped[ogg.size() / 2] ^= 0x10;
    // The last page begins after the last "OggS" capture pattern: cut there, the file
    // holds whole pages only, but none ends the stream.
    std::vector<uint8_t> lastPageGone = ogg;
    for (size_t at = ogg.size() - 4; at > 0; --at) {
        if (std::equal(ogg.begin() + static_cast<std::ptrdiff_t>(at), ogg.begin() + static_cast<std::ptrdiff_t>(at) + 4,
                       "OggS")) {
            lastPageGone.resize(at);
            break;
        }
    }
    const std::vector<uint8_t> halfCut(ogg.begin(), ogg.begin() + static_cast<std::ptrdiff_t>(ogg.size() / 2));
    const std::vector<uint8_t> empty;
    const std::vector<uint8_t> wave = Bytes(kSnd + "tap.wav");
    const struct {
        const char* what;
        std::vector<uint8_t> midi;
        const std::vector<uint8_t>* rendering;  // nullptr: no file
        RenderedSong::Outcome outcome;
    } cases[] = {
        {"its own", midi, &ogg, RenderedSong::Outcome::Loaded},
        {"another MIDI file", otherMidi, &ogg, RenderedSong::Outcome::OtherMidi},
        {"no rendering", midi, nullptr, RenderedSong::Outcome::Missing},
        {"a byte altered", midi, &flipped, RenderedSong::Outcome::Damaged},
        {"cut mid-page", midi, &halfCut, RenderedSong::Outcome::Damaged},
        {"cut between pages", midi, &lastPageGone, RenderedSong::Outcome::Damaged},
        {"no Ogg at all", midi, &wave, RenderedSong::Outcome::Damaged},
        {"empty", midi, &empty, RenderedSong::Outcome::Damaged},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const fs::path path = folder / "piece.ogg";
        fs::remove(path);
        if (c.rendering) WriteBytes(path, *c.rendering);
        RenderedSong::Loading loading = RenderedSong::Load(path.string(), c.midi, kRate);
        EXPECT_EQ(loading.outcome, c.outcome);
        EXPECT_EQ(loading.song != nullptr, c.outcome == RenderedSong::Outcome::Loaded);
    }
    EXPECT_EQ(RenderedSong::Load(kSnd + "chime.ogg", midi, 48000).outcome, RenderedSong::Outcome::Damaged);
    EXPECT_EQ(RenderingPathOf("/a/snd/bgm.mid"), "/a/snd/bgm.ogg");
    fs::remove_all(folder);
}

}  // namespace
}  // namespace kelo
