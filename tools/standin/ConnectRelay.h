#pragma once
// The stand-in's proxy port when it also stands in for HTTPS hosts: a CONNECT
// is answered and its bytes are tunnelled to the TLS listener; any other
// request goes on, byte for byte, to the plain listener.
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace standin {

class ConnectRelay {
public:
    // `onConnect` hears each CONNECT's authority ("host:port") before it is answered.
    ConnectRelay(int plainPort, int tlsPort, std::function<void(const std::string&)> onConnect);
    ~ConnectRelay();
    ConnectRelay(const ConnectRelay&) = delete;
    ConnectRelay& operator=(const ConnectRelay&) = delete;

    // Listens on 127.0.0.1 (port 0: any free port); the port, or -1.
    int start(int port);
    void stop();

private:
    void acceptLoop();
    void serve(int client);
    void pump(int client, int upstream);

    int plainPort_, tlsPort_;
    std::function<void(const std::string&)> onConnect_;
    int listener_ = -1;
    std::atomic<bool> stopping_{false};
    std::thread acceptor_;
    std::mutex mutex_;
    std::condition_variable idle_;
    int active_ = 0; // connections being served, each on a thread of its own
};

} // namespace standin
