#pragma once
// Reading a file's bytes at an offset, without moving its file offset.
#include <sys/types.h>

#include <cstddef>

namespace veltag {

// Up to `size` bytes at `offset` into `to`; how many were read (fewer at the
// end of the file or on an error).
std::size_t ReadAt(int fd, void* to, std::size_t size, off_t offset);

} // namespace veltag
