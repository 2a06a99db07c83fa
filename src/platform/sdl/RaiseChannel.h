#pragma once
// Changed: the original's second copy only closes itself; on the desktop it also brings
// the running copy's window to the front, so starting the game twice shows it.
//
// How a second copy of the game asks the running one to come to the front: the running
// copy listens on a Unix socket beside its instance lock, and the second copy connects
// to it and hangs up. The running copy looks for such calls while it yields to events,
// so nothing is done inside a signal handler or another thread.

#include <string>

namespace kelo {

// The socket's path beside the lock file at `lockPath`; empty when `lockPath` is.
std::string RaiseSocketPath(const std::string& lockPath);

class RaiseListener {
public:
    RaiseListener() = default;
    RaiseListener(const RaiseListener&) = delete;
    RaiseListener& operator=(const RaiseListener&) = delete;
    ~RaiseListener();

    // Starts listening at `path`, replacing a socket left there by an earlier copy; only
    // the holder of the instance lock may call this. False when it cannot listen.
    bool Listen(const std::string& path);
    // True when at least one request has arrived since the last call; never blocks.
    bool TakeRequest();

private:
    int fd_ = -1;
    std::string path_;
};

// Asks the copy listening at `path` to come to the front; false when none answers.
bool RequestRaise(const std::string& path);

}  // namespace kelo
