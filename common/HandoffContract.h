#pragma once
// The names the two programs agree on. The player starts the fetcher by its
// file name beside itself; the fetcher leaves the cover and its product
// identifier as two files in the hand-off folder (HandoffFolder.h), which the
// player reads once the fetcher has ended. Both load the decoder library from
// the application folder.
namespace vel {

inline constexpr char kCoverFile[] = "temp.jpg";        // the cover picture, JPEG
inline constexpr char kAsinFile[] = "asin";             // the store identifier, ANSI text
inline constexpr char kFetcherProgram[] = "velfetch";   // the cover fetcher
inline constexpr char kDecoderLibrary[] = "libvbmp3.so"; // the decoder library

} // namespace vel
