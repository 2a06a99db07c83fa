#include "platform/sdl/RaiseChannel.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

namespace kelo {

namespace {

bool MakeAddress(const std::string& path, sockaddr_un& address) {
    address = {};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof(address.sun_path)) return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

}  // namespace

std::string RaiseSocketPath(const std::string& lockPath) {
    if (lockPath.empty()) return "";
    const size_t slash = lockPath.rfind('/');
    return lockPath.substr(0, slash + 1) + "kelo-typing.sock";
}

RaiseListener::~RaiseListener() {
    if (fd_ < 0) return;
    close(fd_);
    unlink(path_.c_str());
}

bool RaiseListener::Listen(const std::string& path) {
    sockaddr_un address;
    if (fd_ >= 0 || !MakeAddress(path, address)) return false;
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    unlink(path.c_str());
    if (bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0 || listen(fd, 4) != 0) {
        close(fd);
        return false;
    }
    fd_ = fd;
    path_ = path;
    return true;
}

bool RaiseListener::TakeRequest() {
    if (fd_ < 0) return false;
    // Asked every frame: a poll costs little, while accept() builds a socket before it
    // finds the queue empty.
    pollfd waiting{fd_, POLLIN, 0};
    if (poll(&waiting, 1, 0) <= 0) return false;
    bool requested = false;
    for (int caller; (caller = accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC)) >= 0;) {
        close(caller);
        requested = true;
    }
    return requested;
}

bool RequestRaise(const std::string& path) {
    sockaddr_un address;
    if (!MakeAddress(path, address)) return false;
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    const bool answered = connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
    close(fd);
    return answered;
}

}  // namespace kelo
