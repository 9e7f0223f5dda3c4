// PNG writer: one IHDR, one IDAT compressed with zlib, IEND; filter 0 on
// every row. Chunk lengths and CRCs are written big-endian byte by byte.
#include "png_write.h"

#include "pcx_write.h"

#include <cstdio>
#include <vector>
#include <zlib.h>

namespace {

void put_be32(std::vector<uint8_t> &out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v >> 24));
    out.push_back(static_cast<uint8_t>(v >> 16));
    out.push_back(static_cast<uint8_t>(v >> 8));
    out.push_back(static_cast<uint8_t>(v));
}

void put_chunk(std::vector<uint8_t> &out, const char type[4], const std::vector<uint8_t> &data) {
    put_be32(out, static_cast<uint32_t>(data.size()));
    size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    uLong crc = crc32(0L, Z_NULL, 0);
    crc = crc32(crc, out.data() + start, static_cast<uInt>(out.size() - start));
    put_be32(out, static_cast<uint32_t>(crc));
}

} // namespace

int write_png_rgb(const char *path, int width, int height, const uint8_t *rgb) {
    if (width < 1 || height < 1)
        return -1;
    size_t row = static_cast<size_t>(width) * 3;
    std::vector<uint8_t> raw((row + 1) * height);
    for (int y = 0; y < height; y++) {
        raw[y * (row + 1)] = 0;
        std::copy(rgb + y * row, rgb + (y + 1) * row, raw.begin() + y * (row + 1) + 1);
    }
    uLongf packed_size = compressBound(static_cast<uLong>(raw.size()));
    std::vector<uint8_t> packed(packed_size);
    if (compress2(packed.data(), &packed_size, raw.data(), static_cast<uLong>(raw.size()), 9) !=
        Z_OK)
        return -1;
    packed.resize(packed_size);

    std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    std::vector<uint8_t> ihdr;
    put_be32(ihdr, static_cast<uint32_t>(width));
    put_be32(ihdr, static_cast<uint32_t>(height));
    ihdr.insert(ihdr.end(), {8, 2, 0, 0, 0}); // 8 bits, RGB, deflate, filter 0, no interlace
    put_chunk(out, "IHDR", ihdr);
    put_chunk(out, "IDAT", packed);
    put_chunk(out, "IEND", {});

    return write_file_bytes(path, out);
}

int write_png_surface(const char *path, SDL_Surface *surface) {
    if (!surface)
        return -1;
    int w = surface->w, h = surface->h;
    std::vector<uint8_t> rgb(static_cast<size_t>(w) * h * 3);
    bool locked = SDL_MUSTLOCK(surface) && SDL_LockSurface(surface) == 0;
    int bpp = surface->format->BytesPerPixel;
    const uint8_t *base = static_cast<const uint8_t *>(surface->pixels);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            const uint8_t *p = base + y * surface->pitch + x * bpp;
            Uint32 v = 0;
            switch (bpp) {
            case 1:
                v = *p;
                break;
            case 2:
                v = *reinterpret_cast<const Uint16 *>(p);
                break;
            case 3:
                v = SDL_BYTEORDER == SDL_LIL_ENDIAN ? (p[0] | p[1] << 8 | p[2] << 16)
                                                    : (p[2] | p[1] << 8 | p[0] << 16);
                break;
            default:
                v = *reinterpret_cast<const Uint32 *>(p);
                break;
            }
            Uint8 *o = &rgb[(static_cast<size_t>(y) * w + x) * 3];
            SDL_GetRGB(v, surface->format, &o[0], &o[1], &o[2]);
        }
    if (locked)
        SDL_UnlockSurface(surface);
    return write_png_rgb(path, w, h, rgb.data());
}
