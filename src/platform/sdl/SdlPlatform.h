#pragma once
// The desktop platform: one SDL window showing the 400 x 300 picture scaled by a whole
// number and centred on black, SDL's millisecond clock and the keyboard as Windows
// virtual-key numbers. The picture goes through SDL's window surface, never through
// OpenGL, which on machines without a graphics driver is a costly software renderer.

#include <SDL.h>

#include <atomic>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Platform.h"
#include "platform/common/HistoryWriter.h"
#include "platform/common/MessageCatalogue.h"
#include "platform/common/RecordStore.h"
#include "platform/sdl/KeyMap.h"
#include "platform/sdl/RaiseChannel.h"
#include "platform/sdl/Zoom.h"

namespace kelo {

// The audio device. It is opened when the game first shows its window, so a copy that
// ends before that never touches the sound system. Empty functions leave the game silent.
struct SoundOutput {
    std::function<void()> open;
    std::function<void(std::string_view command)> command;
    // Asked at every yield once the sound is open: a chance to stop work while nothing plays.
    std::function<void()> rest = nullptr;
};

// How the window starts: `zoom` 0 picks the default for the display.
struct WindowOptions {
    int zoom = 0;
    bool fullscreen = false;
    bool operator==(const WindowOptions&) const = default;
};

// True for SDL video drivers that show nothing on a desktop (off-screen, dummy, console
// drivers), which SDL falls back to when no display can be reached.
bool ShowsNoWindow(std::string_view videoDriver);

class SdlPlatform : public Platform {
public:
    // Opens the window, hidden until MapWindow() or ShowWindow(). SDL video must be
    // initialised. Returns null and sets `error` when no window can be made.
    static std::unique_ptr<SdlPlatform> Create(SoundOutput sound, const WindowOptions& options, std::string& error);
    // The same at zoom 1 with `text` as the font.
    static std::unique_ptr<SdlPlatform> Create(TextRenderer& text, SoundOutput sound, std::string& error);
    ~SdlPlatform() override;
    SdlPlatform(const SdlPlatform&) = delete;
    SdlPlatform& operator=(const SdlPlatform&) = delete;

    // The font, which must be set before the game starts and outlive the game.
    void SetText(TextRenderer& text) { text_ = &text; }
    void SetCatalogue(MessageCatalogue catalogue) { catalogue_ = std::move(catalogue); }
    // Lets a second copy bring this window to the front through the socket at `path`.
    void ListenForRaise(const std::string& path) { raise_.Listen(path); }
    // Shows the window, black until the first frame, without opening the sound.
    void MapWindow();

    uint32_t Now() override;
    void Sleep(uint32_t ms) override;
    void Yield(EventSink& sink, YieldKind kind) override;
    void Present(const Image& frame, FrameKind kind) override;
    void SendSound(std::string_view command) override;
    // What the instance lock said: true when another copy holds it (SetOtherInstanceRunning).
    bool OtherInstanceRunning() override { return otherInstance_; }
    void SetOtherInstanceRunning(bool running) { otherInstance_ = running; }
    // Shows the window and, the first time, opens the sound.
    void ShowWindow() override;
    uint32_t RandomSeed() override;
    TextRenderer& Text() override { return *text_; }
    std::optional<std::vector<uint8_t>> ReadRecordFile() override;
    bool WriteRecordFile(const std::vector<uint8_t>& bytes) override;
    bool SaveRecordFile(RecordSaver& saver) override;
    // The folder the record file is saved to first.
    const std::filesystem::path& RecordFolder() const { return records_.MainFolder(); }
    std::string_view Translate(std::string_view original) override { return catalogue_.Translate(original); }
    WallTime WallClock() override;
    std::string KeyboardLayoutName() override { return layoutName_; }
    // Hands the run to the history's writing thread, which saves it beside the record file.
    void SaveRunHistory(const RunHistory& run) override;
    ProgressAggregate ReadProgress(const ProgressQuery& query) override;
    // Hands a segment of the session's recording to the history's writing thread.
    void SubmitReplay(ReplaySegmentData segment);
    // The X server's layout as it is now (read afresh each call); US QWERTY elsewhere.
    KeyLayout TypedKeyLayout() override;

    SDL_Window* Window() const { return window_; }
    // The display choice the window started with, and the player's choice now: the zoom
    // of the window when neither fullscreen nor maximised, and whether it is fullscreen.
    const WindowOptions& StartChoice() const { return startChoice_; }
    WindowOptions DisplayChoice() const { return {windowedZoom_, fullscreen_}; }
    void ToggleFullscreen();
    // Whether the zoom asked for was larger than the display and the window started
    // smaller.
    bool ZoomCapped() const { return zoomCapped_; }

private:
    void ChangeZoom(ZoomKey key);
    explicit SdlPlatform(SoundOutput sound);
    bool Open(const WindowOptions& options, std::string& error);
    int PixelRatio() const;
    int ChooseZoom(int requested);
    void Dispatch(const SDL_Event& event, EventSink& sink);
    bool HandleWindowKey(const SDL_KeyboardEvent& key, EventSink& sink);
    void OnWindowEvent(const SDL_WindowEvent& event);
    void Draw(bool wholeWindow, PictureRows rows = {});
    void DrawThroughStaging(SDL_Surface* surface, bool hasFrame);
    bool PresentOnSurface(SDL_Surface* surface, const Image& frame, FrameKind kind);
    bool HoldsPicture(const SDL_Surface& surface) const;
    void LogFrame();
    void FillDisplayOrRestore();
    bool ShowSaveResult(bool saved);
    void UpdateTitle();
    void NoteHistory(const std::string& line, bool saved);
    HistoryWriter& History();

    TextRenderer* text_ = nullptr;
    MessageCatalogue catalogue_;
    SoundOutput sound_;
    RecordStore records_ = RecordStore::ForDesktop();
    RaiseListener raise_;
    LayoutPunctuation punctuation_;
    SDL_Window* window_ = nullptr;
    // The last frame as the game drew it, and converted to the window's pixel layout
    // for redrawing it; empty while the window surface holds it (PresentOnSurface).
    std::vector<uint32_t> picture_;
    ChannelShifts pictureShifts_;
    bool soundOpened_ = false;
    bool otherInstance_ = false;
    bool wholeWindowDue_ = true;
    int surfaceWidth_ = 0;
    int surfaceHeight_ = 0;
    int windowedZoom_ = 1;
    bool fullscreen_ = false;
    // Without a window manager the game fills the display by moving and sizing its
    // window, and puts it back from `windowedArea_`. Asked at the first toggle: the
    // question takes a connection of its own, which the window's first showing need
    // not wait for.
    std::optional<bool> emulateFullscreen_;
    SDL_Rect windowedArea_{};
    WindowOptions startChoice_;
    bool zoomCapped_ = false;
    std::FILE* frameLog_ = nullptr;
    std::string layoutName_;
    bool recordsFailed_ = false;
    // Set by the history's writing thread, shown in the title by the game's thread.
    std::mutex historyNoticeMutex_;
    std::string historyNotice_;
    std::atomic<bool> historyNoticeChanged_ = false;
    std::string shownHistoryNotice_;
    // Made on the first run; destroyed before the rest, after writing what is queued.
    std::unique_ptr<HistoryWriter> history_;
};

}  // namespace kelo
