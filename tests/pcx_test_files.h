// Helpers for the PCX loader tests: raw file building and temporary files.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include <SDL.h>

// A 128-byte PCX header with the given fields (Xmin = Ymin = 0).
inline std::vector<uint8_t> pcx_header(int bits, int planes, int xmax, int ymax, int bpl,
                                       const uint8_t *colour_map = nullptr) {
    std::vector<uint8_t> h(128, 0);
    h[0] = 10;
    h[1] = 5;
    h[2] = 1;
    h[3] = static_cast<uint8_t>(bits);
    h[8] = static_cast<uint8_t>(xmax & 255);
    h[9] = static_cast<uint8_t>((xmax >> 8) & 255);
    h[10] = static_cast<uint8_t>(ymax & 255);
    h[11] = static_cast<uint8_t>((ymax >> 8) & 255);
    if (colour_map)
        for (int i = 0; i < 48; i++)
            h[16 + i] = colour_map[i];
    h[65] = static_cast<uint8_t>(planes);
    h[66] = static_cast<uint8_t>(bpl & 255);
    h[67] = static_cast<uint8_t>((bpl >> 8) & 255);
    return h;
}

// A directory of its own under /tmp for one test program.
inline std::string test_dir() {
    static std::string dir;
    if (dir.empty()) {
        char pattern[] = "/tmp/jt_pcx_XXXXXX";
        const char *made = mkdtemp(pattern);
        dir = made ? made : "/tmp";
    }
    return dir;
}
