// Writes a small asset folder for tests that run the whole game.
#include "test_assets.h"

#include "gfx/geometry.h"
#include "pcx_write.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

int make_dir(const std::string &path) {
    if (mkdir(path.c_str(), 0755) == 0)
        return 0;
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) ? 0 : -1;
}

// Tile set number n: each face cell is filled with its own colour and carries
// a pattern of bars that encodes the face number, so faces differ in shape too.
int write_tile_set(const std::string &path, int n) {
    const int width = CELL_W * FACES_ACROSS;
    const int height = CELL_H * TILESET_ROWS;
    std::vector<uint8_t> pixels(width * height, 0);
    uint8_t palette[768] = {};
    for (int f = 0; f < 45; f++) {
        int i = 1 + f;
        palette[3 * i] = (uint8_t)(40 + (f * 37 + n * 90) % 200);
        palette[3 * i + 1] = (uint8_t)(40 + (f * 71 + n * 50) % 200);
        palette[3 * i + 2] = (uint8_t)(40 + (f * 53 + n * 130) % 200);
    }
    palette[3 * 255] = palette[3 * 255 + 1] = palette[3 * 255 + 2] = 250; // bars
    for (int f = 0; f < FACES_ACROSS * TILESET_ROWS; f++) {
        int x0 = CELL_W * (f % FACES_ACROSS);
        int y0 = CELL_H * (f / FACES_ACROSS);
        for (int y = 0; y < FACE_H; y++)
            for (int x = 0; x < FACE_W; x++) {
                int bar = (y - 4) / 6;
                bool on = y >= 4 && bar < 6 && (y - 4) % 6 < 3 && (f >> bar & 1) && x >= 6 &&
                          x < 34 - 4 * n;
                pixels[(y0 + y) * width + x0 + x] = on ? 255 : (uint8_t)(1 + f);
            }
    }
    return write_pcx8(path.c_str(), width, height, pixels.data(), palette);
}

// Background number n: a small two-colour check the game repeats over the screen.
int write_background(const std::string &path, int n) {
    const int width = 100 + 30 * n;
    const int height = 70 + 20 * n;
    std::vector<uint8_t> pixels(width * height);
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++)
            pixels[y * width + x] = (uint8_t)(((x / 10 + y / 10) & 1) + 1);
    uint8_t palette[768] = {};
    palette[3] = (uint8_t)(30 + 60 * n);
    palette[4] = 40;
    palette[5] = 90;
    palette[6] = 150;
    palette[7] = (uint8_t)(100 + 50 * n);
    palette[8] = 60;
    return write_pcx8(path.c_str(), width, height, pixels.data(), palette);
}

void put_le(std::vector<uint8_t> &out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; i++)
        out.push_back((uint8_t)(value >> (8 * i)));
}

// Silence of the given length, 22050 Hz, 16-bit stereo.
int write_silence(const std::string &path, int ms) {
    const uint32_t rate = 22050;
    const uint32_t frames = rate * (uint32_t)ms / 1000;
    const uint32_t data_bytes = frames * 4;
    std::vector<uint8_t> out;
    for (char c : std::string("RIFF"))
        out.push_back((uint8_t)c);
    put_le(out, 36 + data_bytes, 4);
    for (char c : std::string("WAVEfmt "))
        out.push_back((uint8_t)c);
    put_le(out, 16, 4);
    put_le(out, 1, 2); // PCM
    put_le(out, 2, 2); // channels
    put_le(out, rate, 4);
    put_le(out, rate * 4, 4);
    put_le(out, 4, 2);
    put_le(out, 16, 2);
    for (char c : std::string("data"))
        out.push_back((uint8_t)c);
    put_le(out, data_bytes, 4);
    out.resize(out.size() + data_bytes, 0);
    return write_file_bytes(path.c_str(), out);
}

int copy_file(const char *from, const std::string &to) {
    FILE *in = fopen(from, "rb");
    if (!in)
        return -1;
    std::vector<uint8_t> bytes;
    uint8_t buffer[8192];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, in)) > 0)
        bytes.insert(bytes.end(), buffer, buffer + n);
    fclose(in);
    return write_file_bytes(to.c_str(), bytes);
}

} // namespace

int write_test_assets(const char *dir, const TestAssets *assets) {
    std::string root = std::string(dir) + "/data";
    const char *dirs[] = {"", "/image", "/image/background", "/sound", "/sound/music", "/font"};
    for (const char *d : dirs)
        if (make_dir(root + d) != 0)
            return -1;
    for (int n = 0; n < assets->tile_sets; n++)
        if (write_tile_set(root + "/image/tiles" + std::to_string(n) + ".pcx", n) != 0)
            return -1;
    for (int n = 0; n < assets->backgrounds; n++)
        if (write_background(root + "/image/background/bg" + std::to_string(n) + ".pcx", n) != 0)
            return -1;
    if (assets->effect_ms >= 0)
        for (const char *name : {"snd0.wav", "snd1.wav"})
            if (write_silence(root + "/sound/" + name, assets->effect_ms) != 0)
                return -1;
    if (assets->font_path && copy_file(assets->font_path, root + "/font/ariblk.ttf") != 0)
        return -1;
    return 0;
}

const char *find_test_font() {
    static const char *const candidates[] = {
        "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf",
        "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
    };
    for (const char *path : candidates) {
        struct stat info;
        if (stat(path, &info) == 0)
            return path;
    }
    return nullptr;
}
