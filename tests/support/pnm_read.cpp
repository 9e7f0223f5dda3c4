// Minimal PPM/PBM reader fed from converter programs.
#include "pnm_read.h"

#include <cstdio>
#include <sys/wait.h>

namespace {

// Reads the next decimal header number, skipping white space and comments.
bool next_number(const std::vector<uint8_t> &b, size_t *at, int *value) {
    size_t i = *at;
    for (;;) {
        while (i < b.size() && (b[i] == ' ' || b[i] == '\t' || b[i] == '\n' || b[i] == '\r'))
            i++;
        if (i < b.size() && b[i] == '#') {
            while (i < b.size() && b[i] != '\n')
                i++;
            continue;
        }
        break;
    }
    if (i >= b.size() || b[i] < '0' || b[i] > '9')
        return false;
    long v = 0;
    while (i < b.size() && b[i] >= '0' && b[i] <= '9') {
        v = v * 10 + (b[i] - '0');
        if (v > 100000000)
            return false;
        i++;
    }
    *value = static_cast<int>(v);
    *at = i;
    return true;
}

} // namespace

bool parse_pnm(const std::vector<uint8_t> &b, RgbPicture *picture) {
    if (b.size() < 2 || b[0] != 'P' || (b[1] != '6' && b[1] != '4'))
        return false;
    bool bitmap = b[1] == '4';
    size_t at = 2;
    int w, h, maxval = 1;
    if (!next_number(b, &at, &w) || !next_number(b, &at, &h))
        return false;
    if (!bitmap && (!next_number(b, &at, &maxval) || maxval != 255))
        return false;
    at++; // the single white-space byte before the raster
    size_t need = bitmap ? static_cast<size_t>((w + 7) / 8) * h : static_cast<size_t>(w) * h * 3;
    if (b.size() < at + need)
        return false;
    picture->width = w;
    picture->height = h;
    picture->rgb.assign(static_cast<size_t>(w) * h * 3, 0);
    if (!bitmap) {
        std::copy(b.begin() + at, b.begin() + at + need, picture->rgb.begin());
        return true;
    }
    size_t stride = (w + 7) / 8;
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            bool black = (b[at + y * stride + x / 8] >> (7 - x % 8)) & 1;
            uint8_t v = black ? 0 : 255;
            size_t o = (static_cast<size_t>(y) * w + x) * 3;
            picture->rgb[o] = picture->rgb[o + 1] = picture->rgb[o + 2] = v;
        }
    return true;
}

std::vector<uint8_t> run_capture(const std::string &command, int *status) {
    std::vector<uint8_t> out;
    FILE *p = popen(command.c_str(), "r");
    if (!p) {
        *status = -1;
        return out;
    }
    uint8_t chunk[65536];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, p)) > 0)
        out.insert(out.end(), chunk, chunk + n);
    int raw = pclose(p);
    *status = (raw != -1 && WIFEXITED(raw)) ? WEXITSTATUS(raw) : -1;
    return out;
}

bool read_pnm_from(const std::string &command, RgbPicture *picture) {
    int status;
    std::vector<uint8_t> bytes = run_capture(command, &status);
    return status == 0 && parse_pnm(bytes, picture);
}

std::string shell_quote(const std::string &text) {
    std::string q = "'";
    for (char c : text) {
        if (c == '\'')
            q += "'\\''";
        else
            q += c;
    }
    return q + "'";
}
