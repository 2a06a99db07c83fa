#pragma once
// Single-instance test: an flock()ed file in the user's private runtime folder. The lock
// is held for as long as the InstanceLock lives (the game keeps it for its whole life)
// and is released by the system when the process ends, however it ends.

#include <string>

namespace kelo {

// The lock file's path: in $XDG_RUNTIME_DIR when that names a folder the game can
// write, otherwise in the private per-user cache folder ($XDG_CACHE_HOME/kelo-typing,
// else $HOME/.cache/kelo-typing, created with mode 0700). Never a predictable name in a
// shared folder. Empty when there is no such folder either. `notice` is one line for
// the player when the lock is not where it belongs: where it went instead and why, or
// that a second copy cannot be detected, naming the variables that are missing. The
// arguments are the environment's values and may be null.
struct InstanceLockPlace {
    std::string path;
    std::string notice;
};
InstanceLockPlace ChooseInstanceLockPlace(const char* runtimeDir, const char* cacheHome, const char* home);
inline std::string InstanceLockPath(const char* runtimeDir, const char* home) {
    return ChooseInstanceLockPlace(runtimeDir, nullptr, home).path;
}

class InstanceLock {
public:
    enum class Result { Acquired, HeldElsewhere, Unavailable };

    InstanceLock() = default;
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;
    ~InstanceLock();

    // Takes the lock without waiting. Unavailable when no lock file can be opened: the
    // game then runs rather than refuse to start over a folder it cannot write.
    Result Acquire(const std::string& path);
    void Release();

private:
    int fd_ = -1;
};

}  // namespace kelo
