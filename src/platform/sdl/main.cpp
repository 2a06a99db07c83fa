// kelo-typing: the game on the desktop. Its command line: HelpText() in CommandLine.cpp.
// Exit status: 0 after a normal end (and after --help, --version or an export), 1 when
// the game cannot start (no display, no font, another copy running) or an export
// failed, 2 for a bad command line.
// Changed: the original reports nothing; the desktop says on stderr why it stopped.

#include <SDL.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "GameLoop.h"
#include "app/Game.h"
#include "history/RunRecorder.h"
#include "kelo_version.h"
#include "platform/common/HistoryStore.h"
#include "platform/common/MessageCatalogue.h"
#include "platform/common/RecordStore.h"
#include "platform/common/ReplayPlatforms.h"
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

// An environment variable set for a scope and as it was again afterwards: SDL reads
// some only while it opens the video.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) saved_ = old;
        setenv(name, value, 1);
    }
    ~ScopedVariable() {
        if (saved_) {
            setenv(name_, saved_->c_str(), 1);
        } else {
            unsetenv(name_);
        }
    }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    const char* name_;
    std::optional<std::string> saved_;
};

// Whether DBUS_SESSION_BUS_ADDRESS or the user's bus socket tells libdbus where the
// session's bus is.
bool SessionBusConfigured() {
    if (std::getenv("DBUS_SESSION_BUS_ADDRESS") != nullptr) return true;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    struct stat bus {};
    return runtime != nullptr && runtime[0] == '/' && stat((std::string(runtime) + "/bus").c_str(), &bus) == 0 &&
           S_ISSOCK(bus.st_mode);
}

bool InitVideo() {
    // The game reads keys, never composed text, so Xlib's input method, which SDL opens
    // with the video, is given an empty table of compose sequences instead of parsing the
    // locale's (half a megabyte for en_US.UTF-8: a fifth of the time to the window). Keys
    // still arrive one by one, dead keys included.
    ScopedVariable composeTable("XCOMPOSEFILE", "/dev/null");
    // SDL joins the session's message bus with the video (for the screen saver and input
    // methods). Where no bus is configured, libdbus would "autolaunch" one: it runs
    // dbus-launch, which searches the PATH and, where installed, starts a bus daemon that
    // outlives the game; the window waits for it (8 ms where dbus-launch is missing). So
    // SDL is then handed an address that answers at once that there is no bus, as it
    // would find on its own after the search; the screen saver is still held off through X.
    std::optional<ScopedVariable> noAutolaunch;
    if (!SessionBusConfigured()) {
        noAutolaunch.emplace("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/kelo-typing/no-session-bus");
    }
    return SDL_Init(SDL_INIT_VIDEO) == 0;
}

std::string SettingsPath() { return kelo::DisplaySettingsPath(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME")); }

kelo::DisplaySettings LoadSavedSettings() {
    std::string warning;
    kelo::DisplaySettings saved = kelo::LoadDisplaySettings(SettingsPath(), warning);
    if (!warning.empty()) std::fprintf(stderr, "kelo-typing: %s\n", warning.c_str());
    return saved;
}

// The command line wins over the remembered choice, which wins over the defaults.
kelo::WindowOptions ChooseWindowOptions(const kelo::CommandLine& commandLine, const kelo::DisplaySettings& saved) {
    kelo::WindowOptions options;
    options.zoom = commandLine.zoom.value_or(saved.zoom.value_or(0));
    options.fullscreen = commandLine.fullscreen.value_or(saved.fullscreen.value_or(false));
    return options;
}

// Likewise for the language; a missing catalogue leaves the original texts.
kelo::MessageCatalogue ChooseCatalogue(const kelo::CommandLine& commandLine, const kelo::DisplaySettings& saved) {
    const std::string language =
        commandLine.language.value_or(saved.language.value_or(std::string(kelo::kOriginalLanguage)));
    std::string error;
    std::optional<kelo::MessageCatalogue> catalogue =
        kelo::MessageCatalogue::ForLanguage(language, kelo::ExecutableFolder(), error);
    if (catalogue) return std::move(*catalogue);
    std::fprintf(stderr, "kelo-typing: %s; the texts stay as they are\n", error.c_str());
    return {};
}

// Options on the command line are for one launch: the file changes only where the player
// changed the display during the game, and keeps everything else it holds.
void RememberDisplayChoice(const kelo::SdlPlatform& platform, const kelo::DisplaySettings& saved) {
    const kelo::WindowOptions choice = platform.DisplayChoice(), start = platform.StartChoice();
    kelo::DisplaySettings updated = saved;
    if (choice.zoom != start.zoom) updated.zoom = choice.zoom;
    if (choice.fullscreen != start.fullscreen) updated.fullscreen = choice.fullscreen;
    if (updated == saved) return;
    // A window made smaller than asked for the display of this launch changes nothing
    // here: its start choice is already the smaller zoom.
    std::string error;
    if (SettingsPath().empty()) {
        std::fprintf(stderr, "kelo-typing: the display choice was not kept: neither XDG_CONFIG_HOME nor HOME is set\n");
    } else if (!kelo::SaveDisplaySettings(SettingsPath(), updated, error)) {
        std::fprintf(stderr, "kelo-typing: the display choice was not kept: %s\n", error.c_str());
    }
}

// A second copy goes through the game's start-up, which finds the lock taken and closes
// before the window is shown or the sound opened; the running copy is asked to the front.
int EndSecondCopy(kelo::SdlPlatform& platform, const std::string& lockPath) {
    platform.SetOtherInstanceRunning(true);
    kelo::Game game(platform);
    kelo::PlayGame(game);
    kelo::RequestRaise(kelo::RaiseSocketPath(lockPath));
    std::fprintf(stderr, "Ke-Lo Typing is already running\n");
    return kExitCannotStart;
}

int RunGame(const kelo::CommandLine& commandLine) {
    const kelo::InstanceLockPlace lockPlace = kelo::ChooseInstanceLockPlace(
        std::getenv("XDG_RUNTIME_DIR"), std::getenv("XDG_CACHE_HOME"), std::getenv("HOME"));
    if (!lockPlace.notice.empty()) std::fprintf(stderr, "kelo-typing: %s\n", lockPlace.notice.c_str());
    const std::string& lockPath = lockPlace.path;
    kelo::InstanceLock lock;
    const kelo::InstanceLock::Result locked = lock.Acquire(lockPath);
    if (locked == kelo::InstanceLock::Result::Unavailable && !lockPath.empty()) {
        std::fprintf(stderr, "kelo-typing: cannot lock %s: a second copy of the game will not be noticed\n",
                     lockPath.c_str());
    }
    const bool secondCopy = locked == kelo::InstanceLock::Result::HeldElsewhere;
    std::string error;
    const kelo::DisplaySettings saved = LoadSavedSettings();
    // No sound device leaves the game silent and otherwise unchanged.
    kelo::AudioBackend audio;
    kelo::SoundOutput sound{[&audio] { audio.Open(); }, [&audio](std::string_view command) { audio.Command(command); },
                            [&audio] { audio.RestWhenQuietFor(kelo::AudioBackend::kQuietBeforeRest); }};
    std::unique_ptr<kelo::SdlPlatform> platform =
        kelo::SdlPlatform::Create(sound, ChooseWindowOptions(commandLine, saved), error);
    if (!platform) return Fail("cannot open the window", error);
    if (secondCopy) return EndSecondCopy(*platform, lockPath);
    platform->ListenForRaise(kelo::RaiseSocketPath(lockPath));
    // The window comes first, black; finding and opening the font is the slow part.
    platform->MapWindow();
    // Without a font every text of the game would be invisible: refuse to start.
    std::unique_ptr<kelo::TextRenderer> font = kelo::CreateTextRenderer(error);
    if (!font) return Fail("no usable font", error);
    platform->SetText(*font);
    platform->SetCatalogue(ChooseCatalogue(commandLine, saved));
    // Changed: the original keeps nothing of a session; every session is recorded into
    // the run history, from which any run can be played again.
    const int64_t start = platform->WallClock().unixMs;
    kelo::RecordingPlatform recording(
        *platform, KELO_VERSION, kelo::NewReplaySessionKey(start), start,
        [&platform](kelo::ReplaySegmentData segment) { platform->SubmitReplay(std::move(segment)); });
    kelo::Game game(recording);
    kelo::RunRecorder recorder;
    game.runObserver = &recorder;
    recording.BeginSession(game, kelo::Screen::Title);
    kelo::PlayGame(game);
    recording.EndSession(true);
    RememberDisplayChoice(*platform, saved);
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

// Plays one run of the history at its recorded speed, with its sounds, in a window of
// its own. It takes no instance lock and writes nothing: no records, no history, no
// settings.
int WatchReplay(const kelo::CommandLine& commandLine) {
    std::optional<kelo::ReplaySource> source;
    {
        kelo::HistoryStore store(kelo::RecordStore::ForDesktop().MainFile().parent_path() / kelo::kHistoryFileName);
        source = store.ReadRunReplay(*commandLine.replayRunId);
        if (!source) return Fail("cannot replay that run", store.LastError());
    }
    std::string error;
    const kelo::DisplaySettings saved = LoadSavedSettings();
    kelo::AudioBackend audio;
    kelo::SoundOutput sound{[&audio] { audio.Open(); }, [&audio](std::string_view command) { audio.Command(command); }};
    std::unique_ptr<kelo::SdlPlatform> platform =
        kelo::SdlPlatform::Create(sound, ChooseWindowOptions(commandLine, saved), error);
    if (!platform) return Fail("cannot open the window", error);
    platform->MapWindow();
    std::unique_ptr<kelo::TextRenderer> font = kelo::CreateTextRenderer(error);
    if (!font) return Fail("no usable font", error);
    platform->SetText(*font);
    platform->SetCatalogue(ChooseCatalogue(commandLine, saved));
    platform->ShowWindow();
    if (platform->PlayReplay(std::move(*source), true, error) == kelo::SdlPlatform::ReplayEnd::Failed) {
        return Fail("the replay stopped", error);
    }
    return 0;
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
        case kelo::CommandLine::Action::Play:
        case kelo::CommandLine::Action::Replay: break;
    }
    if (!IsSet("SDL_VIDEODRIVER") && !IsSet("DISPLAY") && !IsSet("WAYLAND_DISPLAY")) {
        return NoDisplay("no display to open the window on: DISPLAY and WAYLAND_DISPLAY are not set");
    }
    if (!InitVideo()) return Fail("cannot open a window", SDL_GetError());
    if (ReachedNoDisplay()) {
        SDL_Quit();
        return NoDisplay("cannot reach the display " + DisplayNames());
    }
    const int status =
        commandLine.action == kelo::CommandLine::Action::Replay ? WatchReplay(commandLine) : RunGame(commandLine);
    SDL_Quit();
    return status;
}
