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

std::string InstanceLockPath(const char* runtimeDir, const char* home) {
    if (runtimeDir != nullptr && IsDirectory(runtimeDir)) return std::string(runtimeDir) + "/kelo-typing.lock";
    const std::string homeDir = HomeDirectory(home);
    if (!IsDirectory(homeDir)) return "";
    const std::string cache = homeDir + "/.cache";
    const std::string folder = cache + "/kelo-typing";
    if (!MakePrivateDirectory(cache) || !MakePrivateDirectory(folder)) return "";
    return folder + "/instance.lock";
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
