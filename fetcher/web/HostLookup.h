#pragma once
// A host name's addresses, looked up within a time limit: getaddrinfo has
// none of its own, so it runs on a thread of its own, which the caller leaves
// to finish alone once the limit has passed.
#include <sys/socket.h>

#include <chrono>
#include <string>
#include <vector>

namespace velfetch {

// The addresses of `host` (a name, or an address in text form, which needs no
// look-up) for TCP; empty when it has none, the look-up failed, or it did
// not answer by `end`.
std::vector<sockaddr_storage> LookUpHost(const std::string& host, std::chrono::steady_clock::time_point end);

} // namespace velfetch
