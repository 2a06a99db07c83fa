// kelo-audio-cost: what the desktop's sound costs the process, for comparing builds.
//
//   kelo-audio-cost idle|music|run [SECONDS]
//
// Opens the audio device and the game's nine sounds as the title screen does, then
//   idle   plays nothing (the device rests once quiet for two seconds, as in the game),
//   music  plays midBGM1,
//   run    plays a run's opening (the chime, then the start sound, midBGM1 and the
//          first tap) and a tap five times a second,
// and after one second of settling measures SECONDS (default 5) of process CPU time.
// It prints one line of figures: CPU in percent of one core, threads, peak and current
// resident memory, and whether the synthesizer library is loaded (1) or not (0); then the
// audio thread's own: its CPU in percent of one core (for a device that plays in real
// time, ten times its milliseconds of CPU per second of sound mixed; SDL's dummy driver
// runs about 4 % fast), how often it woke a second and its CPU per wake in microseconds
// (all 0 when the device rested throughout).
// It never judges them; run it several times and compare medians.
// Pick the device with SDL_AUDIODRIVER (e.g. disk with SDL_DISKAUDIOFILE=/dev/null).

#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "platform/sdl/AudioBackend.h"

namespace {

const char* const kOpenCommands[] = {
    "open snd/tap.wav Alias wavTip",       "open snd/sel.wav Alias wavSel",   "open snd/dec.wav Alias wavDec",
    "open snd/extend.wav Alias wavExtend", "open snd/start.wav Alias wavGop", "open snd/goal.wav Alias wavGoal",
    "open snd/bgm.mid Alias midBGM1",      "open snd/bgm2.mid Alias midBGM2", "open snd/chime.mid Alias midChime",
};

double ProcessCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// A "Name:   value kB" or "Name:   value" line of /proc/self/status; -1 when missing.
long StatusField(std::string_view name) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.compare(0, name.size(), name) == 0 && line.size() > name.size() && line[name.size()] == ':') {
            return std::strtol(line.c_str() + name.size() + 1, nullptr, 10);
        }
    }
    return -1;
}

// Whether a mapping of the process names `library`.
bool Mapped(std::string_view library) {
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line)) {
        if (line.find(library) != std::string::npos) return true;
    }
    return false;
}

// SDL's audio thread so far: its CPU in seconds (the scheduler's nanosecond count) and
// how often it has gone to sleep (each block it waits for).
struct AudioThread {
    double cpuSeconds = 0;
    long wakes = 0;
};

std::optional<AudioThread> ReadAudioThread() {
    std::error_code error;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task", error)) {
        std::ifstream comm(task.path() / "comm");
        std::string name;
        if (!std::getline(comm, name) || name.rfind("SDLAudio", 0) != 0) continue;
        std::ifstream schedstat(task.path() / "schedstat");
        double nanoseconds = 0;
        if (!(schedstat >> nanoseconds)) continue;
        std::ifstream status(task.path() / "status");
        AudioThread thread{nanoseconds * 1e-9, 0};
        std::string line;
        while (std::getline(status, line)) {
            if (line.rfind("voluntary_ctxt_switches:", 0) == 0)
                thread.wakes = std::strtol(line.c_str() + 24, nullptr, 10);
        }
        return thread;
    }
    return std::nullopt;
}

void Sleep(std::chrono::milliseconds duration) { std::this_thread::sleep_for(duration); }

// Sends the scenario's commands at the game's own pace for `duration`.
void Play(kelo::AudioBackend& audio, std::string_view scenario, std::chrono::milliseconds duration) {
    using namespace std::chrono_literals;
    const auto end = std::chrono::steady_clock::now() + duration;
    while (std::chrono::steady_clock::now() < end) {
        if (scenario == "run") audio.Command("play wavTip notify from 0");
        audio.RestWhenQuietFor(kelo::AudioBackend::kQuietBeforeRest);  // as the game does every frame
        Sleep(200ms);
    }
}

void StartScenario(kelo::AudioBackend& audio, std::string_view scenario) {
    if (scenario == "music") audio.Command("play midBGM1 from 0");
    if (scenario == "run") {
        audio.Command("play midChime notify from 0");
        Sleep(std::chrono::milliseconds(500));
        audio.Command("play wavGop notify from 0");
        audio.Command("play midBGM1 from 0");
        audio.Command("play wavTip notify from 0");
    }
}

}  // namespace

int main(int argc, char** argv) {
    const std::string_view scenario = argc > 1 ? argv[1] : "";
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 5;
    if ((scenario != "idle" && scenario != "music" && scenario != "run") || seconds <= 0) {
        std::fprintf(stderr, "usage: kelo-audio-cost idle|music|run [SECONDS]\n");
        return 2;
    }
    kelo::AudioBackend audio;
    if (!audio.Open()) {
        std::fprintf(stderr, "kelo-audio-cost: no audio device\n");
        return 1;
    }
    for (const char* command : kOpenCommands) audio.Command(command);
    StartScenario(audio, scenario);
    Play(audio, scenario, std::chrono::seconds(1));

    const auto wallStart = std::chrono::steady_clock::now();
    const double cpuStart = ProcessCpuSeconds();
    const std::optional<AudioThread> audioStart = ReadAudioThread();
    Play(audio, scenario, std::chrono::seconds(seconds));
    const std::optional<AudioThread> audioEnd = ReadAudioThread();
    const double cpu = ProcessCpuSeconds() - cpuStart;
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    AudioThread audioThread;
    if (audioStart && audioEnd) {
        audioThread = {audioEnd->cpuSeconds - audioStart->cpuSeconds, audioEnd->wakes - audioStart->wakes};
    }

    std::printf(
        "%s cpu_percent=%.2f threads=%ld vmhwm_kib=%ld vmrss_kib=%ld fluidsynth=%d audio_thread_percent=%.3f "
        "audio_wakes_per_s=%.1f audio_us_per_wake=%.1f\n",
        argv[1], 100.0 * cpu / wall, StatusField("Threads"), StatusField("VmHWM"), StatusField("VmRSS"),
        Mapped("libfluidsynth") ? 1 : 0, 100.0 * audioThread.cpuSeconds / wall,
        static_cast<double>(audioThread.wakes) / wall,
        audioThread.wakes > 0 ? 1e6 * audioThread.cpuSeconds / static_cast<double>(audioThread.wakes) : 0.0);
    audio.Close();
    return 0;
}
