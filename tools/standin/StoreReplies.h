#pragma once
// The replies of the built-in services' stand-ins (catalogue, search engine,
// store pages, images) that the server picks from; the public ones are
// declared in StandinServer.h.
#include "StandinServer.h"

#include <string>

namespace standin {

// The album whose cover an image address asks for (…/images/<asin>.<size>.jpg).
const Album* albumOfImage(const Config& config, const std::string& target);

// A 200 reply too short for the fetcher.
std::string shortReply();

// A 404 page of `size` bytes (1024 when negative).
std::string notFoundPage(long long size);

} // namespace standin
