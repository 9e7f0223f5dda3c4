// PCX writers. All multi-byte header fields are written little-endian byte
// by byte, so the output does not depend on the host's byte order.
#include "pcx_write.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

void put_word(uint8_t *at, int value) {
    at[0] = static_cast<uint8_t>(value & 255);
    at[1] = static_cast<uint8_t>((value >> 8) & 255);
}

// Fills the 128-byte header common to both kinds.
void make_header(uint8_t header[128], int width, int height, int bits, int nplanes,
                 int bytes_per_line, const uint8_t *palette48) {
    std::memset(header, 0, 128);
    header[0] = 10; // manufacturer
    header[1] = 5;  // version
    header[2] = 1;  // run-length encoding
    header[3] = static_cast<uint8_t>(bits);
    put_word(header + 4, 0);
    put_word(header + 6, 0);
    put_word(header + 8, width - 1);
    put_word(header + 10, height - 1);
    put_word(header + 12, 72);
    put_word(header + 14, 72);
    if (palette48)
        std::memcpy(header + 16, palette48, 48);
    header[65] = static_cast<uint8_t>(nplanes);
    put_word(header + 66, bytes_per_line);
    put_word(header + 68, 1); // colour palette
}

} // namespace

void pcx_encode_line(const uint8_t *line, int length, std::vector<uint8_t> &out) {
    int i = 0;
    while (i < length) {
        uint8_t v = line[i];
        int n = 1;
        while (i + n < length && n < 63 && line[i + n] == v)
            n++;
        if (n > 1 || v >= 192)
            out.push_back(static_cast<uint8_t>(192 | n));
        out.push_back(v);
        i += n;
    }
}

std::vector<uint8_t> encode_pcx8(int width, int height, const uint8_t *pixels,
                                 const uint8_t palette[768]) {
    int bpl = (width + 1) & ~1;
    std::vector<uint8_t> out(128);
    make_header(out.data(), width, height, 8, 1, bpl, nullptr);
    std::vector<uint8_t> line(bpl > 0 ? bpl : 1);
    for (int y = 0; y < height; y++) {
        std::fill(line.begin(), line.end(), 0);
        std::memcpy(line.data(), pixels + static_cast<size_t>(y) * width, width);
        pcx_encode_line(line.data(), bpl, out);
    }
    out.push_back(12);
    out.insert(out.end(), palette, palette + 768);
    return out;
}

std::vector<uint8_t> encode_pcx_planar(int width, int height, int nplanes, const uint8_t *pixels,
                                       const uint8_t palette[48]) {
    int bpl = ((width + 7) / 8 + 1) & ~1;
    std::vector<uint8_t> out(128);
    make_header(out.data(), width, height, 1, nplanes, bpl, palette);
    std::vector<uint8_t> line(static_cast<size_t>(bpl) * nplanes);
    for (int y = 0; y < height; y++) {
        std::fill(line.begin(), line.end(), 0);
        const uint8_t *row = pixels + static_cast<size_t>(y) * width;
        for (int p = 0; p < nplanes; p++)
            for (int x = 0; x < width; x++)
                if (row[x] & (1 << p))
                    line[p * bpl + x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
        pcx_encode_line(line.data(), static_cast<int>(line.size()), out);
    }
    return out;
}

int write_file_bytes(const char *path, const std::vector<uint8_t> &bytes) {
    FILE *f = std::fopen(path, "wb");
    if (!f)
        return -1;
    size_t written = std::fwrite(bytes.data(), 1, bytes.size(), f);
    int closed = std::fclose(f);
    return (written == bytes.size() && closed == 0) ? 0 : -1;
}

int write_pcx8(const char *path, int width, int height, const uint8_t *pixels,
               const uint8_t palette[768]) {
    return write_file_bytes(path, encode_pcx8(width, height, pixels, palette));
}

int write_pcx_planar(const char *path, int width, int height, int nplanes, const uint8_t *pixels,
                     const uint8_t palette[48]) {
    return write_file_bytes(path, encode_pcx_planar(width, height, nplanes, pixels, palette));
}
