#pragma once
// Where the record file lives and how it is replaced, for both platforms.
// Changed: the original writes "kelodt.hsc" in place and only beside its executable;
// here a game folder that cannot be written gives way to a per-user folder, and a save
// replaces the file whole, so a crash cannot leave half of it. The bytes are the same.
//
// The file "kelodt.hsc" lives in a main folder: for the desktop game the executable's
// folder when that is the game's own unpacked folder (it holds snd/) and writable,
// otherwise the per-user data folder; for the simulator the --records-dir folder. When
// a save to the main folder fails, it goes to a fallback folder, if the store has one.
// Folders where earlier versions kept the file are read but never written.
//
// Loading rule: of the folders that hold a record file, the one modified last wins
// (the earlier folder in the order main, fallback, older ones on a tie). The last
// successful save is therefore what the next start loads, wherever it had to go.
//
// Saving never leaves a damaged or partial file: the bytes go to a temporary file
// "<name>.tmp-XXXXXX" (a fresh random name) in the folder of the file, are flushed to
// the disk, and the temporary file is then renamed over the old one, so a crash or a
// full disk keeps the previous file whole. A record file that is a symbolic link is
// saved through the link: its target is replaced, in the target's folder. The writer
// holds a lock on its temporary file, so the first use of a store removes the
// temporary files that crashed saves left behind and nothing that a running save uses.
//
// Save() is what the game's saves use: it holds a lock on the folder it writes (flock on
// the folder itself, so a read-only folder needs no lock file) while it reads the file
// as a load would, has the game merge its runs into it and writes the result, so two
// copies saving into one folder keep each other's runs. Before it replaces a file that
// does not load whole, it keeps that file as "kelodt.hsc.damaged-<UTC time>" beside it,
// never deleted, and says so once through the notice function.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace kelo {

inline constexpr const char* kRecordFileName = "kelodt.hsc";

class RecordStore {
public:
    // Asked only when it is needed. Returns nothing when there is no such folder; a
    // folder that does not exist yet is made by the first save that falls back to it.
    using FolderSource = std::function<std::optional<std::filesystem::path>()>;

    struct Folders {
        std::filesystem::path main;
        bool createMain = false;  // made (with its parents) by the first save
        FolderSource fallback;
        std::vector<std::filesystem::path> older;
    };

    explicit RecordStore(Folders folders);
    explicit RecordStore(std::filesystem::path mainFolder, FolderSource fallbackFolder = {});

    // The desktop game's store, from the executable's folder and the environment.
    static RecordStore ForDesktop();

    // The bytes of the record file to load, or nothing when no folder has one that
    // can be read.
    std::optional<std::vector<uint8_t>> Read();
    // Replaces the record file whole; false when no folder could take it. Then
    // LastError() says why, in one line naming the files.
    bool Write(const std::vector<uint8_t>& bytes);
    const std::string& LastError() const { return lastError_; }

    // Saves as the class comment says; false when no folder could take the bytes (then
    // LastError() says why).
    bool Save(RecordSaver& saver);
    // Receives the one-line notices of Save() (a damaged file kept aside).
    std::function<void(const std::string&)> notice;

    // The folder saves go to first; the record file and whatever the game keeps beside
    // it live there.
    const std::filesystem::path& MainFolder() const { return folders_.main; }
    std::filesystem::path MainFile() const { return folders_.main / kRecordFileName; }
    std::optional<std::filesystem::path> FallbackFile();

private:
    void RemoveStaleTemporariesOnce();
    bool SaveTo(const std::filesystem::path& file, const std::vector<uint8_t>& bytes, const RecordSaver& saver,
                std::string& error);

    Folders folders_;
    std::optional<std::optional<std::filesystem::path>> fallbackFolder_;
    bool cleaned_ = false;
    std::string lastError_;
};

// The desktop's folders. The main folder is the per-user folder,
// $XDG_DATA_HOME/kelo-typing (an absolute XDG_DATA_HOME only), else
// $HOME/.local/share/kelo-typing, so records survive rebuilding or replacing the game.
// A portable copy, whose folder holds the marker file "portable.txt", keeps them beside
// the executable instead, with the per-user folder as the fallback; so does a game
// with no per-user folder. Files of the executable's folder (when it is not the main
// folder) and of earlier versions, <same data folder>/KAVI-noleb/Ke-Lo Typing, are still
// read. Null environment values count as unset.
RecordStore::Folders DesktopRecordFolders(const std::filesystem::path& exeFolder, const char* xdgDataHome,
                                          const char* home);

// Writes `bytes` to a fresh temporary file in the folder of `file` (of its target, when
// `file` is a symbolic link), flushes it to the disk and renames it over that file.
// On failure the file is left as it was, no temporary file remains, and `error` (when
// given) holds the reason.
bool WriteFileAtomically(const std::filesystem::path& file, const std::vector<uint8_t>& bytes,
                         std::string* error = nullptr);

// Removes the temporary files of WriteFileAtomically(`file`) that no running save
// holds; returns how many it removed.
int RemoveStaleTemporaries(const std::filesystem::path& file);

// `file` with every symbolic link along its last component followed, even when the
// final target does not exist yet; `file` itself when it is no link.
std::filesystem::path FollowLinks(const std::filesystem::path& file);

inline constexpr const char* kPortableMarkerName = "portable.txt";

// Keeps `file` as "<file>.damaged-<UTC time>" beside it (a fresh name when that one is
// taken) without touching `file`; the name kept, or nothing with `error` set.
std::optional<std::filesystem::path> KeepDamagedFile(const std::filesystem::path& file, std::string& error);

// The whole content of `file`, or nothing when it does not exist or cannot be read.
std::optional<std::vector<uint8_t>> ReadWholeFile(const std::filesystem::path& file);

}  // namespace kelo
