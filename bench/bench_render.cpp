// Frame composition and picture loading, each beside two yardsticks measured
// in the same run: a memcpy of one 640x480 16-bit frame and SDL_SoftStretch of
// 640x480 down to 320x240. Run from the build directory (it uses data/ when
// present, else a generated tile set and font-less frames).
#include "app/app.h"
#include "assets/cycle.h"
#include "assets/pcx.h"
#include "frame_setup.h"
#include "game/board.h"
#include "game/deal.h"
#include "game/freedom.h"
#include "game/play.h"
#include "gfx/display.h"
#include "gfx/draw.h"
#include "gfx/render.h"
#include "pcx_write.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

std::string pcx_640_path;

// The game's state after start-up, with a tile set and the status font.
void set_up_game() {
    static bool done = false;
    if (done)
        return;
    done = true;
    start_offscreen_display();
    TTF_Init();
    font = TTF_OpenFont("data/font/ariblk.ttf", 24);
    tileset_index = -1;
    if (next_tile_set() != 0) {
        // No data/: a generated 376x238 tile set.
        tile_image.width = 376;
        tile_image.height = 238;
        tile_image.pixels = static_cast<uint8_t *>(malloc(376 * 238));
        for (int i = 0; i < 376 * 238; i++)
            tile_image.pixels[i] = static_cast<uint8_t>(i * 7 / 5);
        for (int i = 0; i < 256; i++)
            tile_image.palette[i] = map_rgb(i, 255 - i, 128);
    }
    fill_rect(0, 0, work_width, work_height, 60, 84, 12);
    save_screen(0);
    status_text = "Click on a tile";

    // A 640x480 picture in the style of a background: smooth bands and noise.
    std::vector<uint8_t> px(640 * 480);
    unsigned seed = 1;
    for (int y = 0; y < 480; y++)
        for (int x = 0; x < 640; x++) {
            seed = seed * 1103515245 + 12345;
            px[y * 640 + x] = static_cast<uint8_t>((y / 8 + x / 40) + ((seed >> 16) % 11 == 0));
        }
    uint8_t pal[768];
    for (int i = 0; i < 768; i++)
        pal[i] = static_cast<uint8_t>(i / 3);
    char dir[] = "/tmp/jt_bench_XXXXXX";
    if (mkdtemp(dir))
        pcx_640_path = std::string(dir) + "/bg.pcx";
    write_pcx8(pcx_640_path.c_str(), 640, 480, px.data(), pal);
}

void deal(int seed) {
    srand(seed);
    deal_board();
}

// Removes matching free pairs, first found first, until half the tiles are gone.
void clear_half() {
    for (int removed = 0; removed < BOARD_TILES / 2;) {
        update_tile_flags();
        int a = -1, b = -1;
        for (int i = 0; i < board.tile_count && b < 0; i++) {
            if (board.tiles[i].flags & (TILE_BLOCKED | TILE_REMOVED))
                continue;
            for (int j = i + 1; j < board.tile_count; j++)
                if (!(board.tiles[j].flags & (TILE_BLOCKED | TILE_REMOVED)) &&
                    tiles_match(board.tiles[i].face, board.tiles[j].face)) {
                    a = i;
                    b = j;
                    break;
                }
        }
        if (b < 0)
            return;
        board.tiles[a].flags |= TILE_REMOVED;
        board.tiles[b].flags |= TILE_REMOVED;
        removed += 2;
    }
}

int tiles_left() {
    int n = 0;
    for (int i = 0; i < board.tile_count; i++)
        n += !(board.tiles[i].flags & TILE_REMOVED);
    return n;
}

// A whole frame, as after a deal or a tile-set or background switch: the
// renderer is told the work surface was drawn on, so nothing is reused but
// the converted faces and the status line.
void BM_render_and_present_full(benchmark::State &state) {
    set_up_game();
    deal(42);
    for (auto _ : state) {
        work_surface_touched = 1;
        render_board();
        present_frame();
    }
    state.counters["tiles"] = tiles_left();
}
BENCHMARK(BM_render_and_present_full)->Unit(benchmark::kMicrosecond);

void BM_render_and_present_half(benchmark::State &state) {
    set_up_game();
    deal(42);
    clear_half();
    for (auto _ : state) {
        work_surface_touched = 1;
        render_board();
        present_frame();
    }
    state.counters["tiles"] = tiles_left();
}
BENCHMARK(BM_render_and_present_half)->Unit(benchmark::kMicrosecond);

// The frame after a tap that selects or deselects a free tile (each
// iteration toggles it, so the status line changes too).
void BM_render_and_present_select(benchmark::State &state) {
    set_up_game();
    deal(42);
    render_board();
    present_frame();
    int pick = -1;
    for (int i = 0; i < board.tile_count && pick < 0; i++)
        if (tile_can_pick(&board.tiles[i]))
            pick = i;
    for (auto _ : state) {
        board.tiles[pick].flags ^= TILE_SELECTED;
        status_text =
            (board.tiles[pick].flags & TILE_SELECTED) ? "Click on another tile" : "Click on a tile";
        render_board();
        present_frame();
    }
}
BENCHMARK(BM_render_and_present_select)->Unit(benchmark::kMicrosecond);

// A frame in which nothing changed.
void BM_render_and_present_nothing(benchmark::State &state) {
    set_up_game();
    deal(42);
    render_board();
    present_frame();
    for (auto _ : state) {
        render_board();
        present_frame();
    }
}
BENCHMARK(BM_render_and_present_nothing)->Unit(benchmark::kMicrosecond);

void BM_load_pcx_640x480(benchmark::State &state) {
    set_up_game();
    PalettedImage image;
    for (auto _ : state) {
        if (load_pcx(pcx_640_path.c_str(), &image) != 0)
            state.SkipWithError("load failed");
        free_image(&image);
    }
}
BENCHMARK(BM_load_pcx_640x480)->Unit(benchmark::kMicrosecond);

void BM_memcpy_frame(benchmark::State &state) {
    std::vector<uint8_t> from(640 * 480 * 2, 1), to(640 * 480 * 2);
    for (auto _ : state) {
        memcpy(to.data(), from.data(), from.size());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_memcpy_frame)->Unit(benchmark::kMicrosecond);

void BM_soft_stretch_halve(benchmark::State &state) {
    set_up_game();
    SDL_PixelFormat *f = work_surface->format;
    SDL_Surface *half = SDL_CreateRGBSurface(SDL_SWSURFACE, 320, 240, f->BitsPerPixel, f->Rmask,
                                             f->Gmask, f->Bmask, f->Amask);
    SDL_Rect from = {0, 0, 640, 480}, to = {0, 0, 320, 240};
    for (auto _ : state)
        SDL_SoftStretch(work_surface, &from, half, &to);
    SDL_FreeSurface(half);
}
BENCHMARK(BM_soft_stretch_halve)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
