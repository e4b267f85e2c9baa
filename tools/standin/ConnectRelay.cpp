#include "ConnectRelay.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace standin {
namespace {

constexpr int kTick = 100; // ms between looks at the stop flag

int connectLoopback(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(std::uint16_t(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd >= 0 && connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) return fd;
    if (fd >= 0) close(fd);
    return -1;
}

bool sendAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = send(fd, data, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= std::size_t(n);
    }
    return true;
}

} // namespace

ConnectRelay::ConnectRelay(int plainPort, int tlsPort, std::function<void(const std::string&)> onConnect)
    : plainPort_(plainPort), tlsPort_(tlsPort), onConnect_(std::move(onConnect)) {}

ConnectRelay::~ConnectRelay() { stop(); }

int ConnectRelay::start(int port) {
    listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(std::uint16_t(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof a;
    if (listener_ < 0 || bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        listen(listener_, 64) != 0 || getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &length) != 0) {
        if (listener_ >= 0) close(listener_);
        listener_ = -1;
        return -1;
    }
    acceptor_ = std::thread([this] { acceptLoop(); });
    return ntohs(a.sin_port);
}

void ConnectRelay::stop() {
    if (!acceptor_.joinable()) return;
    stopping_ = true;
    acceptor_.join();
    close(listener_);
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [&] { return active_ == 0; });
}

void ConnectRelay::acceptLoop() {
    while (!stopping_) {
        pollfd p{listener_, POLLIN, 0};
        if (poll(&p, 1, kTick) <= 0) continue;
        const int client = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) continue;
        {
            std::lock_guard lock(mutex_);
            ++active_;
        }
        std::thread([this, client] {
            serve(client);
            close(client);
            std::lock_guard lock(mutex_);
            if (--active_ == 0) idle_.notify_all();
        }).detach();
    }
}

void ConnectRelay::serve(int client) {
    // The request head decides where the connection goes.
    std::string head;
    char buffer[16384];
    while (head.find("\r\n\r\n") == std::string::npos && head.size() < 65536) {
        pollfd p{client, POLLIN, 0};
        if (stopping_) return;
        if (poll(&p, 1, kTick) <= 0) continue;
        const ssize_t n = recv(client, buffer, sizeof buffer, 0);
        if (n <= 0) return;
        head.append(buffer, std::size_t(n));
    }
    int upstream = -1;
    if (head.rfind("CONNECT ", 0) == 0) {
        const std::size_t from = 8, to = head.find(' ', from);
        onConnect_(head.substr(from, to == std::string::npos ? std::string::npos : to - from));
        upstream = connectLoopback(tlsPort_);
        static constexpr char established[] = "HTTP/1.1 200 Connection established\r\n\r\n";
        static constexpr char refused[] = "HTTP/1.1 502 Bad Gateway\r\nContent-Length: 0\r\n\r\n";
        if (upstream < 0) {
            sendAll(client, refused, sizeof refused - 1);
            return;
        }
        head.erase(0, head.find("\r\n\r\n") + 4); // what the client sent after the head belongs to the tunnel
        if (!sendAll(client, established, sizeof established - 1)) head.clear();
    } else {
        upstream = connectLoopback(plainPort_);
        if (upstream < 0) return;
    }
    if (sendAll(upstream, head.data(), head.size())) pump(client, upstream);
    close(upstream);
}

void ConnectRelay::pump(int client, int upstream) {
    char buffer[16384];
    bool clientOpen = true;
    while (!stopping_) {
        pollfd p[2] = {{client, short(clientOpen ? POLLIN : 0), 0}, {upstream, POLLIN, 0}};
        if (poll(p, 2, kTick) <= 0) continue;
        if (p[1].revents & (POLLIN | POLLHUP | POLLERR)) {
            const ssize_t n = recv(upstream, buffer, sizeof buffer, 0);
            if (n <= 0 || !sendAll(client, buffer, std::size_t(n))) return; // the server is done: so is the client
        }
        if (clientOpen && (p[0].revents & (POLLIN | POLLHUP | POLLERR))) {
            const ssize_t n = recv(client, buffer, sizeof buffer, 0);
            if (n <= 0) {
                shutdown(upstream, SHUT_WR); // the server may still answer
                clientOpen = false;
            } else if (!sendAll(upstream, buffer, std::size_t(n))) {
                return;
            }
        }
    }
}

} // namespace standin
