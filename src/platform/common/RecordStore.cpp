#include "platform/common/RecordStore.h"

#include <SDL.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fstream>
#include <random>
#include <system_error>

namespace kelo {

namespace {

namespace fs = std::filesystem;

constexpr const char* kTemporaryInfix = ".tmp-";
constexpr int kTemporaryNameTries = 16;
// More links than this in a row is a loop.
constexpr int kMostLinksFollowed = 40;

class FileDescriptor {
public:
    explicit FileDescriptor(int fd = -1) : fd_(fd) {}
    ~FileDescriptor() { Close(); }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int Get() const { return fd_; }
    bool Valid() const { return fd_ >= 0; }
    bool Close() {
        if (fd_ < 0) return true;
        int result = ::close(fd_);
        fd_ = -1;
        return result == 0;
    }
    void Reset(int fd) {
        Close();
        fd_ = fd;
    }

private:
    int fd_;
};

std::string Quoted(const fs::path& path) { return "\"" + path.string() + "\""; }

std::string Reason(int error) { return std::strerror(error); }

bool WriteAll(int fd, const std::vector<uint8_t>& bytes) {
    size_t written = 0;
    while (written < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) {
            errno = ENOSPC;
            return false;
        }
        written += static_cast<size_t>(n);
    }
    return true;
}

std::string RandomSuffix() {
    static std::mt19937_64 generator{std::random_device{}() ^ (static_cast<uint64_t>(::getpid()) << 32)};
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::string suffix(6, 'x');
    for (char& c : suffix) c = kLetters[generator() % (sizeof kLetters - 1)];
    return suffix;
}

bool SameFile(int fd, const fs::path& path) {
    struct stat byFd {
    }, byName{};
    return ::fstat(fd, &byFd) == 0 && ::lstat(path.c_str(), &byName) == 0 && byFd.st_dev == byName.st_dev &&
           byFd.st_ino == byName.st_ino;
}

// A new temporary file beside `target`, opened for writing and locked; it keeps the
// target's permissions when the target exists. The lock is taken after the file is
// created, so a cleaner that removed the name in between is noticed and a new name
// is made.
bool CreateLockedTemporary(const fs::path& target, FileDescriptor& out, fs::path& name, int& error) {
    struct stat targetStat {};
    const bool targetExists = ::stat(target.c_str(), &targetStat) == 0;
    for (int attempt = 0; attempt < kTemporaryNameTries; ++attempt) {
        name = target;
        name += kTemporaryInfix + RandomSuffix();
        out.Reset(::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666));
        if (!out.Valid()) {
            if (errno == EEXIST) continue;
            error = errno;
            return false;
        }
        if (::flock(out.Get(), LOCK_EX) != 0) {
            error = errno;
            ::unlink(name.c_str());
            return false;
        }
        // A cleaner that removed the name between its creation and the lock leaves this
        // file nameless: start again with a fresh name.
        if (!SameFile(out.Get(), name)) continue;
        if (targetExists) ::fchmod(out.Get(), targetStat.st_mode & 07777);
        return true;
    }
    out.Close();
    error = EEXIST;
    return false;
}

// Makes the rename itself durable; a folder that cannot be opened is no failure of
// the save, which has already replaced the file.
void SyncFolder(const fs::path& folder) {
    FileDescriptor dir(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.Valid()) ::fsync(dir.Get());
}

bool IsRegularFile(const fs::path& file) {
    std::error_code error;
    return fs::is_regular_file(file, error);
}

// Unreadable times count as the oldest.
fs::file_time_type ModifiedTime(const fs::path& file) {
    std::error_code error;
    fs::file_time_type time = fs::last_write_time(file, error);
    return error ? fs::file_time_type::min() : time;
}

std::optional<fs::path> PathFromSdl(char* text) {
    if (text == nullptr) return std::nullopt;
    fs::path folder(text);
    SDL_free(text);
    return folder;
}

// Holds an exclusive lock on a folder for as long as it lives. A folder that cannot be
// opened, or a lock still held elsewhere after ten seconds, leaves it unlocked: a
// save goes ahead rather than hang the game.
class FolderLock {
public:
    explicit FolderLock(const fs::path& folder)
        : fd_(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
        if (!fd_.Valid()) return;
        constexpr int kStepMs = 5;
        constexpr int kMostLockWaitMs = 10000;
        for (int waited = 0; ::flock(fd_.Get(), LOCK_EX | LOCK_NB) != 0; waited += kStepMs) {
            if ((errno != EWOULDBLOCK && errno != EINTR) || waited >= kMostLockWaitMs) {
                fd_.Close();
                return;
            }
            ::usleep(kStepMs * 1000);
        }
    }

private:
    FileDescriptor fd_;
};

std::string UtcStamp() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    ::gmtime_r(&now, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &utc);
    return text;
}

// A failure shows in the save that follows.
void MakeFolder(const fs::path& folder) {
    std::error_code error;
    fs::create_directories(folder, error);
}

}  // namespace

fs::path FollowLinks(const fs::path& file) {
    fs::path current = file;
    for (int i = 0; i < kMostLinksFollowed; ++i) {
        std::error_code error;
        if (!fs::is_symlink(fs::symlink_status(current, error))) return current;
        fs::path next = fs::read_symlink(current, error);
        if (error) return current;
        current = next.is_absolute() ? next : current.parent_path() / next;
    }
    return current;
}

bool WriteFileAtomically(const fs::path& file, const std::vector<uint8_t>& bytes, std::string* error) {
    const fs::path target = FollowLinks(file);
    FileDescriptor out;
    fs::path temporary;
    int failure = 0;
    auto fail = [&](int why) {
        if (error) *error = Quoted(target) + ": " + Reason(why);
        return false;
    };
    if (!CreateLockedTemporary(target, out, temporary, failure)) return fail(failure);

    if (!WriteAll(out.Get(), bytes) || ::fsync(out.Get()) != 0) {
        failure = errno;
    } else if (::rename(temporary.c_str(), target.c_str()) != 0) {
        failure = errno;
    }
    if (failure != 0) {
        ::unlink(temporary.c_str());
        return fail(failure);
    }
    // Closing releases the lock only once the temporary name is gone.
    out.Close();
    SyncFolder(target.parent_path());
    return true;
}

int RemoveStaleTemporaries(const fs::path& file) {
    const fs::path target = FollowLinks(file);
    const std::string prefix = target.filename().string() + kTemporaryInfix;
    std::error_code error;
    fs::directory_iterator entries(target.parent_path().empty() ? fs::path(".") : target.parent_path(), error);
    if (error) return 0;
    int removed = 0;
    for (const fs::directory_entry& entry : entries) {
        const fs::path name = entry.path();
        if (name.filename().string().rfind(prefix, 0) != 0 || !entry.is_regular_file(error)) continue;
        FileDescriptor held(::open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
        if (!held.Valid() || ::flock(held.Get(), LOCK_EX | LOCK_NB) != 0 || !SameFile(held.Get(), name)) continue;
        if (::unlink(name.c_str()) == 0) ++removed;
    }
    return removed;
}

std::optional<std::vector<uint8_t>> ReadWholeFile(const fs::path& file) {
    if (!IsRegularFile(file)) return std::nullopt;
    std::ifstream in(file, std::ios::binary);
    if (!in) return std::nullopt;
    // A record file is 1362 bytes; whatever lies beyond the first few kilobytes of a
    // stranger file at that name is never looked at, so it is not read either.
    constexpr std::streamsize kMostBytesRead = 4096;
    std::vector<uint8_t> bytes(kMostBytesRead);
    in.read(reinterpret_cast<char*>(bytes.data()), kMostBytesRead);
    if (in.bad()) return std::nullopt;
    bytes.resize(static_cast<size_t>(in.gcount()));
    return bytes;
}

RecordStore::Folders DesktopRecordFolders(const fs::path& exeFolder, const char* xdgDataHome, const char* home) {
    std::optional<fs::path> dataHome;
    if (xdgDataHome != nullptr && fs::path(xdgDataHome).is_absolute()) {
        dataHome = fs::path(xdgDataHome);
    } else if (home != nullptr && *home != '\0') {
        dataHome = fs::path(home) / ".local" / "share";
    }
    std::optional<fs::path> perUser;
    if (dataHome) perUser = *dataHome / "kelo-typing";

    RecordStore::Folders folders;
    std::error_code error;
    const bool portable = fs::exists(exeFolder / kPortableMarkerName, error);
    if (portable || !perUser) {
        folders.main = exeFolder;
        if (perUser) folders.fallback = [perUser] { return perUser; };
    } else {
        folders.main = *perUser;
        folders.createMain = true;
        folders.older.push_back(exeFolder);
    }
    if (dataHome) folders.older.push_back(*dataHome / "KAVI-noleb" / "Ke-Lo Typing");
    return folders;
}

std::optional<fs::path> KeepDamagedFile(const fs::path& file, std::string& error) {
    const std::string base = file.string() + ".damaged-" + UtcStamp();
    constexpr int kMostNamesTried = 100;
    for (int n = 1; n <= kMostNamesTried; ++n) {
        const fs::path kept = n == 1 ? fs::path(base) : fs::path(base + "-" + std::to_string(n));
        // A second name for the same bytes, or else a copy of them.
        if (::link(file.c_str(), kept.c_str()) == 0) return kept;
        if (errno == EEXIST) continue;
        std::error_code copyError;
        if (fs::copy_file(file, kept, fs::copy_options::none, copyError)) return kept;
        if (copyError == std::errc::file_exists) continue;
        error = Quoted(kept) + ": " + copyError.message();
        return std::nullopt;
    }
    error = Quoted(base) + ": " + Reason(EEXIST);
    return std::nullopt;
}

RecordStore::RecordStore(Folders folders) : folders_(std::move(folders)) {}

RecordStore::RecordStore(fs::path mainFolder, FolderSource fallbackFolder)
    : RecordStore(Folders{std::move(mainFolder), false, std::move(fallbackFolder), {}}) {}

RecordStore RecordStore::ForDesktop() {
    fs::path exeFolder = PathFromSdl(SDL_GetBasePath()).value_or(fs::path("."));
    return RecordStore(DesktopRecordFolders(exeFolder, std::getenv("XDG_DATA_HOME"), std::getenv("HOME")));
}

std::optional<fs::path> RecordStore::FallbackFile() {
    if (!fallbackFolder_) fallbackFolder_ = folders_.fallback ? folders_.fallback() : std::nullopt;
    if (!*fallbackFolder_) return std::nullopt;
    return **fallbackFolder_ / kRecordFileName;
}

void RecordStore::RemoveStaleTemporariesOnce() {
    if (cleaned_) return;
    cleaned_ = true;
    RemoveStaleTemporaries(MainFile());
    if (std::optional<fs::path> fallback = FallbackFile()) RemoveStaleTemporaries(*fallback);
}

std::optional<std::vector<uint8_t>> RecordStore::Read() {
    RemoveStaleTemporariesOnce();
    std::vector<fs::path> found;
    auto consider = [&](const fs::path& file) {
        if (IsRegularFile(file)) found.push_back(file);
    };
    consider(MainFile());
    if (std::optional<fs::path> fallback = FallbackFile()) consider(*fallback);
    for (const fs::path& folder : folders_.older) consider(folder / kRecordFileName);
    std::stable_sort(found.begin(), found.end(),
                     [](const fs::path& a, const fs::path& b) { return ModifiedTime(a) > ModifiedTime(b); });
    for (const fs::path& file : found) {
        if (auto bytes = ReadWholeFile(file)) return bytes;
    }
    return std::nullopt;
}

bool RecordStore::SaveTo(const fs::path& file, const std::vector<uint8_t>& bytes, const RecordSaver& saver,
                         std::string& error) {
    const fs::path target = FollowLinks(file);
    if (std::optional<std::vector<uint8_t>> old = ReadWholeFile(target)) {
        if (std::optional<std::string> damage = saver.Damage(*old)) {
            std::string keepError;
            std::optional<fs::path> kept = KeepDamagedFile(target, keepError);
            if (!kept) {
                error = Quoted(target) + ": it does not load whole (" + *damage +
                        ") and cannot be kept aside: " + keepError;
                return false;
            }
            if (notice)
                notice("the record file " + Quoted(target) + " did not load whole (" + *damage + "); it is kept as " +
                       Quoted(*kept));
        }
    }
    return WriteFileAtomically(file, bytes, &error);
}

bool RecordStore::Save(RecordSaver& saver) {
    RemoveStaleTemporariesOnce();
    if (folders_.createMain) MakeFolder(folders_.main);
    auto mainLock = std::make_optional<FolderLock>(FollowLinks(MainFile()).parent_path());
    const std::vector<uint8_t> bytes = saver.Merge(Read());
    std::string mainError;
    if (SaveTo(MainFile(), bytes, saver, mainError)) return true;
    lastError_ = "cannot save the records to " + mainError;
    std::optional<fs::path> fallback = FallbackFile();
    if (!fallback) return false;
    // One lock at a time: the fallback may share the main folder's lock.
    mainLock.reset();
    MakeFolder(fallback->parent_path());
    FolderLock fallbackLock(FollowLinks(*fallback).parent_path());
    std::string fallbackError;
    if (SaveTo(*fallback, bytes, saver, fallbackError)) return true;
    lastError_ += ", nor to " + fallbackError;
    return false;
}

bool RecordStore::Write(const std::vector<uint8_t>& bytes) {
    RemoveStaleTemporariesOnce();
    std::string mainError;
    if (folders_.createMain) MakeFolder(folders_.main);
    if (WriteFileAtomically(MainFile(), bytes, &mainError)) return true;
    lastError_ = "cannot save the records to " + mainError;
    std::optional<fs::path> fallback = FallbackFile();
    if (!fallback) return false;
    std::string fallbackError;
    MakeFolder(fallback->parent_path());
    if (WriteFileAtomically(*fallback, bytes, &fallbackError)) return true;
    lastError_ += ", nor to " + fallbackError;
    return false;
}

}  // namespace kelo
