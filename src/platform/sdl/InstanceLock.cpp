#include "platform/sdl/InstanceLock.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace kelo {

namespace {

bool IsDirectory(const std::string& path) {
    struct stat info {};
    return !path.empty() && path[0] == '/' && stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool MakePrivateDirectory(const std::string& path) {
    if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return false;
    return IsDirectory(path);
}

std::string HomeDirectory(const char* home) {
    if (home != nullptr && home[0] == '/') return home;
    const passwd* entry = getpwuid(getuid());
    return entry != nullptr && entry->pw_dir != nullptr ? entry->pw_dir : "";
}

}  // namespace

InstanceLockPlace ChooseInstanceLockPlace(const char* runtimeDir, const char* cacheHome, const char* home) {
    const bool runtimeSet = runtimeDir != nullptr && runtimeDir[0] != '\0';
    if (runtimeSet && IsDirectory(runtimeDir) && access(runtimeDir, W_OK | X_OK) == 0)
        return {std::string(runtimeDir) + "/kelo-typing.lock", ""};
    std::string why = "XDG_RUNTIME_DIR is not set";
    if (runtimeSet) {
        why = "XDG_RUNTIME_DIR \"" + std::string(runtimeDir) + "\" is " +
              (IsDirectory(runtimeDir) ? "not writable" : "no folder");
    }

    const bool cacheSet = cacheHome != nullptr && cacheHome[0] == '/';
    const std::string homeDir = HomeDirectory(home);
    std::string cache = cacheSet ? cacheHome : homeDir + "/.cache";
    const std::string folder = cache + "/kelo-typing";
    const bool usable = (cacheSet || IsDirectory(homeDir)) && MakePrivateDirectory(cache) &&
                        MakePrivateDirectory(folder) && access(folder.c_str(), W_OK | X_OK) == 0;
    if (usable) return {folder + "/instance.lock", why + "; the single-instance lock is in " + folder};
    const bool homeSet = home != nullptr && home[0] != '\0';
    const std::string missing =
        !cacheSet && !homeSet ? ", and neither XDG_CACHE_HOME nor HOME is set" : "; nor can " + folder + " be used";
    return {"", why + missing + ": a second copy of the game will not be noticed"};
}

InstanceLock::~InstanceLock() { Release(); }

InstanceLock::Result InstanceLock::Acquire(const std::string& path) {
    Release();
    if (path.empty()) return Result::Unavailable;
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return Result::Unavailable;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const bool held = errno == EWOULDBLOCK;
        close(fd);
        return held ? Result::HeldElsewhere : Result::Unavailable;
    }
    fd_ = fd;
    return Result::Acquired;
}

void InstanceLock::Release() {
    if (fd_ < 0) return;
    close(fd_);
    fd_ = -1;
}

}  // namespace kelo
