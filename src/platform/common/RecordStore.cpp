#include "platform/common/RecordStore.h"

#include <SDL.h>
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <fstream>
#include <string>
#include <system_error>

namespace kelo {

namespace {

namespace fs = std::filesystem;

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
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

private:
    int fd_;
};

bool WriteAll(int fd, const std::vector<uint8_t>& bytes) {
    size_t written = 0;
    while (written < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        written += static_cast<size_t>(n);
    }
    return true;
}

fs::path TemporaryNameBeside(const fs::path& file) {
    static std::atomic<unsigned> counter{0};
    std::string suffix = ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
    fs::path temporary = file;
    temporary += suffix;
    return temporary;
}

// Makes the rename itself durable; a folder that cannot be opened is no failure of
// the save, which has already replaced the file.
void SyncFolder(const fs::path& folder) {
    FileDescriptor dir(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY));
    if (dir.Valid()) ::fsync(dir.Get());
}

bool IsRegularFile(const fs::path& file) {
    std::error_code error;
    return fs::is_regular_file(file, error);
}

bool ModifiedLater(const fs::path& a, const fs::path& b) {
    std::error_code errorA, errorB;
    auto timeA = fs::last_write_time(a, errorA);
    auto timeB = fs::last_write_time(b, errorB);
    if (errorA || errorB) return !errorA;
    return timeA > timeB;
}

std::optional<fs::path> PathFromSdl(char* text) {
    if (text == nullptr) return std::nullopt;
    fs::path folder(text);
    SDL_free(text);
    return folder;
}

}  // namespace

bool WriteFileAtomically(const fs::path& file, const std::vector<uint8_t>& bytes) {
    fs::path temporary = TemporaryNameBeside(file);
    FileDescriptor out(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (!out.Valid()) return false;
    bool done = WriteAll(out.Get(), bytes) && ::fsync(out.Get()) == 0;
    done = out.Close() && done;
    done = done && ::rename(temporary.c_str(), file.c_str()) == 0;
    if (!done) {
        ::unlink(temporary.c_str());
        return false;
    }
    SyncFolder(file.parent_path());
    return true;
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

RecordStore::RecordStore(fs::path mainFolder, FolderSource fallbackFolder)
    : mainFolder_(std::move(mainFolder)), fallbackSource_(std::move(fallbackFolder)) {}

RecordStore RecordStore::BesideExecutable() {
    fs::path exeFolder = PathFromSdl(SDL_GetBasePath()).value_or(fs::path("."));
    return RecordStore(exeFolder, [] { return PathFromSdl(SDL_GetPrefPath("KAVI-noleb", "Ke-Lo Typing")); });
}

std::optional<fs::path> RecordStore::FallbackFile() {
    if (!fallbackFolder_) fallbackFolder_ = fallbackSource_ ? fallbackSource_() : std::nullopt;
    if (!*fallbackFolder_) return std::nullopt;
    return **fallbackFolder_ / kRecordFileName;
}

std::optional<std::vector<uint8_t>> RecordStore::Read() {
    fs::path main = MainFile();
    std::optional<fs::path> fallback = FallbackFile();
    bool haveMain = IsRegularFile(main);
    bool haveFallback = fallback && IsRegularFile(*fallback);
    if (haveFallback && (!haveMain || ModifiedLater(*fallback, main))) {
        if (auto bytes = ReadWholeFile(*fallback)) return bytes;
    }
    return ReadWholeFile(main);
}

bool RecordStore::Write(const std::vector<uint8_t>& bytes) {
    if (WriteFileAtomically(MainFile(), bytes)) return true;
    std::optional<fs::path> fallback = FallbackFile();
    return fallback && WriteFileAtomically(*fallback, bytes);
}

}  // namespace kelo
