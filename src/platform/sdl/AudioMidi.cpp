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
// Synthesizer output level: with FluidR3_GM, the soundfont the renderings are made with,
// the pieces peak around half of full scale, leaving room for the effects on top (twice
// this gain clips bgm2.mid).
constexpr double kSynthGain = 0.25;
constexpr int kFlushFrames = 512;
// The busiest piece sounds 119 voices at once. Every voice a synthesizer may use is
// allocated whether it sounds or not, about 12 KiB each.
constexpr int kPolyphony = 128;
// The owner synthesizer selects each preset the songs play on a channel of its own,
// which keeps that preset's samples in memory. The game's three pieces play 17 presets;
// each channel costs about 5 KiB.
constexpr int kKeptPresetChannels = 32;
constexpr int kDrumChannel = 9;
constexpr int kDrumBank = 128;

// The synthesizer library is opened only when a piece has to be synthesised, so that a
// game playing its renderings never maps it, nor the many libraries it pulls in.
constexpr const char* kFluidSynthLibrary = "libfluidsynth.so.3";

// clang-format off
#define KELO_FLUID_FUNCTIONS(X) \
    X(fluid_set_log_function) X(new_fluid_settings) X(delete_fluid_settings) \
    X(fluid_settings_setint) X(fluid_settings_setnum) X(new_fluid_synth) X(delete_fluid_synth) \
    X(fluid_synth_sfload) X(fluid_synth_get_sfont_by_id) X(fluid_sfont_get_id) \
    X(fluid_synth_program_select) X(fluid_synth_add_sfont) X(fluid_synth_remove_sfont) \
    X(fluid_synth_system_reset) X(fluid_synth_all_sounds_off) X(fluid_synth_reverb_on) \
    X(fluid_synth_chorus_on) X(fluid_synth_write_s16) X(new_fluid_player) \
    X(delete_fluid_player) X(fluid_player_add_mem) X(fluid_player_play) X(fluid_player_stop) \
    X(fluid_player_get_status) X(fluid_player_get_total_ticks) \
    X(fluid_player_get_current_tick)
// clang-format on

// The library's functions, as its header declares them.
struct FluidSynthFunctions {
#define KELO_FLUID_POINTER(name) decltype(&::name) name = nullptr;
    KELO_FLUID_FUNCTIONS(KELO_FLUID_POINTER)
#undef KELO_FLUID_POINTER
    void* library = nullptr;
};

// Opened once and kept for the life of the process; an empty library when it could not
// be opened or lacks a function, and `error` then says why.
struct FluidSynthLoad {
    FluidSynthFunctions functions;
    std::string error;
};

const FluidSynthLoad& LoadedFluidSynth() {
    static const FluidSynthLoad load = [] {
        FluidSynthLoad result;
        void* library = dlopen(kFluidSynthLibrary, RTLD_NOW | RTLD_LOCAL);
        if (!library) {
            const char* why = dlerror();
            result.error = why ? why : kFluidSynthLibrary;
            return result;
        }
        FluidSynthFunctions& f = result.functions;
#define KELO_FLUID_SYMBOL(name) f.name = reinterpret_cast<decltype(&::name)>(dlsym(library, #name));
        KELO_FLUID_FUNCTIONS(KELO_FLUID_SYMBOL)
#undef KELO_FLUID_SYMBOL
        bool complete = true;
#define KELO_FLUID_CHECK(name) complete = complete && f.name != nullptr;
        KELO_FLUID_FUNCTIONS(KELO_FLUID_CHECK)
#undef KELO_FLUID_CHECK
        if (!complete) {
            result.functions = {};
            result.error = std::string(kFluidSynthLibrary) + " lacks functions the game calls";
            return result;
        }
        f.library = library;
        return result;
    }();
    return load;
}

// Only called once the library has loaded: every song and font holds a loaded one.
const FluidSynthFunctions& Fluid() { return LoadedFluidSynth().functions; }

const char* const kDebianSoundFonts[] = {
    "/usr/share/sounds/sf2/default-GM.sf2",
    "/usr/share/sounds/sf3/default-GM.sf3",
};

void SilenceFluidSynthLog() {
    for (int level = FLUID_PANIC; level <= FLUID_DBG; ++level) Fluid().fluid_set_log_function(level, nullptr, nullptr);
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
    if (void* set = dlsym(Fluid().library, "omp_set_num_threads")) reinterpret_cast<SetNumThreads>(set)(1);
}

bool IsReadableFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return file.good() && file.peek() != std::ifstream::traits_type::eof();
}

bool LooksLikeMidi(const std::vector<uint8_t>& file) {
    return file.size() >= 14 && std::memcmp(file.data(), "MThd", 4) == 0;
}

// Reads the parts of a Standard MIDI File that matter for its presets; every read is
// bounds-checked and a damaged file simply ends early.
class SmfReader {
public:
    explicit SmfReader(const std::vector<uint8_t>& bytes) : bytes_(bytes) {}

    std::vector<MidiPreset> Presets() {
        if (!Skip(4) || !Skip(Number(4))) return {};  // "MThd" and the header's body
        while (At(8)) {
            const bool track = std::memcmp(bytes_.data() + position_, "MTrk", 4) == 0;
            position_ += 4;
            const size_t length = Number(4);
            const size_t end = position_ + std::min(length, bytes_.size() - position_);
            if (track) ReadTrack(end);
            position_ = end;
        }
        if (drumsWithoutKit_) presets_.push_back({kDrumBank, 0});
        std::sort(presets_.begin(), presets_.end());
        presets_.erase(std::unique(presets_.begin(), presets_.end()), presets_.end());
        return presets_;
    }

private:
    bool At(size_t count) const { return position_ <= limit_ && limit_ - position_ >= count; }
    bool Skip(size_t count) {
        if (!At(count)) return false;
        position_ += count;
        return true;
    }
    size_t Number(int count) {
        size_t value = 0;
        for (int i = 0; i < count && At(1); ++i) value = value << 8 | bytes_[position_++];
        return value;
    }
    size_t VariableLength() {
        size_t value = 0;
        for (int i = 0; i < 4 && At(1); ++i) {
            const uint8_t byte = bytes_[position_++];
            value = value << 7 | (byte & 0x7F);
            if (!(byte & 0x80)) break;
        }
        return value;
    }

    void ReadTrack(size_t end) {
        limit_ = end;
        uint8_t status = 0;
        while (position_ < end) {
            VariableLength();  // delta time
            if (position_ >= end) break;
            if (bytes_[position_] & 0x80) status = bytes_[position_++];
            if (status == 0xFF) {
                if (!Skip(1)) break;
            }
            if (status == 0xFF || status == 0xF0 || status == 0xF7) {
                if (!Skip(VariableLength())) break;
                status = 0;  // no running status after a meta or system exclusive event
                continue;
            }
            if (status < 0x80 || !ReadChannelEvent(status)) break;
        }
        position_ = end;
        limit_ = bytes_.size();
    }

    bool ReadChannelEvent(uint8_t status) {
        const int channel = status & 0x0F;
        const int kind = status & 0xF0;
        const int dataBytes = kind == 0xC0 || kind == 0xD0 ? 1 : 2;
        if (!At(static_cast<size_t>(dataBytes))) return false;
        const uint8_t first = bytes_[position_];
        const uint8_t second = dataBytes == 2 ? bytes_[position_ + 1] : 0;
        position_ += static_cast<size_t>(dataBytes);
        if (kind == 0xB0 && first == 0) bank_[channel] = second;
        if (kind == 0xC0) {
            presets_.push_back({channel == kDrumChannel ? kDrumBank : bank_[channel], first});
            if (channel == kDrumChannel) drumKitChosen_ = true;
        }
        if (kind == 0x90 && channel == kDrumChannel && !drumKitChosen_) drumsWithoutKit_ = true;
        return true;
    }

    const std::vector<uint8_t>& bytes_;
    size_t position_ = 0;
    size_t limit_ = bytes_.size();  // the end of the chunk being read
    int bank_[16] = {};
    bool drumKitChosen_ = false;
    bool drumsWithoutKit_ = false;
    std::vector<MidiPreset> presets_;
};

}  // namespace

std::vector<MidiPreset> PresetsPlayedBy(const std::vector<uint8_t>& smf) { return SmfReader(smf).Presets(); }

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

std::optional<std::string> FluidSynthProblem() {
    const FluidSynthLoad& load = LoadedFluidSynth();
    if (load.functions.library) return std::nullopt;
    return load.error;
}

std::shared_ptr<SoundFont> SoundFont::Load(const std::string& path) {
    if (FluidSynthProblem()) return nullptr;
    SilenceFluidSynthLog();
    std::shared_ptr<SoundFont> font(new SoundFont());
    font->settings_ = Fluid().new_fluid_settings();
    if (!font->settings_) return nullptr;
    Fluid().fluid_settings_setint(font->settings_, "synth.polyphony", 1);
    Fluid().fluid_settings_setint(font->settings_, "synth.reverb.active", 0);
    Fluid().fluid_settings_setint(font->settings_, "synth.chorus.active", 0);
    Fluid().fluid_settings_setint(font->settings_, "synth.dynamic-sample-loading", 1);
    Fluid().fluid_settings_setint(font->settings_, "synth.midi-channels", kKeptPresetChannels);
    font->owner_ = Fluid().new_fluid_synth(font->settings_);
    if (!font->owner_) return nullptr;
    ReadSoundFontsOnOneThread();
    const int id = Fluid().fluid_synth_sfload(font->owner_, path.c_str(), 0);
    if (id == FLUID_FAILED) return nullptr;
    font->font_ = Fluid().fluid_synth_get_sfont_by_id(font->owner_, id);
    return font->font_ ? font : nullptr;
}

void SoundFont::KeepLoaded(const std::vector<MidiPreset>& presets) {
    const int fontId = Fluid().fluid_sfont_get_id(font_);
    for (const MidiPreset& preset : presets) {
        if (std::find(kept_.begin(), kept_.end(), preset) != kept_.end()) continue;
        if (kept_.size() >= static_cast<size_t>(kKeptPresetChannels)) return;
        const int channel = static_cast<int>(kept_.size());
        if (Fluid().fluid_synth_program_select(owner_, channel, fontId, preset.bank, preset.program) == FLUID_OK) {
            kept_.push_back(preset);
        }
    }
}

SoundFont::~SoundFont() {
    if (owner_) Fluid().delete_fluid_synth(owner_);
    if (settings_) Fluid().delete_fluid_settings(settings_);
}

std::unique_ptr<MidiSong> MidiSong::Load(const std::string& midiPath, std::shared_ptr<SoundFont> soundFont,
                                         int sampleRate) {
    auto file = ReadFile(midiPath);
    if (!file) return nullptr;
    return Load(std::move(*file), std::move(soundFont), sampleRate);
}

std::unique_ptr<MidiSong> MidiSong::Load(std::vector<uint8_t> file, std::shared_ptr<SoundFont> soundFont,
                                         int sampleRate) {
    if (!soundFont || !LooksLikeMidi(file)) return nullptr;
    // A synthesizer's channels start, and return on every reset, on the piano and the
    // standard drum kit, so those stay in memory as well as the file's own presets.
    std::vector<MidiPreset> presets = PresetsPlayedBy(file);
    presets.push_back({0, 0});
    presets.push_back({kDrumBank, 0});
    soundFont->KeepLoaded(presets);
    return std::unique_ptr<MidiSong>(new MidiSong(sampleRate, std::move(file), std::move(soundFont)));
}

MidiSong::MidiSong(int sampleRate, std::vector<uint8_t> file, std::shared_ptr<SoundFont> soundFont)
    : sampleRate_(sampleRate), file_(std::move(file)), soundFont_(std::move(soundFont)) {}

bool MidiSong::Prepare() {
    if (synth_) return true;
    if (unplayable_) return false;
    SilenceFluidSynthLog();
    settings_ = Fluid().new_fluid_settings();
    if (settings_) {
        Fluid().fluid_settings_setnum(settings_, "synth.sample-rate", sampleRate_);
        Fluid().fluid_settings_setnum(settings_, "synth.gain", kSynthGain);
        Fluid().fluid_settings_setint(settings_, "synth.polyphony", kPolyphony);
        // The synthesizer is only ever driven from one thread at a time.
        Fluid().fluid_settings_setint(settings_, "synth.threadsafe-api", 0);
        synth_ = Fluid().new_fluid_synth(settings_);
    }
    if (synth_ && Fluid().fluid_synth_add_sfont(synth_, soundFont_->font_) == FLUID_FAILED) {
        Fluid().delete_fluid_synth(synth_);
        synth_ = nullptr;
    }
    unplayable_ = synth_ == nullptr;
    return synth_ != nullptr;
}

// The borrowed font is handed back before the synthesizer goes, which would free it.
MidiSong::~MidiSong() {
    if (player_) Fluid().delete_fluid_player(player_);
    if (synth_) {
        Fluid().fluid_synth_remove_sfont(synth_, soundFont_->font_);
        Fluid().delete_fluid_synth(synth_);
    }
    if (settings_) Fluid().delete_fluid_settings(settings_);
}

void MidiSong::Restart() {
    if (!synth_) return;
    if (player_) {
        Fluid().fluid_player_stop(player_);
        Silence();
        Fluid().delete_fluid_player(player_);
        player_ = nullptr;
    }
    Fluid().fluid_synth_system_reset(synth_);
    Silence();
    finished_ = !StartPlayer();
    totalTicks_ = 0;
    tailFramesLeft_ = sampleRate_ * kTailSeconds;
}

// Cuts every voice and empties the reverb and chorus. The synthesizer carries out a
// sounds-off only while rendering, and the effects forget their tails only while they
// are switched off, so a short stretch is rendered and thrown away.
void MidiSong::Silence() {
    Fluid().fluid_synth_all_sounds_off(synth_, -1);
    Fluid().fluid_synth_reverb_on(synth_, -1, 0);
    Fluid().fluid_synth_chorus_on(synth_, -1, 0);
    int16_t discarded[2 * kFlushFrames];
    Fluid().fluid_synth_write_s16(synth_, kFlushFrames, discarded, 0, 2, discarded, 1, 2);
    Fluid().fluid_synth_reverb_on(synth_, -1, 1);
    Fluid().fluid_synth_chorus_on(synth_, -1, 1);
}

bool MidiSong::StartPlayer() {
    player_ = Fluid().new_fluid_player(synth_);
    if (!player_) return false;
    return Fluid().fluid_player_add_mem(player_, file_.data(), file_.size()) == FLUID_OK &&
           Fluid().fluid_player_play(player_) == FLUID_OK;
}

// The player reports the end of the file only a while after its last event, so the
// position is checked as well. The player reads the file on its first rendered block and
// counts the length by walking every event, so the length is taken once, afterwards.
bool MidiSong::PieceOver() const {
    if (Fluid().fluid_player_get_status(player_) != FLUID_PLAYER_PLAYING) return true;
    if (totalTicks_ <= 0) totalTicks_ = Fluid().fluid_player_get_total_ticks(player_);
    return Fluid().fluid_player_get_current_tick(player_) >= totalTicks_;
}

void MidiSong::Render(int16_t* stereo, int frames) {
    if (finished_) {
        std::fill(stereo, stereo + 2 * frames, int16_t{0});
        return;
    }
    Fluid().fluid_synth_write_s16(synth_, frames, stereo, 0, 2, stereo, 1, 2);
    if (PieceOver()) {
        tailFramesLeft_ -= frames;
        finished_ = tailFramesLeft_ <= 0;
    }
}

}  // namespace kelo
