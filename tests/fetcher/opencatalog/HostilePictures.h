#pragma once
// Pictures a hostile or broken server (or file) may hold: valid JPEG and PNG
// files that cost far more to decode than their size suggests.
#include <turbojpeg.h>
#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

namespace veltest {

// A grey progressive JPEG, `side` px square (a multiple of 8, at most 1448),
// followed by `scans` more scans that each pass over every block of the
// picture and add nothing: one end-of-band run as long as the picture.
inline std::string manyScans(int side, int scans) {
    std::vector<unsigned char> grey(std::size_t(side) * side);
    for (std::size_t i = 0; i < grey.size(); ++i) grey[i] = static_cast<unsigned char>(i % side);
    tjhandle h = tjInitCompress();
    unsigned char* out = nullptr;
    unsigned long size = 0;
    tjCompress2(h, grey.data(), side, 0, side, TJPF_GRAY, &out, &size, TJSAMP_GRAY, 85, TJFLAG_PROGRESSIVE);
    std::string j(reinterpret_cast<char*>(out), size - 2); // without its end marker
    tjFree(out);
    tjDestroy(h);

    const int blocks = (side / 8) * (side / 8);
    int r = 0;
    while ((2 << r) <= blocks) ++r; // 2^r <= blocks < 2^(r+1)
    // AC table 1: one code, "0", for an end-of-band run of 2^r plus r more bits.
    j += std::string("\xFF\xC4\x00\x14\x11\x01", 6) + std::string(15, '\0') + char(r << 4);
    std::string data;
    unsigned bits = 0, count = 0;
    auto put = [&](unsigned value, int n) {
        for (int i = n - 1; i >= 0; --i) {
            bits = bits << 1 | ((value >> i) & 1);
            if (++count == 8) {
                data += char(bits);
                if (bits == 0xFF) data += '\0'; // byte stuffing
                bits = count = 0;
            }
        }
    };
    put(0, 1);
    put(unsigned(blocks - (1 << r)), r);
    if (count) put(0xFF, 8 - int(count));
    // Start of scan: component 1, tables 0/1, coefficients 1 to 63, no approximation.
    const std::string scan = std::string("\xFF\xDA\x00\x08\x01\x01\x01\x01\x3F\x00", 10) + data;
    j.reserve(j.size() + scan.size() * std::size_t(scans) + 2);
    for (int i = 0; i < scans; ++i) j += scan;
    return j + "\xFF\xD9";
}

// A zlib stream of `inflatedMiB` MiB of zeros, a few kilobytes a mebibyte.
inline std::string zlibZeros(unsigned inflatedMiB) {
    // One mebibyte deflated after a full flush, which forgets what came before:
    // the same bytes, repeated, inflate to that many mebibytes.
    std::vector<Bytef> zeros(1 << 20), out(1 << 20);
    z_stream z{};
    deflateInit(&z, 9);
    const auto pass = [&](int flush) {
        z.next_in = zeros.data(), z.avail_in = flush == Z_FINISH ? 0 : uInt(zeros.size());
        z.next_out = out.data(), z.avail_out = uInt(out.size());
        deflate(&z, flush);
        return std::string(reinterpret_cast<char*>(out.data()), out.size() - z.avail_out);
    };
    std::string stream = pass(Z_FULL_FLUSH);
    const std::string again = pass(Z_FULL_FLUSH);
    for (unsigned i = 1; i < inflatedMiB; ++i) stream += again;
    std::string end = pass(Z_FINISH);
    deflateEnd(&z);
    // The check sum of all the zeros, where zlib's covers two mebibytes.
    const uLong one = adler32(adler32(0, nullptr, 0), zeros.data(), uInt(zeros.size()));
    uLong sum = one;
    for (unsigned i = 1; i < inflatedMiB; ++i) sum = adler32_combine(sum, one, z_off_t(zeros.size()));
    for (int i = 0; i < 4; ++i) end[end.size() - 4 + i] = char(sum >> (24 - 8 * i));
    return stream + end;
}

// A PNG whose header says `width` x `height` px (8-bit RGB) and whose image
// data inflates to `inflatedMiB` MiB of zeros, far more than the picture holds.
inline std::string pngBomb(std::uint32_t width, std::uint32_t height, unsigned inflatedMiB) {
    const auto be32 = [](std::uint32_t v) {
        return std::string{char(v >> 24), char(v >> 16 & 255), char(v >> 8 & 255), char(v & 255)};
    };
    const auto chunk = [&](const std::string& type, const std::string& data) {
        const std::string body = type + data;
        return be32(std::uint32_t(data.size())) + body +
               be32(std::uint32_t(crc32(0, reinterpret_cast<const Bytef*>(body.data()), uInt(body.size()))));
    };
    const std::string header = be32(width) + be32(height) + std::string{8, 2, 0, 0, 0};
    return "\x89PNG\r\n\x1a\n" + chunk("IHDR", header) + chunk("IDAT", zlibZeros(inflatedMiB)) + chunk("IEND", "");
}

} // namespace veltest
