#include "platform/sdl/AudioMidi.h"

#include <dlfcn.h>
#include <fluidsynth.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

namespace kelo {

namespace {

// Played after the file's last event so that released notes and the reverb die away.
constexpr int kTailSeconds = 3;
// Synthesizer output level: the pieces peak around half of full scale, leaving room for
// the effects on top.
constexpr double kSynthGain = 0.5;
constexpr int kFlushFrames = 512;
// The busiest piece sounds 119 voices at once. Every voice a synthesizer may use is
// allocated whether it sounds or not, about 12 KiB each.
constexpr int kPolyphony = 128;

const char* const kDebianSoundFonts[] = {
    "/usr/share/sounds/sf2/default-GM.sf2",
    "/usr/share/sounds/sf3/default-GM.sf3",
};

void SilenceFluidSynthLog() {
    for (int level = FLUID_PANIC; level <= FLUID_DBG; ++level) fluid_set_log_function(level, nullptr, nullptr);
}

std::optional<std::vector<uint8_t>> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad()) return std::nullopt;
    return bytes;
}

// FluidSynth built with OpenMP reads a soundfont's samples on a team of threads that
// then stays, idle, for the life of the process. One thread reads a few megabytes just
// as well. Without OpenMP in the process there is nothing to set.
void ReadSoundFontsOnOneThread() {
    using SetNumThreads = void (*)(int);
    if (void* set = dlsym(RTLD_DEFAULT, "omp_set_num_threads")) reinterpret_cast<SetNumThreads>(set)(1);
}

bool IsReadableFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return file.good() && file.peek() != std::ifstream::traits_type::eof();
}

bool LooksLikeMidi(const std::vector<uint8_t>& file) {
    return file.size() >= 14 && std::memcmp(file.data(), "MThd", 4) == 0;
}

}  // namespace

std::vector<std::string> SoundFontCandidates(const char* sdlSoundFontsVariable) {
    std::vector<std::string> candidates;
    std::string list = sdlSoundFontsVariable ? sdlSoundFontsVariable : "";
    size_t start = 0;
    while (start < list.size()) {
        size_t end = list.find_first_of(":;", start);
        if (end == std::string::npos) end = list.size();
        if (end > start) candidates.push_back(list.substr(start, end - start));
        start = end + 1;
    }
    for (const char* path : kDebianSoundFonts) candidates.emplace_back(path);
    return candidates;
}

std::optional<std::string> FindSoundFont() {
    for (const std::string& path : SoundFontCandidates(std::getenv("SDL_SOUNDFONTS"))) {
        if (IsReadableFile(path)) return path;
    }
    return std::nullopt;
}

std::shared_ptr<SoundFont> SoundFont::Load(const std::string& path) {
    SilenceFluidSynthLog();
    std::shared_ptr<SoundFont> font(new SoundFont());
    font->settings_ = new_fluid_settings();
    if (!font->settings_) return nullptr;
    fluid_settings_setint(font->settings_, "synth.polyphony", 1);
    fluid_settings_setint(font->settings_, "synth.reverb.active", 0);
    fluid_settings_setint(font->settings_, "synth.chorus.active", 0);
    font->owner_ = new_fluid_synth(font->settings_);
    if (!font->owner_) return nullptr;
    ReadSoundFontsOnOneThread();
    const int id = fluid_synth_sfload(font->owner_, path.c_str(), 0);
    if (id == FLUID_FAILED) return nullptr;
    font->font_ = fluid_synth_get_sfont_by_id(font->owner_, id);
    return font->font_ ? font : nullptr;
}

SoundFont::~SoundFont() {
    if (owner_) delete_fluid_synth(owner_);
    if (settings_) delete_fluid_settings(settings_);
}

std::unique_ptr<MidiSong> MidiSong::Load(const std::string& midiPath, std::shared_ptr<SoundFont> soundFont,
                                         int sampleRate) {
    if (!soundFont) return nullptr;
    auto file = ReadFile(midiPath);
    if (!file || !LooksLikeMidi(*file)) return nullptr;
    std::unique_ptr<MidiSong> song(new MidiSong(sampleRate, std::move(*file), std::move(soundFont)));
    if (!song->synth_) return nullptr;
    return song;
}

MidiSong::MidiSong(int sampleRate, std::vector<uint8_t> file, std::shared_ptr<SoundFont> soundFont)
    : sampleRate_(sampleRate), file_(std::move(file)), soundFont_(std::move(soundFont)) {
    SilenceFluidSynthLog();
    settings_ = new_fluid_settings();
    if (!settings_) return;
    fluid_settings_setnum(settings_, "synth.sample-rate", sampleRate);
    fluid_settings_setnum(settings_, "synth.gain", kSynthGain);
    fluid_settings_setint(settings_, "synth.polyphony", kPolyphony);
    // The synthesizer is only ever driven from one thread at a time.
    fluid_settings_setint(settings_, "synth.threadsafe-api", 0);
    synth_ = new_fluid_synth(settings_);
    if (synth_ && fluid_synth_add_sfont(synth_, soundFont_->font_) == FLUID_FAILED) {
        delete_fluid_synth(synth_);
        synth_ = nullptr;
    }
}

// The borrowed font is handed back before the synthesizer goes, which would free it.
MidiSong::~MidiSong() {
    if (player_) delete_fluid_player(player_);
    if (synth_) {
        fluid_synth_remove_sfont(synth_, soundFont_->font_);
        delete_fluid_synth(synth_);
    }
    if (settings_) delete_fluid_settings(settings_);
}

void MidiSong::Restart() {
    if (player_) {
        fluid_player_stop(player_);
        Silence();
        delete_fluid_player(player_);
        player_ = nullptr;
    }
    fluid_synth_system_reset(synth_);
    Silence();
    finished_ = !StartPlayer();
    totalTicks_ = 0;
    tailFramesLeft_ = sampleRate_ * kTailSeconds;
}

// Cuts every voice and empties the reverb and chorus. The synthesizer carries out a
// sounds-off only while rendering, and the effects forget their tails only while they
// are switched off, so a short stretch is rendered and thrown away.
void MidiSong::Silence() {
    fluid_synth_all_sounds_off(synth_, -1);
    fluid_synth_reverb_on(synth_, -1, 0);
    fluid_synth_chorus_on(synth_, -1, 0);
    int16_t discarded[2 * kFlushFrames];
    fluid_synth_write_s16(synth_, kFlushFrames, discarded, 0, 2, discarded, 1, 2);
    fluid_synth_reverb_on(synth_, -1, 1);
    fluid_synth_chorus_on(synth_, -1, 1);
}

bool MidiSong::StartPlayer() {
    player_ = new_fluid_player(synth_);
    if (!player_) return false;
    return fluid_player_add_mem(player_, file_.data(), file_.size()) == FLUID_OK &&
           fluid_player_play(player_) == FLUID_OK;
}

// The player reports the end of the file only a while after its last event, so the
// position is checked as well. The player reads the file on its first rendered block and
// counts the length by walking every event, so the length is taken once, afterwards.
bool MidiSong::PieceOver() const {
    if (fluid_player_get_status(player_) != FLUID_PLAYER_PLAYING) return true;
    if (totalTicks_ <= 0) totalTicks_ = fluid_player_get_total_ticks(player_);
    return fluid_player_get_current_tick(player_) >= totalTicks_;
}

void MidiSong::Render(int16_t* stereo, int frames) {
    if (finished_) {
        std::fill(stereo, stereo + 2 * frames, int16_t{0});
        return;
    }
    fluid_synth_write_s16(synth_, frames, stereo, 0, 2, stereo, 1, 2);
    if (PieceOver()) {
        tailFramesLeft_ -= frames;
        finished_ = tailFramesLeft_ <= 0;
    }
}

}  // namespace kelo
