#pragma once
// Where the record file lives and how it is replaced, for both platforms.
//
// The file "kelodt.hsc" lives in a main folder: the executable's folder for the
// desktop game, the --records-dir folder for the simulator. When the main folder
// cannot be written (an installed game), saves go to a fallback folder, the user's
// data folder (SDL_GetPrefPath), instead.
//
// Loading rule: when both folders hold a record file, the one modified last wins
// (the main folder's on a tie); otherwise whichever exists. The last successful save
// is therefore what the next start loads, wherever it had to go.
//
// Saving never leaves a damaged or partial file: the bytes go to a temporary file in
// the same folder, are flushed to the disk, and the temporary file is then renamed
// over the old one, so a crash or a full disk keeps the previous file whole.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

namespace kelo {

inline constexpr const char* kRecordFileName = "kelodt.hsc";

class RecordStore {
public:
    // Asked only when it is needed, since finding (SDL: creating) the user's data
    // folder has side effects. Returns nothing when there is no such folder.
    using FolderSource = std::function<std::optional<std::filesystem::path>()>;

    explicit RecordStore(std::filesystem::path mainFolder, FolderSource fallbackFolder = {});

    // The desktop game's store: the executable's folder, then the user's data folder
    // of "KAVI-noleb" / "Ke-Lo Typing".
    static RecordStore BesideExecutable();

    // The bytes of the record file to load, or nothing when neither folder has one
    // that can be read.
    std::optional<std::vector<uint8_t>> Read();
    // Replaces the record file whole; false when no folder could take it.
    bool Write(const std::vector<uint8_t>& bytes);

    std::filesystem::path MainFile() const { return mainFolder_ / kRecordFileName; }
    std::optional<std::filesystem::path> FallbackFile();

private:
    std::filesystem::path mainFolder_;
    FolderSource fallbackSource_;
    std::optional<std::optional<std::filesystem::path>> fallbackFolder_;
};

// Writes `bytes` to a temporary file beside `file`, flushes it to the disk and renames
// it over `file`. On failure `file` is left as it was and no temporary file remains.
bool WriteFileAtomically(const std::filesystem::path& file, const std::vector<uint8_t>& bytes);

// The whole content of `file`, or nothing when it does not exist or cannot be read.
std::optional<std::vector<uint8_t>> ReadWholeFile(const std::filesystem::path& file);

}  // namespace kelo
