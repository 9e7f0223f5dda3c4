// The board renderer: background, status line, tiles layer by layer with
// their walls, frames and faces, and drop shadows through the shadow mask.
#include "gfx/render.h"

#include "app/app.h"
#include "assets/cycle.h"
#include "game/board.h"
#include "game/freedom.h"
#include "game/play.h"
#include "gfx/display.h"
#include "gfx/draw.h"

namespace {

const int LAYER_PASSES = 7; // layers 0..6 are drawn
const int SHADOW_STEP = 8;  // shadow offset per layer of height difference
const int FACE_W = 40;      // face picture size
const int FACE_H = 46;
const int CELL_W = 42; // face grid cell in the tile-set picture
const int CELL_H = 48;
const int FACES_ACROSS = 9;
const int TEXT_FROM_RIGHT = 280; // status text anchor, from the right and bottom edges
const int TEXT_FROM_BOTTOM = 80;

const uint32_t WALL_NEAR = 0xE7E3C7; // (231, 227, 199)
const uint32_t WALL_FAR = 0xF7F3F7;  // (247, 243, 247)
const uint32_t FRAME = 0x303030;     // (48, 48, 48)

// One shadow rectangle relative to the stamp origin.
struct ShadowSpan {
    int flag; // edge bit that enables it, 0 = always
    int x;
    int y;
    int w;
    int h;
};

// The shadow shape: an open top casts a slanting band of eight rows, an open
// upper or lower right half casts slanting columns, and the 2x2 square at the
// top right corner is always cast.
// clang-format off
const ShadowSpan SHADOW_SHAPE[] = {
    {TILE_OPEN_TOP, 6, -8, 40, 1},
    {TILE_OPEN_TOP, 4, -7, 43, 1},
    {TILE_OPEN_TOP, 2, -6, 43, 1},
    {TILE_OPEN_TOP, 1, -5, 43, 1},
    {TILE_OPEN_TOP, 0, -4, 43, 1},
    {TILE_OPEN_TOP, -1, -3, 43, 1},
    {TILE_OPEN_TOP, -2, -2, 43, 1},
    {TILE_OPEN_TOP, -3, -1, 43, 1},
    {TILE_OPEN_RIGHT_UPPER, 46, -6, 2, 23},
    {TILE_OPEN_RIGHT_UPPER, 45, -6, 1, 24},
    {TILE_OPEN_RIGHT_UPPER, 44, -5, 1, 24},
    {TILE_OPEN_RIGHT_UPPER, 43, -4, 1, 24},
    {TILE_OPEN_RIGHT_UPPER, 42, -3, 1, 24},
    {TILE_OPEN_RIGHT_UPPER, 41, -2, 1, 24},
    {TILE_OPEN_RIGHT_UPPER, 40, -1, 1, 24},
    {TILE_OPEN_RIGHT_LOWER, 47, 16, 1, 24},
    {TILE_OPEN_RIGHT_LOWER, 46, 17, 1, 24},
    {TILE_OPEN_RIGHT_LOWER, 45, 18, 1, 24},
    {TILE_OPEN_RIGHT_LOWER, 44, 19, 1, 24},
    {TILE_OPEN_RIGHT_LOWER, 43, 20, 1, 24},
    {TILE_OPEN_RIGHT_LOWER, 42, 21, 1, 24},
    {TILE_OPEN_RIGHT_LOWER, 41, 22, 1, 24},
    {TILE_OPEN_RIGHT_LOWER, 40, 23, 1, 24},
    {0, 38, 0, 2, 2},
};
// clang-format on

} // namespace

void stamp_tile_shadow(const Tile *tile, int d) {
    int x = tile->screen_x + d;
    int y = tile->screen_y - d;
    for (const ShadowSpan &s : SHADOW_SHAPE)
        if (s.flag == 0 || (tile->flags & s.flag))
            mask_rect(x + s.x, y + s.y, s.w, s.h, 1);
}

void draw_tile(const Tile *tile) {
    int x = tile->screen_x;
    int y = tile->screen_y;
    int flags = tile->flags;
    if (flags & TILE_OPEN_LEFT) {
        fill_rect_unmask(x - 4, y + 2, 2, 48, WALL_NEAR);
        fill_rect_unmask(x - 6, y + 4, 2, 48, WALL_FAR);
    }
    fill_rect_unmask(x + 38, y + 2, 2, 48, FRAME);
    fill_rect_unmask(x - 2, y, 42, 2, FRAME);
    if (flags & TILE_OPEN_BOTTOM) {
        fill_rect_unmask(x - 2, y + 48, 40, 2, WALL_NEAR);
        fill_rect_unmask(x - 4, y + 50, 40, 2, WALL_FAR);
    } else {
        fill_rect_unmask(x - 2, y + 48, 42, 2, FRAME);
    }
    // blit_paletted leaves out whatever part of the face cell lies outside a
    // tile-set picture that is too small (or empty), so nothing is read past
    // it; a face number whose cell starts outside the picture draws no face.
    int face = tile->face;
    long long cell_x = static_cast<long long>(CELL_W) * (face % FACES_ACROSS);
    long long cell_y = static_cast<long long>(CELL_H) * (face / FACES_ACROSS);
    if (face >= 0 && cell_x < tile_image.width && cell_y < tile_image.height)
        blit_paletted(x - 2, y + 2, &tile_image, static_cast<int>(cell_x), static_cast<int>(cell_y),
                      FACE_W, FACE_H);
    if (flags & TILE_SELECTED)
        light_rect(x - 2, y + 2, FACE_W, FACE_H);
    mask_rect(x - 2, y + 2, FACE_W, FACE_H, 0);
}

void invalidate_frame() {}

void render_board() {
    restore_screen(0);
    if (font && status_text) {
        int x = work_width - TEXT_FROM_RIGHT;
        int y = work_height - TEXT_FROM_BOTTOM;
        draw_text(font, work_surface, x, y, SDL_Color{200, 200, 200, 0}, "%s", status_text);
        draw_text(font, work_surface, x - 1, y - 1, SDL_Color{0, 0, 0, 0}, "%s", status_text);
    }
    update_tile_flags();
    mask_clear_all();
    for (int i = 0; i < BOARD_TILES; i++)
        set_tile_position(&board.tiles[i]);
    for (int pass = 0; pass < LAYER_PASSES; pass++) {
        for (int i = 0; i < BOARD_TILES; i++) {
            const Tile *t = &board.tiles[i];
            if (!(t->flags & TILE_REMOVED) && t->layer >= pass)
                stamp_tile_shadow(t, SHADOW_STEP * (t->layer - pass));
        }
        for (int i = 0; i < board.tile_count && i < BOARD_TILES; i++) {
            const Tile *t = &board.tiles[i];
            if (!(t->flags & TILE_REMOVED) && t->layer == pass)
                draw_tile(t);
        }
    }
    apply_shadow_mask(shadow_mask);
}
