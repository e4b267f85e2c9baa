#pragma once
// A TCP socket on a free loopback port, closed with the object.
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace veltest {

class LoopbackSocket {
public:
    // Listening with `backlog`; with a negative one only bound, so that connections to it are refused.
    explicit LoopbackSocket(int backlog, int flags = 0) : fd_(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | flags, 0)) {
        address_.sin_family = AF_INET;
        address_.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address_;
        if (fd_ >= 0 && bind(fd_, address(), sizeof address_) == 0 && (backlog < 0 || listen(fd_, backlog) == 0) &&
            getsockname(fd_, address(), &length) == 0)
            port_ = ntohs(address_.sin_port);
    }
    ~LoopbackSocket() { close(fd_); }
    LoopbackSocket(const LoopbackSocket&) = delete;
    LoopbackSocket& operator=(const LoopbackSocket&) = delete;

    int fd() const { return fd_; }
    int port() const { return port_; } // 0: no port could be had
    sockaddr* address() { return reinterpret_cast<sockaddr*>(&address_); }

private:
    int fd_;
    int port_ = 0;
    sockaddr_in address_{};
};

} // namespace veltest
