// Frame cost in instructions: starts the game as the player gets it (real
// data/, fixed deal), draws and presents one frame, performs one action with
// the game's own functions (presenting the frames the main loop would present
// on the way), then composes and presents exactly one more frame inside
// measured_frame(). bench/frame_cost.sh counts the instructions executed in
// there, natively under callgrind and for the ARM build under qemu.
//
//   frame_cost ACTION     (run from a folder that holds data/)
//
// Besides the game's actions there are two yardsticks that take the frame's
// place: "memcpy" copies one 640x480 16-bit frame, "loop" runs a loop of
// LOOP_ROUNDS three-instruction rounds written in assembly, whose count is
// known exactly and checks the counting itself.
#include "app/app.h"
#include "assets/cycle.h"
#include "game/board.h"
#include "game/deal.h"
#include "game/play.h"
#include "gfx/display.h"
#include "gfx/geometry.h"
#include "input/input.h"
#include "gfx/render.h"
#include "tile_points.h"

#include <SDL.h>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {

const unsigned DEAL_SEED = 42;
const size_t FRAME_BYTES = WORK_WIDTH * WORK_HEIGHT * 2;

// The source and destination of the memcpy yardstick, filled before it runs
// so no page is touched for the first time inside the measurement.
uint8_t *copy_from;
uint8_t *copy_to;

} // namespace

extern "C" {

// Written by the markers so that neither is empty and no two are alike (the
// compiler may otherwise fold identical functions into one).
volatile int frame_cost_mark;
// Rounds of the "loop" yardstick; the program prints it for the script.
// A power of two, so that it is one immediate operand on both processors.
#define LOOP_ROUNDS 131072u

// Executed right before and right after the measured work: the ARM count runs
// from the first execution of frame_cost_begin to that of frame_cost_end.
__attribute__((noinline)) void frame_cost_begin() {
    frame_cost_mark = 1;
}
__attribute__((noinline)) void frame_cost_end() {
    frame_cost_mark = 2;
}

// One frame, as the main loop draws it after an action.
__attribute__((noinline)) void measured_frame() {
    frame_cost_begin();
    render_board();
    present_frame();
    frame_cost_end();
}

// The yardstick: one whole work frame copied with the C library's memcpy.
__attribute__((noinline)) void measured_memcpy() {
    frame_cost_begin();
    memcpy(copy_to, copy_from, FRAME_BYTES);
    frame_cost_end();
}

// Exactly 2 + 3 * LOOP_ROUNDS instructions of its own between the markers'
// calls: the counter and a jump target are loaded, then each round takes a
// decrement, an indirect jump to the next line and a conditional branch back.
// The indirect jump makes sure that blocks entered through a computed address
// (returns, calls through pointers) are counted as well as direct branches.
__attribute__((noinline)) void measured_loop() {
    frame_cost_begin();
#if defined(__x86_64__)
    unsigned n;
    void *to;
    __asm__ volatile("mov %2, %0\n\t"
                     "lea 2f(%%rip), %1\n"
                     "1:\n\t"
                     "dec %0\n\t"
                     "jmp *%1\n"
                     "2:\n\t"
                     "jnz 1b"
                     : "=&r"(n), "=&r"(to)
                     : "i"(LOOP_ROUNDS)
                     : "cc");
#elif defined(__arm__) && !defined(__thumb__)
    unsigned n;
    void *to;
    __asm__ volatile("mov %0, %2\n\t"
                     "adr %1, 2f\n"
                     "1:\n\t"
                     "subs %0, %0, #1\n\t"
                     "mov pc, %1\n"
                     "2:\n\t"
                     "bne 1b"
                     : "=&r"(n), "=&r"(to)
                     : "i"(LOOP_ROUNDS)
                     : "cc");
#else
#error "measured_loop has no loop for this processor"
#endif
    frame_cost_end();
}

} // extern "C"

namespace {

// The main loop's reaction to a drain that changed something.
void draw_and_present() {
    render_board();
    present_frame();
}

// Two free tiles with equal faces (or both flowers, or both seasons) and the
// display points that reach them; the first such pair in tile order.
struct Pair {
    int a, b;
    int ax, ay, bx, by; // display coordinates
};

bool find_pair(Pair *pair) {
    int list[BOARD_TILES];
    int n = free_tiles(list);
    for (int i = 0; i < n; i++)
        for (int j = i + 1; j < n; j++) {
            Pair p = {list[i], list[j], 0, 0, 0, 0};
            if (!tiles_match(board.tiles[p.a].face, board.tiles[p.b].face))
                continue;
            if (press_point_for(p.a, &p.ax, &p.ay) && press_point_for(p.b, &p.bx, &p.by)) {
                *pair = p;
                return true;
            }
        }
    return false;
}

[[noreturn]] void fail(const char *what) {
    fprintf(stderr, "frame_cost: %s\n", what);
    fflush(nullptr);
    _exit(1);
}

// Presses tile t at display point (x, y) as a pointer record does (the work
// surface has twice the display's coordinates); the press must reach t.
void press(int t, int x, int y) {
    int before = board.tiles[t].flags;
    if (!click_tile(POINTER_PRESS, SAMPLING * x, SAMPLING * y) ||
        !((board.tiles[t].flags ^ before) & (TILE_SELECTED | TILE_REMOVED)))
        fail("a press on a free tile did not reach it");
}

int tiles_with(int flag) {
    int n = 0;
    for (int i = 0; i < board.tile_count; i++)
        n += (board.tiles[i].flags & flag) != 0;
    return n;
}

// FNV-1a over the rows of a surface, so that runs can be compared by picture.
uint32_t picture_hash(const SDL_Surface *s) {
    uint32_t h = 2166136261u;
    const uint8_t *row = static_cast<const uint8_t *>(s->pixels);
    int bytes = s->w * s->format->BytesPerPixel;
    for (int y = 0; y < s->h; y++, row += s->pitch)
        for (int x = 0; x < bytes; x++)
            h = (h ^ row[x]) * 16777619u;
    return h;
}

const char *const ACTIONS[] = {"select",       "deselect", "remove", "undo",    "redo",
                               "deal",         "f1",       "f2",     "nothing", "full",
                               "select-first", "memcpy",   "loop",   nullptr};

int usage() {
    fprintf(stderr, "usage: frame_cost ACTION   (from a folder that holds data/)\nactions:");
    for (int i = 0; ACTIONS[i]; i++)
        fprintf(stderr, " %s", ACTIONS[i]);
    fprintf(stderr, "\n");
    return 2;
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 2)
        return usage();
    const char *action = argv[1];
    bool known = false;
    for (int i = 0; ACTIONS[i]; i++)
        known |= strcmp(action, ACTIONS[i]) == 0;
    if (!known)
        return usage();
    if (access("data/image/tiles0.pcx", R_OK) != 0 || access("data/font/ariblk.ttf", R_OK) != 0)
        fail("no data/ here: run from a build folder that holds the game's data/");

    // Frames are composed off-screen. A driver name that does not exist
    // keeps the mixer closed: every effect then returns at once, and no
    // audio thread runs beside the counted one.
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "none", 1);
    start_up();
    if (!font)
        fail("the status font did not load");
    // start_up deals from the clock; deal again from a fixed seed.
    srand(DEAL_SEED);
    deal_board();
    draw_and_present();

    copy_from = static_cast<uint8_t *>(malloc(FRAME_BYTES));
    copy_to = static_cast<uint8_t *>(malloc(FRAME_BYTES));
    if (!copy_from || !copy_to)
        fail("no memory for the memcpy frames");
    memset(copy_from, 0x5a, FRAME_BYTES);
    memset(copy_to, 0, FRAME_BYTES);

    Pair pair;
    if (!find_pair(&pair))
        fail("the deal has no free matching pair");

    // A game in play has shown both status lines: one tap selects a tile
    // and a second deselects it before the action. "select-first" skips
    // that, for the very first tap of a game, whose status line has not
    // been shown yet.
    if (strcmp(action, "select-first") != 0) {
        press(pair.a, pair.ax, pair.ay);
        draw_and_present();
        press(pair.a, pair.ax, pair.ay);
        draw_and_present();
    }

    if (strcmp(action, "select") == 0 || strcmp(action, "select-first") == 0) {
        press(pair.a, pair.ax, pair.ay);
    } else if (strcmp(action, "deselect") == 0) {
        press(pair.a, pair.ax, pair.ay);
        draw_and_present();
        press(pair.a, pair.ax, pair.ay);
    } else if (strcmp(action, "remove") == 0 || strcmp(action, "undo") == 0 ||
               strcmp(action, "redo") == 0) {
        press(pair.a, pair.ax, pair.ay);
        draw_and_present();
        press(pair.b, pair.bx, pair.by);
        if (tiles_with(TILE_REMOVED) != 2)
            fail("the pair was not removed");
        if (strcmp(action, "undo") == 0 || strcmp(action, "redo") == 0) {
            draw_and_present();
            if (!undo_pair())
                fail("nothing to undo");
            if (strcmp(action, "redo") == 0) {
                draw_and_present();
                if (!redo_pair())
                    fail("nothing to redo");
            }
        }
    } else if (strcmp(action, "deal") == 0) {
        deal_board();
    } else if (strcmp(action, "f1") == 0) {
        if (next_tile_set() != 0)
            fail("the next tile set did not load");
    } else if (strcmp(action, "f2") == 0) {
        next_background();
        if (background_index < 0)
            fail("no background loaded");
    } else if (strcmp(action, "full") == 0) {
        invalidate_frame();
    }
    // "nothing", "memcpy" and "loop": the board stays as the last frame showed it.

    if (strcmp(action, "memcpy") == 0)
        measured_memcpy();
    else if (strcmp(action, "loop") == 0)
        measured_loop();
    else
        measured_frame();

    if (strcmp(action, "memcpy") == 0 && memcmp(copy_to, copy_from, FRAME_BYTES) != 0)
        fail("the memcpy yardstick did not copy the frame");
    // What the measured frame showed, for comparing runs and builds; the
    // loop's length, from which the script knows its exact count; and where
    // the first marker was loaded, which the ARM count must have found.
    printf("frame_cost %s: tiles %d removed %d selected %d display %08x loop_rounds %u "
           "begin_marker %p\n",
           action, board.tile_count, tiles_with(TILE_REMOVED), tiles_with(TILE_SELECTED),
           static_cast<unsigned>(picture_hash(screen)), LOOP_ROUNDS,
           reinterpret_cast<void *>(&frame_cost_begin));
    // Leave without the game's exit handler and its hand-over to the launcher.
    fflush(nullptr);
    _exit(0);
}
