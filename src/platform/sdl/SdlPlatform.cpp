#include "platform/sdl/SdlPlatform.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <optional>

#include "app/Game.h"
#include "app/Keyboard.h"
#include "draw/Helpers.h"
#include "kelo_version.h"
#include "platform/sdl/WindowIcon.h"
#include "platform/sdl/X11WindowManager.h"
#include "platform/sdl/XkbLayout.h"
#include "platform/sdl/Zoom.h"

namespace kelo {

namespace {

// How long a yield inside a key-waiting loop may block for an event.
constexpr int kKeyWaitTimeout = 5;

constexpr const char* kHeadlessDrivers[] = {"offscreen", "dummy", "evdev", "KMSDRM", "KMSDRM_LEGACY", "vivante", "RPI"};

constexpr int64_t kNanosecondsPerMillisecond = 1000000;
constexpr int64_t kNanosecondsPerSecond = 1000000000;

int64_t MonotonicNanoseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * kNanosecondsPerSecond + now.tv_nsec;
}

bool HasEightBitChannels(const SDL_PixelFormat& format) {
    return format.BytesPerPixel == 4 && format.Rloss == 0 && format.Gloss == 0 && format.Bloss == 0;
}

// Surfaces of fewer than 8 bits a channel are drawn through a 32-bit staging surface.
ChannelShifts ShiftsFor(const SDL_Surface& surface) {
    if (!HasEightBitChannels(*surface.format)) return {};
    return {surface.format->Rshift, surface.format->Gshift, surface.format->Bshift};
}

PixelTarget TargetOf(SDL_Surface* surface) {
    PixelTarget target;
    target.pixels = static_cast<uint32_t*>(surface->pixels);
    target.width = surface->w;
    target.height = surface->h;
    target.pitch = surface->pitch / 4;
    return target;
}

// The file that the environment variable `variable` names, for a log of `what`.
std::FILE* OpenFrameLog(const char* variable, const char* what) {
    const char* path = std::getenv(variable);
    if (path == nullptr || path[0] == '\0') return nullptr;
    std::FILE* log = std::fopen(path, "w");
    if (log == nullptr) {
        std::fprintf(stderr, "kelo-typing: cannot write the %s %s: %s\n", what, path, std::strerror(errno));
        return nullptr;
    }
    // Line by line, so that a reader sees each frame while the game runs.
    std::setvbuf(log, nullptr, _IOLBF, 0);
    return log;
}

std::optional<ZoomKey> ZoomKeyOf(const SDL_Keysym& key) {
    if ((key.mod & KMOD_CTRL) == 0) return std::nullopt;
    switch (key.sym) {
        case SDLK_PLUS:
        case SDLK_EQUALS:
        case SDLK_KP_PLUS: return ZoomKey::In;
        case SDLK_MINUS:
        case SDLK_KP_MINUS: return ZoomKey::Out;
        case SDLK_0:
        case SDLK_KP_0: return ZoomKey::Reset;
        default: return std::nullopt;
    }
}

bool IsWindowKey(const SDL_Keysym& key) {
    return key.sym == SDLK_F11 || (key.sym == SDLK_RETURN && (key.mod & KMOD_ALT) != 0);
}

}  // namespace

bool ShowsNoWindow(std::string_view videoDriver) {
    for (const char* name : kHeadlessDrivers) {
        if (videoDriver == name) return true;
    }
    return false;
}

SdlPlatform::SdlPlatform(SoundOutput sound)
    : sound_(std::move(sound)),
      frameLog_(OpenFrameLog("KELO_FRAME_LOG", "frame log")),
      digestLog_(OpenFrameLog("KELO_FRAME_DIGESTS", "frame digest log")) {
    records_.notice = [](const std::string& line) { std::fprintf(stderr, "kelo-typing: %s\n", line.c_str()); };
}

std::unique_ptr<SdlPlatform> SdlPlatform::Create(SoundOutput sound, const WindowOptions& options, std::string& error) {
    std::unique_ptr<SdlPlatform> platform(new SdlPlatform(std::move(sound)));
    if (!platform->Open(options, error)) return nullptr;
    return platform;
}

std::unique_ptr<SdlPlatform> SdlPlatform::Create(TextRenderer& text, SoundOutput sound, std::string& error) {
    std::unique_ptr<SdlPlatform> platform = Create(std::move(sound), WindowOptions{1, false}, error);
    if (platform) platform->SetText(text);
    return platform;
}

bool SdlPlatform::Open(const WindowOptions& options, std::string& error) {
    // Without this SDL may put an OpenGL texture behind the window surface.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    window_ = SDL_CreateWindow("Ke-Lo Typing", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, kPictureWidth,
                               kPictureHeight, SDL_WINDOW_HIDDEN | SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI);
    if (window_ == nullptr) {
        error = SDL_GetError();
        return false;
    }
    const int ratio = PixelRatio();
    windowedZoom_ = ChooseZoom(options.zoom);
    SDL_SetWindowMinimumSize(window_, kPictureWidth / ratio, kPictureHeight / ratio);
    SDL_SetWindowSize(window_, kPictureWidth * windowedZoom_ / ratio, kPictureHeight * windowedZoom_ / ratio);
    SDL_SetWindowPosition(window_, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
    if (options.fullscreen) ToggleFullscreen();
    startChoice_ = DisplayChoice();
    // An input method would otherwise take letter keys for text composition.
    SDL_StopTextInput();
    return true;
}

// Real pixels per window coordinate: 2 on a hi-DPI display that SDL scales, else 1.
int SdlPlatform::PixelRatio() const {
    int points = 0, pixels = 0, height = 0;
    SDL_GetWindowSize(window_, &points, &height);
    SDL_GetWindowSizeInPixels(window_, &pixels, &height);
    return points > 0 && pixels > points ? pixels / points : 1;
}

// A zoom asked for is kept within the display's usable area for this launch only: the
// choice that is remembered stays the player's.
int SdlPlatform::ChooseZoom(int requested) {
    SDL_Rect usable{};
    const int display = std::max(0, SDL_GetWindowDisplayIndex(window_));
    if (SDL_GetDisplayUsableBounds(display, &usable) != 0) return std::max(requested, 1);
    const int ratio = PixelRatio();
    if (requested <= 0) return DefaultZoom(usable.w * ratio, usable.h * ratio);
    const int fitting = PlacePicture(usable.w * ratio, usable.h * ratio).zoom;
    zoomCapped_ = requested > fitting;
    return std::min(requested, fitting);
}

SdlPlatform::~SdlPlatform() {
    if (window_ != nullptr) SDL_DestroyWindow(window_);
    if (frameLog_ != nullptr) std::fclose(frameLog_);
    if (digestLog_ != nullptr) std::fclose(digestLog_);
}

// Milliseconds since the machine started, like the multimedia clock the game's timing
// was made for: the first frame wait after start-up (lastFrameTime 0) returns at once.
uint32_t SdlPlatform::Now() { return static_cast<uint32_t>(MonotonicNanoseconds() / kNanosecondsPerMillisecond); }

// Now() counts whole milliseconds, so the wait is over exactly when the clock enters
// the millisecond `ms` after the current one: one sleep to that instant, where the
// system timer wakes the game within a fraction of a millisecond.
void SdlPlatform::Sleep(uint32_t ms) {
    const int64_t deadline = (MonotonicNanoseconds() / kNanosecondsPerMillisecond + ms) * kNanosecondsPerMillisecond;
    const timespec until{static_cast<time_t>(deadline / kNanosecondsPerSecond),
                         static_cast<long>(deadline % kNanosecondsPerSecond)};
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
    }
}

void SdlPlatform::Yield(EventSink& sink, YieldKind kind) {
    SDL_Event event;
    if (kind == YieldKind::KeyWait && SDL_WaitEventTimeout(&event, kKeyWaitTimeout)) Dispatch(event, sink);
    while (SDL_PollEvent(&event)) Dispatch(event, sink);
    if (historyNoticeChanged_) UpdateTitle();
    if (soundOpened_ && sound_.rest) sound_.rest();
    if (raise_.TakeRequest()) {
        if (SDL_GetWindowFlags(window_) & SDL_WINDOW_MINIMIZED) SDL_RestoreWindow(window_);
        SDL_RaiseWindow(window_);
    }
}

void SdlPlatform::Dispatch(const SDL_Event& event, EventSink& sink) {
    switch (event.type) {
        case SDL_KEYDOWN:
        case SDL_KEYUP: {
            if (HandleWindowKey(event.key, sink)) break;
            // Auto-repeats arrive as further key-downs, as they do on Windows.
            const int vk = VirtualKeyFor(event.key.keysym.sym, event.key.keysym.scancode, punctuation_);
            if (vk == 0) break;
            if (event.type == SDL_KEYDOWN) {
                sink.OnKeyDown(vk);
            } else {
                sink.OnKeyUp(vk);
            }
            break;
        }
        case SDL_QUIT: sink.OnCloseRequest(); break;
        case SDL_WINDOWEVENT: OnWindowEvent(event.window); break;
        case SDL_KEYMAPCHANGED:
            if (std::strcmp(SDL_GetCurrentVideoDriver(), "x11") == 0) punctuation_ = ReadX11Punctuation();
            break;
        default: break;
    }
}

// Ctrl+Q closes the game as the window's close button does; F11 and Alt+Enter toggle
// fullscreen; the zoom keys zoom when the game lets them. The game never sees these keys
// go down. Changed: the original has no such keys; they belong to the desktop window,
// not to any screen.
bool SdlPlatform::HandleWindowKey(const SDL_KeyboardEvent& key, EventSink& sink) {
    if (key.type != SDL_KEYDOWN) return false;
    if (key.keysym.sym == SDLK_q && (key.keysym.mod & KMOD_CTRL) != 0) {
        if (key.repeat == 0) sink.OnCloseRequest();
        return true;
    }
    if (const std::optional<ZoomKey> zoomKey = ZoomKeyOf(key.keysym); zoomKey && sink.TakesZoomKeys()) {
        ChangeZoom(*zoomKey);
        return true;
    }
    if (!IsWindowKey(key.keysym)) return false;
    if (key.repeat == 0) ToggleFullscreen();
    return true;
}

void SdlPlatform::OnWindowEvent(const SDL_WindowEvent& event) {
    switch (event.event) {
        case SDL_WINDOWEVENT_SIZE_CHANGED: {
            // A maximised window's zoom follows the screen, not the player's choice.
            if (!fullscreen_ && !(SDL_GetWindowFlags(window_) & SDL_WINDOW_MAXIMIZED)) {
                int width = 0, height = 0;
                SDL_GetWindowSizeInPixels(window_, &width, &height);
                windowedZoom_ = PlacePicture(width, height).zoom;
            }
            Draw(true);
            break;
        }
        case SDL_WINDOWEVENT_EXPOSED: Draw(true); break;
        default: break;
    }
}

// Full screen always shows the largest zoom, so the keys change only the window's.
void SdlPlatform::ChangeZoom(ZoomKey key) {
    if (fullscreen_) return;
    SDL_Rect usable{};
    const int display = std::max(0, SDL_GetWindowDisplayIndex(window_));
    if (SDL_GetDisplayUsableBounds(display, &usable) != 0) return;
    const int ratio = PixelRatio();
    const int largest = PlacePicture(usable.w * ratio, usable.h * ratio).zoom;
    const int zoom = ZoomAfterKey(key, windowedZoom_, DefaultZoom(usable.w * ratio, usable.h * ratio), largest);
    if (SDL_GetWindowFlags(window_) & SDL_WINDOW_MAXIMIZED) SDL_RestoreWindow(window_);
    windowedZoom_ = zoom;
    SDL_SetWindowSize(window_, kPictureWidth * zoom / ratio, kPictureHeight * zoom / ratio);
}

void SdlPlatform::ToggleFullscreen() {
    fullscreen_ = !fullscreen_;
    wholeWindowDue_ = true;
    if (!emulateFullscreen_) {
        emulateFullscreen_ = std::strcmp(SDL_GetCurrentVideoDriver(), "x11") == 0 && !X11HasWindowManager();
    }
    if (*emulateFullscreen_) {
        FillDisplayOrRestore();
    } else {
        SDL_SetWindowFullscreen(window_, fullscreen_ ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
    }
}

void SdlPlatform::FillDisplayOrRestore() {
    if (!fullscreen_) {
        SDL_SetWindowSize(window_, windowedArea_.w, windowedArea_.h);
        SDL_SetWindowPosition(window_, windowedArea_.x, windowedArea_.y);
        return;
    }
    SDL_Rect display{};
    if (SDL_GetDisplayBounds(std::max(0, SDL_GetWindowDisplayIndex(window_)), &display) != 0) return;
    SDL_GetWindowPosition(window_, &windowedArea_.x, &windowedArea_.y);
    SDL_GetWindowSize(window_, &windowedArea_.w, &windowedArea_.h);
    SDL_SetWindowPosition(window_, display.x, display.y);
    SDL_SetWindowSize(window_, display.w, display.h);
}

void SdlPlatform::Present(const Image& frame, FrameKind kind) {
    // Logged even when the window cannot show it: the logs count what the game presents.
    if (frameLog_ != nullptr && logFrames_) LogFrame();
    if (digestLog_ != nullptr && logFrames_) std::fputs(digester_.Line(frameWaits_, frame).c_str(), digestLog_);
    SDL_Surface* surface = SDL_GetWindowSurface(window_);
    if (surface == nullptr) return;
    Present(surface, label_.empty() ? frame : WithLabel(frame), kind);
}

// Changed: the original never replays a run; a replay says so in the window's corner.
const Image& SdlPlatform::WithLabel(const Image& frame) {
    if (labelled_.image.Width() != frame.Width() || labelled_.image.Height() != frame.Height()) {
        labelled_ = Surface(frame.Width(), frame.Height(), kBlack, kWhite);
    }
    BitBlt(labelled_.image, 0, 0, frame.Width(), frame.Height(), frame, 0, 0, BlitMode::Copy);
    const int16_t x = 6, y = static_cast<int16_t>(frame.Height() - 20);
    PrintText(labelled_, *text_, label_, x + 1, y + 1, kBlack, 12);
    PrintText(labelled_, *text_, label_, x, y, Rgb(255, 220, 80), 12);
    return labelled_.image;
}

void SdlPlatform::Present(SDL_Surface* surface, const Image& frame, FrameKind kind) {
    if (PresentOnSurface(surface, frame, kind)) return;
    // A repeated frame is on screen already. Of a new frame only the rows that differ
    // from the shown picture are drawn and sent.
    const bool sameSurface =
        surface->w == surfaceWidth_ && surface->h == surfaceHeight_ && ShiftsFor(*surface) == pictureShifts_;
    if (sameSurface && kind == FrameKind::Repeated && !picture_.empty()) return;
    if (!sameSurface) picture_.clear();
    pictureShifts_ = ShiftsFor(*surface);
    const PictureRows changed = ConvertPicture(frame, pictureShifts_, picture_);
    if (!changed.Empty()) Draw(false, changed);
}

bool SdlPlatform::HoldsPicture(const SDL_Surface& surface) const { return surface.userdata == &picture_; }

// At zoom 1, with the whole picture inside a window surface of 8-bit channels, the
// surface itself is the shown picture: each row of a new frame is converted while it is
// in the cache, compared with the surface's row and written there only where it
// differs, and no second copy of the picture is kept. A surface holding the picture
// carries a mark in its userdata, which a surface that SDL makes anew (after a resize)
// lacks. False when the picture does not fit so; Present then goes the general way.
bool SdlPlatform::PresentOnSurface(SDL_Surface* surface, const Image& frame, FrameKind kind) {
    const Placement placement = PlacePicture(surface->w, surface->h);
    const bool fits = HasEightBitChannels(*surface->format) && placement.zoom == 1 && placement.x >= 0 &&
                      placement.y >= 0 && placement.x + kPictureWidth <= surface->w &&
                      placement.y + kPictureHeight <= surface->h;
    if (!fits) {
        surface->userdata = nullptr;
        return false;
    }
    const ChannelShifts shifts = ShiftsFor(*surface);
    const bool holds = HoldsPicture(*surface) && shifts == pictureShifts_ && !wholeWindowDue_;
    if (holds && kind == FrameKind::Repeated) return true;
    if (SDL_MUSTLOCK(surface) && SDL_LockSurface(surface) != 0) return true;
    const PixelTarget target = TargetOf(surface);
    if (!holds) FillBlack(target);
    const PictureRows changed = ConvertPictureOnto(frame, shifts, target, placement.x, placement.y, !holds);
    if (SDL_MUSTLOCK(surface)) SDL_UnlockSurface(surface);
    surface->userdata = &picture_;
    pictureShifts_ = shifts;
    surfaceWidth_ = surface->w;
    surfaceHeight_ = surface->h;
    wholeWindowDue_ = false;
    // The picture lives on the surface now; the general way starts afresh when needed.
    std::vector<uint32_t>().swap(picture_);
    if (!holds) {
        SDL_UpdateWindowSurface(window_);
    } else if (!changed.Empty()) {
        const SDL_Rect rows{placement.x, placement.y + changed.first, kPictureWidth, changed.end - changed.first};
        SDL_UpdateWindowSurfaceRects(window_, &rows, 1);
    }
    return true;
}

// Draws the last frame into the window surface, which SDL makes anew whenever the
// window's size changes; then the black around the picture is painted too.
void SdlPlatform::Draw(bool wholeWindow, PictureRows rows) {
    SDL_Surface* surface = SDL_GetWindowSurface(window_);
    if (surface == nullptr) return;
    if (HoldsPicture(*surface)) {
        // Picture and black around it are there already (PresentOnSurface).
        if (wholeWindow || wholeWindowDue_) SDL_UpdateWindowSurface(window_);
        wholeWindowDue_ = false;
        return;
    }
    if (surface->w != surfaceWidth_ || surface->h != surfaceHeight_) {
        surfaceWidth_ = surface->w;
        surfaceHeight_ = surface->h;
        wholeWindowDue_ = true;
    }
    wholeWindow = wholeWindow || wholeWindowDue_;
    wholeWindowDue_ = false;
    if (wholeWindow) rows = PictureRows{};
    // A surface of another pixel layout stays black until the next frame.
    const bool hasFrame = !picture_.empty() && ShiftsFor(*surface) == pictureShifts_;
    if (!HasEightBitChannels(*surface->format)) {
        DrawThroughStaging(surface, hasFrame);
        return;
    }
    if (SDL_MUSTLOCK(surface) && SDL_LockSurface(surface) != 0) return;
    const PixelTarget target = TargetOf(surface);
    const Placement placement = PlacePicture(surface->w, surface->h);
    if (wholeWindow) FillBlack(target);
    if (hasFrame) DrawZoomed(picture_, placement, target, rows);
    if (SDL_MUSTLOCK(surface)) SDL_UnlockSurface(surface);
    if (wholeWindow || !hasFrame) {
        SDL_UpdateWindowSurface(window_);
        return;
    }
    SDL_Rect picture{placement.x, placement.y + rows.first * placement.zoom, placement.Width(),
                     (rows.end - rows.first) * placement.zoom};
    const SDL_Rect all{0, 0, surface->w, surface->h};
    if (SDL_IntersectRect(&picture, &all, &picture)) SDL_UpdateWindowSurfaceRects(window_, &picture, 1);
}

// Displays of fewer than 8 bits a channel: draw in 32 bits and let SDL convert.
void SdlPlatform::DrawThroughStaging(SDL_Surface* surface, bool hasFrame) {
    SDL_Surface* staging = SDL_CreateRGBSurfaceWithFormat(0, surface->w, surface->h, 32, SDL_PIXELFORMAT_XRGB8888);
    if (staging == nullptr) return;
    const PixelTarget target = TargetOf(staging);
    FillBlack(target);
    if (hasFrame) DrawZoomed(picture_, PlacePicture(surface->w, surface->h), target);
    SDL_BlitSurface(staging, nullptr, surface, nullptr);
    SDL_FreeSurface(staging);
    SDL_UpdateWindowSurface(window_);
}

void SdlPlatform::LogFrame() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const long long microseconds = static_cast<long long>(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
    std::fprintf(frameLog_, "%lld\n", microseconds);
}

void SdlPlatform::SendSound(std::string_view command) {
    if (sound_.command) sound_.command(command);
}

KeyLayout SdlPlatform::TypedKeyLayout() {
    if (std::strcmp(SDL_GetCurrentVideoDriver(), "x11") != 0) return kUsQwerty;
    return ReadX11TypedKeyLayout();
}

void SdlPlatform::MapWindow() {
    SDL_ShowWindow(window_);
    SDL_RaiseWindow(window_);
    Draw(true);
    // After the showing: the icons go through a connection of their own, with a round trip.
    SetWindowIcon(window_);
    if (punctuation_.Empty() && std::strcmp(SDL_GetCurrentVideoDriver(), "x11") == 0) {
        punctuation_ = ReadX11Punctuation(&layoutName_);
    }
}

void SdlPlatform::ShowWindow() {
    if (!(SDL_GetWindowFlags(window_) & SDL_WINDOW_SHOWN)) MapWindow();
    if (!soundOpened_ && sound_.open) sound_.open();
    soundOpened_ = true;
}

uint32_t SdlPlatform::RandomSeed() {
    const uint64_t counter = SDL_GetPerformanceCounter();
    return static_cast<uint32_t>(counter ^ (counter >> 32) ^ static_cast<uint64_t>(std::time(nullptr)));
}

std::optional<std::vector<uint8_t>> SdlPlatform::ReadRecordFile() { return records_.Read(); }

// A save that found no folder at all is said once on stderr and stays in the caption
// until a later save succeeds, so no run is lost without the player knowing.
bool SdlPlatform::WriteRecordFile(const std::vector<uint8_t>& bytes) { return ShowSaveResult(records_.Write(bytes)); }

bool SdlPlatform::SaveRecordFile(RecordSaver& saver) { return ShowSaveResult(records_.Save(saver)); }

// Changed: the original never tells of a save that failed; the desktop says it on stderr
// and in the window's caption.
bool SdlPlatform::ShowSaveResult(bool saved) {
    if (!saved) std::fprintf(stderr, "kelo-typing: %s\n", records_.LastError().c_str());
    recordsFailed_ = !saved;
    UpdateTitle();
    return saved;
}

void SdlPlatform::UpdateTitle() {
    {
        std::lock_guard lock(historyNoticeMutex_);
        shownHistoryNotice_ = historyNotice_;
        historyNoticeChanged_ = false;
    }
    std::string title = "Ke-Lo Typing";
    if (recordsFailed_) title += " - records could not be saved";
    if (!shownHistoryNotice_.empty()) title += " - " + shownHistoryNotice_;
    SDL_SetWindowTitle(window_, title.c_str());
}

WallTime SdlPlatform::WallClock() {
    const auto now = std::chrono::system_clock::now();
    const int64_t ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&seconds, &local);
    return {ms, static_cast<int32_t>(local.tm_gmtoff / 60)};
}

// Runs on the history's writing thread after every write: one line on stderr when
// there is something to say, and the title at the game's next yield. A failure stays
// in the title until a later write succeeds.
void SdlPlatform::NoteHistory(const std::string& line, bool saved) {
    if (!line.empty()) std::fprintf(stderr, "kelo-typing: %s\n", line.c_str());
    std::lock_guard lock(historyNoticeMutex_);
    historyNotice_ = !saved          ? "run history could not be saved"
                     : !line.empty() ? "run history damaged, a new one started"
                                     : "";
    historyNoticeChanged_ = true;
}

HistoryWriter& SdlPlatform::History() {
    if (!history_) {
        const std::filesystem::path file = records_.MainFile().parent_path() / kHistoryFileName;
        history_ = std::make_unique<HistoryWriter>(
            file, KELO_VERSION, true, [this](const std::string& line, bool saved) { NoteHistory(line, saved); });
    }
    return *history_;
}

void SdlPlatform::SaveRunHistory(const RunHistory& run) { History().Submit(run); }

ProgressAggregate SdlPlatform::ReadProgress(const ProgressQuery& query) { return History().ReadProgress(query); }

void SdlPlatform::SubmitReplay(ReplaySegmentData segment) { History().SubmitReplay(std::move(segment)); }

namespace {

// The player's own keys while a replay plays; the replayed game gets only the recorded
// ones.
class ReplayViewer : public EventSink {
public:
    struct Ended {
        SdlPlatform::ReplayEnd how;
    };
    void OnKeyDown(int vk) override {
        if (vk == vk::Escape) throw Ended{SdlPlatform::ReplayEnd::Escape};
    }
    void OnKeyUp(int) override {}
    void OnCloseRequest() override { throw Ended{SdlPlatform::ReplayEnd::Close}; }
};

}  // namespace

SdlPlatform::ReplayEnd SdlPlatform::PlayReplay(ReplaySource source, bool logFrames, std::string& error) {
    const bool logging = logFrames_;
    logFrames_ = logFrames;
    SetLabel("Replay");
    ReplayEnd end = ReplayEnd::Finished;
    try {
        ReplayPlatform replay(std::move(source), *this, KELO_VERSION);
        replay.forwardSleeps = true;
        replay.forwardRecordWrites = false;
        ReplayViewer viewer;
        replay.liveSink = &viewer;
        Game game(replay);
        replay.Play(game);
    } catch (const ReplayViewer::Ended& ended) {
        end = ended.how;
    } catch (const ReplayError& replayError) {
        error = replayError.what();
        end = ReplayEnd::Failed;
    }
    SetLabel("");
    logFrames_ = logging;
    return end;
}

// The runs written so far include the one just played: a run's recording is kept as it
// hands over to the next screen.
void SdlPlatform::WatchBestRun(int course, Difficulty difficulty) {
    History().Flush();
    std::optional<ReplaySource> source;
    {
        HistoryStore store(records_.MainFile().parent_path() / kHistoryFileName);
        const std::optional<int64_t> run = store.BestRecordedRun(course, difficulty);
        if (run) source = store.ReadRunReplay(*run);
        if (!source) {
            if (!store.LastError().empty()) std::fprintf(stderr, "kelo-typing: %s\n", store.LastError().c_str());
            return;
        }
    }
    std::string error;
    switch (PlayReplay(std::move(*source), false, error)) {
        case ReplayEnd::Failed: std::fprintf(stderr, "kelo-typing: the replay stopped: %s\n", error.c_str()); break;
        case ReplayEnd::Close: {
            SDL_Event quit{};
            quit.type = SDL_QUIT;
            SDL_PushEvent(&quit);
            break;
        }
        case ReplayEnd::Finished:
        case ReplayEnd::Escape: break;
    }
    // The picture is the replay's last frame until the game presents its own.
    wholeWindowDue_ = true;
}

}  // namespace kelo
