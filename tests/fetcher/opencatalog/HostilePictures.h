#pragma once
// Pictures a hostile or broken server may send: valid JPEG files that cost
// far more to decode than their size suggests.
#include <turbojpeg.h>

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

} // namespace veltest
