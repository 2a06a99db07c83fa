#pragma once
// Single-instance test: an flock()ed file in the user's private runtime folder. The lock
// is held for as long as the InstanceLock lives (the game keeps it for its whole life)
// and is released by the system when the process ends, however it ends.

#include <string>

namespace kelo {

// The lock file's path: in $XDG_RUNTIME_DIR when that names a directory, otherwise in
// a private folder under the home directory ($HOME/.cache/kelo-typing, created with
// mode 0700). Never a predictable name in a shared folder. Empty when neither exists.
// `runtimeDir` and `home` are the environment's values and may be null.
std::string InstanceLockPath(const char* runtimeDir, const char* home);

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
