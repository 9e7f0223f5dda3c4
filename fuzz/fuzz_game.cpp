// Fuzz harness for the game model and the frames drawn of it: an input is a
// deal seed followed by a sequence of clicks, undos, redos, deals and
// switches of tile set and background. After every step the board's
// invariants are checked, and every frame the renderer draws must equal,
// on the work surface and on the display, a plain whole-frame reference
// (tests/support/reference_frame.h); any violation aborts.
//
// Input layout: byte 0 picks one of 256 seeded deals, then one operation per
// byte (low three bits), some taking two argument bytes:
//   0..2  press inside the hit area of the n-th tile that is free right now
//   3     like 0..2, with a release or motion code as well as a press
//         (bits 4-5: 01 release, 10 motion, else press)
//   4     press at an arbitrary point (bit 4 set) or a motion there
//   5     undo      6  redo      7  deal
// Bits 6 and 7 of an operation byte add, after the operation, a switch to
// the next tile set (bit 6, as F1 does) and to the next background (bit 7,
// as F2 does). Bit 3 skips the frame that normally follows the step, so
// that clicks also meet a board whose flags are stale and the renderer
// meets several changes at once.
//
// The game starts once per process, on small generated assets (3 tile sets,
// 3 backgrounds, no sound files) in a temporary folder; it is entered only
// while pictures load, so paths given on the command line keep their
// meaning. Every input starts from tile set 0 on the plain background with
// a whole frame.
// The mixer is never opened here, so every effect returns at once.
#include "app/app.h"
#include "assets/cycle.h"
#include "fuzz/harness.h"
#include "game/board.h"
#include "game/deal.h"
#include "game/freedom.h"
#include "game/play.h"
#include "gfx/display.h"
#include "gfx/draw.h"
#include "gfx/geometry.h"
#include "input/input.h"
#include "gfx/render.h"
#include "reference_frame.h"
#include "temp_dir.h"
#include "test_assets.h"
#include "tile_points.h"
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

std::string asset_folder;
std::vector<uint16_t> plain_background; // slot 0 as start-up leaves it

void remove_assets() {
    remove_tree(asset_folder);
}

// Runs a step of the game that reads data/ in the asset folder.
template <typename Step> void with_assets(Step step) {
    int here = open(".", O_RDONLY | O_DIRECTORY);
    HARNESS_CHECK(here >= 0);
    HARNESS_CHECK(chdir(asset_folder.c_str()) == 0);
    step();
    HARNESS_CHECK(fchdir(here) == 0);
    close(here);
}

int switch_tile_set() {
    int result = 0;
    with_assets([&] { result = next_tile_set(); });
    return result;
}

// Draws and shows the frame as the main loop does, then holds both images
// against the reference.
void draw_frame() {
    static std::vector<uint16_t> frame, display;
    render_board();
    present_frame();
    reference_frame(frame);
    reference_display(frame, display);
    FrameDifference work = compare_work_surface(frame);
    FrameDifference shown = compare_display(display);
    if (work.count != 0)
        fprintf(stderr, "work surface: %s\n", describe_difference(work).c_str());
    if (shown.count != 0)
        fprintf(stderr, "display: %s\n", describe_difference(shown).c_str());
    HARNESS_CHECK(work.count == 0);
    HARNESS_CHECK(shown.count == 0);
}

// Back to the look start-up leaves: tile set 0 on the plain background.
void reset_looks() {
    if (tileset_index != 0) {
        tileset_index = -1;
        HARNESS_CHECK(switch_tile_set() == 0);
    }
    if (background_index != -1) {
        memcpy(screen_slots[0], plain_background.data(),
               plain_background.size() * sizeof plain_background[0]);
        background_index = -1;
    }
    // Nothing of the previous input's frames may carry over into this one.
    invalidate_frame();
}

void check_board() {
    HARNESS_CHECK(board.tile_count == BOARD_TILES);
    HARNESS_CHECK(board.move_count >= 0 && board.move_count <= BOARD_TILES);
    HARNESS_CHECK(board.move_count % 2 == 0);
    HARNESS_CHECK(board.redo_count >= 0);
    HARNESS_CHECK(board.move_count + 2 * board.redo_count <= BOARD_TILES);
    HARNESS_CHECK(status_text != nullptr);
    HARNESS_CHECK(strcmp(status_text, "Click on a tile") == 0 ||
                  strcmp(status_text, "Click on another tile") == 0);

    int selected = 0;
    int face_count[44] = {0};
    for (int i = 0; i < BOARD_TILES; ++i) {
        const Tile *t = &board.tiles[i];
        if (t->flags & TILE_SELECTED) {
            ++selected;
            HARNESS_CHECK(!(t->flags & TILE_REMOVED));
        }
        HARNESS_CHECK(t->face >= 0 && t->face < 44 && t->face != 34 && t->face != 35);
        ++face_count[t->face];
    }
    HARNESS_CHECK(selected <= 1);
    for (int f = 0; f < 44; ++f)
        HARNESS_CHECK(face_count[f] == (f < 34 ? 4 : f < 36 ? 0 : 1));

    // The removed tiles are exactly those in force in the history, each once,
    // and every recorded pair matches.
    bool in_history[BOARD_TILES] = {false};
    for (int k = 0; k < board.move_count; ++k) {
        int t = board.move_history[k];
        HARNESS_CHECK(t >= 0 && t < BOARD_TILES);
        HARNESS_CHECK(!in_history[t]);
        in_history[t] = true;
    }
    for (int i = 0; i < BOARD_TILES; ++i)
        HARNESS_CHECK(((board.tiles[i].flags & TILE_REMOVED) != 0) == in_history[i]);
    for (int k = 0; k < board.move_count; k += 2)
        HARNESS_CHECK(tiles_match(board.tiles[board.move_history[k]].face,
                                  board.tiles[board.move_history[k + 1]].face));
    // Pairs that can be redone are indices of tiles that are on the board.
    for (int k = board.move_count; k < board.move_count + 2 * board.redo_count; ++k) {
        int t = board.move_history[k];
        HARNESS_CHECK(t >= 0 && t < BOARD_TILES);
        HARNESS_CHECK(!(board.tiles[t].flags & TILE_REMOVED));
    }
}

void click(int code, int x, int y) {
    int free_now[BOARD_TILES];
    int n = free_tiles(free_now);
    bool was_free[BOARD_TILES] = {false};
    for (int i = 0; i < n; ++i)
        was_free[free_now[i]] = true;
    int before = board.move_count;

    click_tile(code, x, y);

    if (code != POINTER_PRESS) {
        HARNESS_CHECK(board.move_count == before);
        return;
    }
    // A press removes at most one pair, and only tiles that were free when
    // it happened, whatever flags the last frame left behind.
    HARNESS_CHECK(board.move_count == before || board.move_count == before + 2);
    if (board.move_count == before + 2) {
        HARNESS_CHECK(was_free[board.move_history[before]]);
        HARNESS_CHECK(was_free[board.move_history[before + 1]]);
        HARNESS_CHECK(board.redo_count == 0);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    // A driver name that does not exist: the mixer finds no device.
    setenv("SDL_AUDIODRIVER", "none", 1);
    asset_folder = make_temp_dir("fuzz_game");
    HARNESS_CHECK(!asset_folder.empty());
    TestAssets assets = {3, 3, -1, find_test_font()};
    HARNESS_CHECK(write_test_assets(asset_folder.c_str(), &assets) == 0);
    with_assets(start_up);
    atexit(remove_assets);
    plain_background.assign(screen_slots[0], screen_slots[0] + work_width * work_height);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FuzzBytes r = {data, size, 0};
    // A deal costs far more than the steps after it, so each of the 256
    // starting deals is made once and copied afterwards.
    static Board dealt[256];
    static bool have_deal[256];
    int seed = next_byte(&r);
    if (!have_deal[seed]) {
        srand(seed);
        deal_board();
        HARNESS_CHECK(board.move_count == 0 && board.redo_count == 0);
        memcpy(&dealt[seed], &board, sizeof board);
        have_deal[seed] = true;
    }
    memcpy(&board, &dealt[seed], sizeof board);
    srand(seed + 256); // later deals of the input are reproducible too
    status_text = "Click on a tile";
    reset_looks();
    draw_frame();
    check_board();

    while (r.at < r.size) {
        int op = next_byte(&r);
        switch (op & 7) {
        case 0:
        case 1:
        case 2:
        case 3: {
            int free_now[BOARD_TILES];
            int n = free_tiles(free_now);
            int pick = next_byte(&r);
            int spot = next_byte(&r);
            int code = POINTER_PRESS;
            if ((op & 7) == 3)
                code = (op & 0x30) == 0x10   ? POINTER_RELEASE
                       : (op & 0x30) == 0x20 ? POINTER_MOTION
                                             : POINTER_PRESS;
            if (n > 0) {
                const Tile *t = &board.tiles[free_now[pick % n]];
                // Tiles hold their positions from the deal on, frame or no
                // frame, so an early press hits what is drawn.
                HARNESS_CHECK(t->screen_x ==
                              t->col * TILE_STEP_X + t->layer * LAYER_SHIFT + BOARD_LEFT);
                HARNESS_CHECK(t->screen_y ==
                              t->row * TILE_STEP_Y - t->layer * LAYER_SHIFT + BOARD_TOP);
                click(code, t->screen_x + spot % FACE_W, t->screen_y + (spot * 7) % FACE_H);
            } else {
                click(code, spot, pick);
            }
            break;
        }
        case 4: {
            int x = next_byte(&r) * 3 - 64;
            int y = next_byte(&r) * 2 - 16;
            click(op & 0x10 ? POINTER_PRESS : POINTER_MOTION, x, y);
            break;
        }
        case 5: {
            int before = board.move_count;
            int done = undo_pair();
            HARNESS_CHECK(done == (before > 0));
            HARNESS_CHECK(board.move_count == before - 2 * done);
            break;
        }
        case 6: {
            int before = board.move_count;
            int pending = board.redo_count;
            int done = redo_pair();
            HARNESS_CHECK(done == (pending > 0));
            HARNESS_CHECK(board.move_count == before + 2 * done);
            break;
        }
        case 7:
            deal_board();
            HARNESS_CHECK(board.move_count == 0 && board.redo_count == 0);
            break;
        }
        if (op & 0x40)
            HARNESS_CHECK(switch_tile_set() == 0);
        if (op & 0x80)
            with_assets(next_background);
        if (!(op & 8))
            draw_frame();
        check_board();
    }
    return 0;
}
