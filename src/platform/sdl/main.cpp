// kelo-typing: the game on the desktop.
//   kelo-typing [--scale N] [--fullscreen | --windowed] [--help] [--version]
//   kelo-typing --export-history FILE
// Exit status: 0 after a normal end (and after --help, --version or an export), 1 when
// the game cannot start (no display, no font, another copy running) or an export
// failed, 2 for a bad command line.

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>

#include "app/Game.h"
#include "history/RunRecorder.h"
#include "kelo_version.h"
#include "platform/common/HistoryStore.h"
#include "platform/common/RecordStore.h"
#include "platform/common/TextRendering.h"
#include "platform/sdl/AudioBackend.h"
#include "platform/sdl/CommandLine.h"
#include "platform/sdl/DisplaySettings.h"
#include "platform/sdl/InstanceLock.h"
#include "platform/sdl/RaiseChannel.h"
#include "platform/sdl/SdlPlatform.h"

namespace {

constexpr int kExitCannotStart = 1;
constexpr int kExitBadCommandLine = 2;

int Fail(const char* what, const std::string& why) {
    std::fprintf(stderr, "kelo-typing: %s: %s\n", what, why.c_str());
    return kExitCannotStart;
}

bool IsSet(const char* variable) {
    const char* value = std::getenv(variable);
    return value != nullptr && value[0] != '\0';
}

// SDL falls back to an off-screen driver when no display answers; a game nobody can see
// would only hold the instance lock. A driver the user named is taken as meant.
bool ReachedNoDisplay() { return !IsSet("SDL_VIDEODRIVER") && kelo::ShowsNoWindow(SDL_GetCurrentVideoDriver()); }

int NoDisplay(const std::string& why) {
    std::fprintf(stderr, "kelo-typing: %s\n", why.c_str());
    return kExitCannotStart;
}

std::string DisplayNames() {
    std::string names;
    for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        if (!IsSet(variable)) continue;
        if (!names.empty()) names += " or ";
        names += std::string(variable) + "=\"" + std::getenv(variable) + "\"";
    }
    return names;
}

std::string SettingsPath() { return kelo::DisplaySettingsPath(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME")); }

// The command line wins over the remembered choice, which wins over the defaults.
kelo::WindowOptions ChooseWindowOptions(const kelo::CommandLine& commandLine) {
    std::string warning;
    const kelo::DisplaySettings saved = kelo::LoadDisplaySettings(SettingsPath(), warning);
    if (!warning.empty()) std::fprintf(stderr, "kelo-typing: %s\n", warning.c_str());
    kelo::WindowOptions options;
    options.zoom = commandLine.zoom.value_or(saved.zoom.value_or(0));
    options.fullscreen = commandLine.fullscreen.value_or(saved.fullscreen.value_or(false));
    return options;
}

void RememberDisplayChoice(const kelo::SdlPlatform& platform, const kelo::CommandLine& commandLine) {
    const kelo::WindowOptions choice = platform.DisplayChoice();
    const bool chosen = commandLine.zoom || commandLine.fullscreen || !(choice == platform.StartChoice());
    if (!chosen) return;
    std::string error;
    if (!kelo::SaveDisplaySettings(SettingsPath(), {choice.zoom, choice.fullscreen}, error)) {
        std::fprintf(stderr, "kelo-typing: the display choice was not kept: %s\n", error.c_str());
    }
}

int RunGame(const kelo::CommandLine& commandLine) {
    const std::string lockPath = kelo::InstanceLockPath(std::getenv("XDG_RUNTIME_DIR"), std::getenv("HOME"));
    kelo::InstanceLock lock;
    if (lock.Acquire(lockPath) == kelo::InstanceLock::Result::HeldElsewhere) {
        kelo::RequestRaise(kelo::RaiseSocketPath(lockPath));
        std::fprintf(stderr, "Ke-Lo Typing is already running\n");
        return kExitCannotStart;
    }
    std::string error;
    // No sound device leaves the game silent and otherwise unchanged.
    kelo::AudioBackend audio;
    kelo::SoundOutput sound{[&audio] { audio.Open(); }, [&audio](std::string_view command) { audio.Command(command); }};
    std::unique_ptr<kelo::SdlPlatform> platform =
        kelo::SdlPlatform::Create(sound, ChooseWindowOptions(commandLine), error);
    if (!platform) return Fail("cannot open the window", error);
    platform->ListenForRaise(kelo::RaiseSocketPath(lockPath));
    // The window comes first, black; finding and opening the font is the slow part.
    platform->MapWindow();
    // Without a font every text of the game would be invisible: refuse to start.
    std::unique_ptr<kelo::TextRenderer> font = kelo::CreateTextRenderer(error);
    if (!font) return Fail("no usable font", error);
    platform->SetText(*font);
    kelo::Game game(*platform);
    kelo::RunRecorder recorder;
    game.runObserver = &recorder;
    kelo::PlayGame(game);
    RememberDisplayChoice(*platform, commandLine);
    return 0;
}

// Reads the history beside the record file; takes no lock and opens no window.
int ExportHistory(const std::string& target) {
    kelo::HistoryStore store(kelo::RecordStore::ForDesktop().MainFile().parent_path() / kelo::kHistoryFileName);
    const auto format = kelo::ExportFormatFor(target).value_or(kelo::ExportFormat::Csv);
    bool ok = false;
    if (target == "-") {
        ok = store.Export(std::cout, format);
    } else {
        std::ofstream out(target, std::ios::binary | std::ios::trunc);
        ok = out && store.Export(out, format);
        out.close();
        ok = ok && !out.fail();
    }
    if (!ok) {
        const std::string why = store.LastError().empty() ? "cannot write " + target : store.LastError();
        std::fprintf(stderr, "kelo-typing: %s\n", why.c_str());
    }
    return ok ? 0 : kExitCannotStart;
}

}  // namespace

int main(int argc, char** argv) {
    const kelo::CommandLine commandLine = kelo::ParseCommandLine(std::vector<std::string_view>(argv + 1, argv + argc));
    switch (commandLine.action) {
        case kelo::CommandLine::Action::Error:
            std::fprintf(stderr, "kelo-typing: %s\n", commandLine.error.c_str());
            return kExitBadCommandLine;
        case kelo::CommandLine::Action::Help: std::fputs(kelo::HelpText().c_str(), stdout); return 0;
        case kelo::CommandLine::Action::Version: std::printf("Ke-Lo Typing %s\n", KELO_VERSION); return 0;
        case kelo::CommandLine::Action::ExportHistory: return ExportHistory(commandLine.exportPath);
        case kelo::CommandLine::Action::Play: break;
    }
    if (!IsSet("SDL_VIDEODRIVER") && !IsSet("DISPLAY") && !IsSet("WAYLAND_DISPLAY")) {
        return NoDisplay("no display to open the window on: DISPLAY and WAYLAND_DISPLAY are not set");
    }
    if (SDL_Init(SDL_INIT_VIDEO) != 0) return Fail("cannot open a window", SDL_GetError());
    if (ReachedNoDisplay()) {
        SDL_Quit();
        return NoDisplay("cannot reach the display " + DisplayNames());
    }
    const int status = RunGame(commandLine);
    SDL_Quit();
    return status;
}
