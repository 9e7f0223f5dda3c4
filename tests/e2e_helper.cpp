// Helper of the end-to-end test. It writes the test assets, plays the known
// deal in-process (dummy video) to produce the click positions and the frames
// the real game must show, and compares X window dumps with those frames
// (a window that shows the display enlarged is reduced by its scale first).
// Every frame it saves must first equal one composed without the game's
// drawing code: the background from the decoded picture (or the plain
// colour), the tiles from the decoded tile set at the layout's positions,
// and the status line in the font file opened here at 24 points.
//
//   e2e_helper assets DIR
//   e2e_helper plan DIR SEED OUT
//   e2e_helper compare EXPECTED.raw SHOT.xwd SCALE [MISMATCH.png]
#include "app/app.h"
#include "assets/cycle.h"
#include "game/board.h"
#include "game/deal.h"
#include "game/play.h"
#include "gfx/display.h"
#include "gfx/draw.h"
#include "gfx/geometry.h"
#include "gfx/render.h"
#include "input/input.h"
#include "png_write.h"
#include "reference_frame.h"
#include "test_assets.h"
#include "tile_points.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <SDL_ttf.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

const int WIDTH = 320;
const int HEIGHT = 240;

int usage() {
    fprintf(stderr, "usage: e2e_helper assets DIR | plan DIR SEED OUT | "
                    "compare EXPECTED.raw SHOT.xwd SCALE [MISMATCH.png]\n");
    return 2;
}

// Writes the display as it stands: 320 x 240 16-bit pixels, rows from the top.
bool dump_display(const std::string &path) {
    FILE *out = fopen(path.c_str(), "wb");
    if (!out)
        return false;
    bool ok = true;
    for (int y = 0; y < HEIGHT && ok; y++)
        ok = fwrite((const uint8_t *)screen->pixels + y * screen->pitch, 2, WIDTH, out) == WIDTH;
    return fclose(out) == 0 && ok;
}

std::vector<uint8_t> last_shown;
TTF_Font *own_font; // the game's font file, opened here at 24 points

// Draws and presents the board, checks it against the independent
// composition, saves the display as <name>.raw and tells whether it differs
// from the frame saved before it.
bool show(const std::string &out, const char *name) {
    render_board();
    present_frame();
    if (!background_is_reference()) {
        fprintf(stderr, "e2e_helper: %s: the background is not the plain colour or picture\n",
                name);
        exit(1);
    }
    std::vector<uint16_t> frame, display;
    reference_frame(frame, own_font);
    reference_display(frame, display);
    // The work surface too: a shift by one pixel may fall between the
    // display's samples.
    FrameDifference difference = compare_work_surface(frame);
    if (difference.count == 0)
        difference = compare_display(display);
    if (difference.count != 0) {
        fprintf(stderr, "e2e_helper: %s: the game's frame is not the composed one: %s\n", name,
                describe_difference(difference).c_str());
        exit(1);
    }
    if (!dump_display(out + "/" + name + ".raw")) {
        fprintf(stderr, "e2e_helper: cannot write %s\n", name);
        exit(1);
    }
    std::vector<uint8_t> shown(WIDTH * HEIGHT * 2);
    for (int y = 0; y < HEIGHT; y++)
        memcpy(&shown[y * WIDTH * 2], (const uint8_t *)screen->pixels + y * screen->pitch,
               WIDTH * 2);
    bool changed = shown != last_shown;
    last_shown = shown;
    return changed;
}

int press(FILE *clicks, int t) {
    int x, y;
    if (!press_point_for(t, &x, &y)) {
        fprintf(stderr, "e2e_helper: no point reaches tile %d\n", t);
        return -1;
    }
    fprintf(clicks, "%d %d\n", x, y);
    if (click_tile(POINTER_PRESS, SAMPLING * x, SAMPLING * y) != 1) {
        fprintf(stderr, "e2e_helper: press on tile %d changed nothing\n", t);
        return -1;
    }
    return 0;
}

// Plays the deal of the given seed to the end, in the order the deal was
// generated, as the real game will be played; saves the frames to check.
int plan(const char *dir, unsigned seed, const char *out_dir) {
    char resolved[4096];
    if (!realpath(out_dir, resolved)) {
        perror(out_dir);
        return 1;
    }
    const std::string out = resolved;
    if (chdir(dir) != 0) {
        perror(dir);
        return 1;
    }
    start_up();
    // Without an audio device the effects take no time, which matters for
    // 144 presses.
    Mix_CloseAudio();
    own_font = TTF_OpenFont("data/font/ariblk.ttf", 24);
    if (!own_font) {
        fprintf(stderr, "e2e_helper: the status line cannot be checked without its font\n");
        return 1;
    }
    // The game seeds the generator and deals with nothing else drawing random
    // numbers in between, so the same seed gives the same deal here.
    srand(seed);
    deal_board();
    show(out, "start");

    FILE *clicks = fopen((out + "/clicks.txt").c_str(), "w");
    if (!clicks)
        return 1;
    int order[BOARD_TILES];
    memcpy(order, board.move_history, sizeof order);
    for (int k = 0; k < BOARD_TILES; k++) {
        if (press(clicks, order[k]) != 0)
            return 1;
        if (k == 0) {
            show(out, "selected");
        } else if (k == 1) {
            show(out, "pair");
        } else {
            render_board();
        }
        // The first tile of a pair stays selected; the second removes both.
        bool selected = board.tiles[order[k]].flags & TILE_SELECTED;
        bool removed = board.tiles[order[k]].flags & TILE_REMOVED;
        if (k % 2 == 0 ? !selected : !removed) {
            fprintf(stderr, "e2e_helper: press %d did not act on tile %d\n", k, order[k]);
            return 1;
        }
    }
    fclose(clicks);
    if (board.move_count != BOARD_TILES) {
        fprintf(stderr, "e2e_helper: %d tiles removed\n", board.move_count);
        return 1;
    }
    show(out, "end");
    // Each of these must change the picture, or matching it would prove nothing.
    deal_board();
    bool changed = show(out, "redeal");
    next_tile_set();
    changed = show(out, "tileset") && changed;
    next_background();
    changed = show(out, "background") && changed;
    if (!changed) {
        fprintf(stderr, "e2e_helper: a new deal, tile set or background looks the same\n");
        return 1;
    }
    return 0;
}

uint32_t be32(const uint8_t *p) {
    return (uint32_t)p[0] << 24 | (uint32_t)p[1] << 16 | (uint32_t)p[2] << 8 | p[3];
}

std::vector<uint8_t> read_file(const char *path) {
    std::vector<uint8_t> bytes;
    FILE *in = fopen(path, "rb");
    if (!in)
        return bytes;
    uint8_t buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, in)) > 0)
        bytes.insert(bytes.end(), buffer, buffer + n);
    fclose(in);
    return bytes;
}

// Reads a window dump of the display enlarged `scale` times into 320 x 240
// pixel values, one from each scale x scale block; empty on failure, and
// when any block is not all one value (not an exact enlargement). A 16-bit
// dump holds the game's own pixel values. A 24-bit one (on 32-bit pixels)
// holds them widened to 8 bits a component; the top 5, 6 and 5 bits give
// them back (the libraries widen a little differently, but never past the
// next value's step).
std::vector<uint16_t> read_xwd(const char *path, int scale) {
    std::vector<uint8_t> file = read_file(path);
    std::vector<uint16_t> pixels;
    if (file.size() < 100) {
        fprintf(stderr, "e2e_helper: %s is not a window dump\n", path);
        return pixels;
    }
    const uint8_t *h = file.data();
    uint32_t header_size = be32(h), version = be32(h + 4), depth = be32(h + 12);
    uint32_t width = be32(h + 16), height = be32(h + 20), byte_order = be32(h + 28);
    uint32_t bits_per_pixel = be32(h + 44), bytes_per_line = be32(h + 48);
    uint32_t red = be32(h + 56), green = be32(h + 60), blue = be32(h + 64);
    uint32_t ncolors = be32(h + 76);
    const uint32_t wide = WIDTH * scale, high = HEIGHT * scale;
    bool deep =
        depth == 24 && bits_per_pixel == 32 && red == 0xFF0000 && green == 0xFF00 && blue == 0xFF;
    bool shallow =
        depth == 16 && bits_per_pixel == 16 && red == 0xF800 && green == 0x07E0 && blue == 0x001F;
    if (version != 7 || !(deep || shallow) || width != wide || height != high) {
        fprintf(stderr,
                "e2e_helper: %s: unexpected dump (version %u, depth %u, %u bpp, %ux%u, "
                "masks %x %x %x; %ux%u wanted)\n",
                path, version, depth, bits_per_pixel, width, height, red, green, blue, wide, high);
        return pixels;
    }
    size_t start = header_size + 12 * (size_t)ncolors;
    if (file.size() < start + (size_t)bytes_per_line * high) {
        fprintf(stderr, "e2e_helper: %s is cut short\n", path);
        return pixels;
    }
    const uint32_t bytes = bits_per_pixel / 8;
    std::vector<uint32_t> blocks(WIDTH * HEIGHT);
    for (uint32_t y = 0; y < high; y++)
        for (uint32_t x = 0; x < wide; x++) {
            const uint8_t *p = file.data() + start + (size_t)y * bytes_per_line + bytes * x;
            uint32_t v = 0;
            for (uint32_t i = 0; i < bytes; i++)
                v |= (uint32_t)p[i] << 8 * (byte_order == 0 ? i : bytes - 1 - i);
            if (deep)
                v &= 0xFFFFFF; // the padding byte is no part of the colour
            uint32_t &block = blocks[y / scale * WIDTH + x / scale];
            if (x % scale == 0 && y % scale == 0) {
                block = v;
            } else if (v != block) {
                fprintf(stderr,
                        "e2e_helper: %s is no exact %d-fold enlargement: (%u, %u) is "
                        "%x, its block's first pixel %x\n",
                        path, scale, x, y, v, block);
                return pixels;
            }
        }
    for (uint32_t v : blocks)
        pixels.push_back(
            deep ? (uint16_t)((v >> 19 & 31) << 11 | (v >> 10 & 63) << 5 | (v >> 3 & 31))
                 : (uint16_t)v);
    return pixels;
}

// Writes the shot as a PNG, with every pixel that differs shown in magenta.
void write_mismatch(const char *path, const std::vector<uint16_t> &shot,
                    const std::vector<uint16_t> &expected) {
    std::vector<uint8_t> rgb(WIDTH * HEIGHT * 3);
    for (int i = 0; i < WIDTH * HEIGHT; i++) {
        uint16_t v = shot[i];
        bool differs = v != expected[i];
        rgb[3 * i] = differs ? 255 : (uint8_t)((v >> 11) << 3);
        rgb[3 * i + 1] = differs ? 0 : (uint8_t)(((v >> 5) & 63) << 2);
        rgb[3 * i + 2] = differs ? 255 : (uint8_t)((v & 31) << 3);
    }
    write_png_rgb(path, WIDTH, HEIGHT, rgb.data());
}

int compare(const char *expected_path, const char *shot_path, int scale,
            const char *mismatch_path) {
    std::vector<uint8_t> raw = read_file(expected_path);
    if (raw.size() != WIDTH * HEIGHT * 2) {
        fprintf(stderr, "e2e_helper: %s is not a frame\n", expected_path);
        return 2;
    }
    std::vector<uint16_t> expected(WIDTH * HEIGHT);
    memcpy(expected.data(), raw.data(), raw.size());
    std::vector<uint16_t> shot = read_xwd(shot_path, scale);
    if (shot.empty())
        return 2;
    int differing = 0;
    int first = -1;
    for (int i = 0; i < WIDTH * HEIGHT; i++)
        if (shot[i] != expected[i]) {
            differing++;
            if (first < 0)
                first = i;
        }
    if (differing == 0)
        return 0;
    printf("%d pixels differ; first at (%d, %d): %04x on screen, %04x expected\n", differing,
           first % WIDTH, first / WIDTH, shot[first], expected[first]);
    if (mismatch_path)
        write_mismatch(mismatch_path, shot, expected);
    return 1;
}

} // namespace

int main(int argc, char **argv) {
    if (argc == 3 && strcmp(argv[1], "assets") == 0) {
        TestAssets assets = {2, 1, 20, find_test_font()};
        if (!assets.font_path)
            fprintf(stderr, "e2e_helper: no font found; the frames cannot be checked\n");
        return write_test_assets(argv[2], &assets) == 0 ? 0 : 1;
    }
    if (argc == 5 && strcmp(argv[1], "plan") == 0) {
        // The frames are composed off-screen. Over SDL 2 (sdl12-compat) an
        // audio driver that is not there fails SDL_Init as a whole, so the
        // silent one is opened, and closed after start-up.
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        int status = plan(argv[2], (unsigned)strtoul(argv[3], nullptr, 10), argv[4]);
        // Leave without the game's exit handler and its hand-over to the launcher.
        fflush(nullptr);
        _exit(status);
    }
    if ((argc == 5 || argc == 6) && strcmp(argv[1], "compare") == 0 && atoi(argv[4]) >= 1)
        return compare(argv[2], argv[3], atoi(argv[4]), argc == 6 ? argv[5] : nullptr);
    return usage();
}
