// The board record, face matching and the layout table.
#include "game/board.h"
#include "gfx/geometry.h"

Board board;

// Rows grouped by the half-tile row they stand on. A positive count is a stack
// on layers 0..count-1, a negative count one tile on layer -count-1.
// clang-format off
const LayoutEntry board_layout[] = {
    // row 0: 12 tiles
    {1, 2, 0}, {1, 4, 0}, {1, 6, 0}, {1, 8, 0}, {1, 10, 0}, {1, 12, 0},
    {1, 14, 0}, {1, 16, 0}, {1, 18, 0}, {1, 20, 0}, {1, 22, 0}, {1, 24, 0},
    // row 2: 14 tiles
    {1, 6, 2}, {2, 8, 2}, {2, 10, 2}, {2, 12, 2}, {2, 14, 2}, {2, 16, 2}, {2, 18, 2}, {1, 20, 2},
    // row 4: 20 tiles
    {1, 4, 4}, {1, 6, 4}, {2, 8, 4}, {3, 10, 4}, {3, 12, 4},
    {3, 14, 4}, {3, 16, 4}, {2, 18, 4}, {1, 20, 4}, {1, 22, 4},
    // row 6: 24 tiles
    {1, 2, 6}, {1, 4, 6}, {1, 6, 6}, {2, 8, 6}, {3, 10, 6}, {4, 12, 6},
    {4, 14, 6}, {3, 16, 6}, {2, 18, 6}, {1, 20, 6}, {1, 22, 6}, {1, 24, 6},
    // row 7: the three tiles between rows 6 and 8, then the single top tile
    {1, 0, 7}, {1, 26, 7}, {1, 28, 7}, {-5, 13, 7},
    // row 8: 24 tiles
    {1, 2, 8}, {1, 4, 8}, {1, 6, 8}, {2, 8, 8}, {3, 10, 8}, {4, 12, 8},
    {4, 14, 8}, {3, 16, 8}, {2, 18, 8}, {1, 20, 8}, {1, 22, 8}, {1, 24, 8},
    // row 10: 20 tiles
    {1, 4, 10}, {1, 6, 10}, {2, 8, 10}, {3, 10, 10}, {3, 12, 10},
    {3, 14, 10}, {3, 16, 10}, {2, 18, 10}, {1, 20, 10}, {1, 22, 10},
    // row 12: 14 tiles
    {1, 6, 12}, {2, 8, 12}, {2, 10, 12}, {2, 12, 12}, {2, 14, 12}, {2, 16, 12}, {2, 18, 12}, {1, 20, 12},
    // row 14: 12 tiles
    {1, 2, 14}, {1, 4, 14}, {1, 6, 14}, {1, 8, 14}, {1, 10, 14}, {1, 12, 14},
    {1, 14, 14}, {1, 16, 14}, {1, 18, 14}, {1, 20, 14}, {1, 22, 14}, {1, 24, 14},
    {0, 0, 0},
};
// clang-format on

bool tiles_match(int a, int b) {
    if (a <= 33 && b <= 33)
        return a == b;
    if (a >= 36 && a <= 39 && b >= 36 && b <= 39)
        return true;
    return a >= 40 && a <= 43 && b >= 40 && b <= 43;
}

void set_tile_position(Tile *tile) {
    tile->screen_x = tile->col * TILE_STEP_X + tile->layer * LAYER_SHIFT + BOARD_LEFT;
    tile->screen_y = tile->row * TILE_STEP_Y - tile->layer * LAYER_SHIFT + BOARD_TOP;
}

// Writes one tile at index; indices past the board are dropped, so a table
// that placed too many tiles could never write beyond it.
static void place_one(int *index, int col, int row, int layer) {
    if (*index >= BOARD_TILES)
        return;
    Tile *tile = &board.tiles[*index];
    tile->col = (uint8_t)col;
    tile->row = (uint8_t)row;
    tile->layer = layer;
    tile->flags = 0;
    set_tile_position(tile);
    ++*index;
}

void place_tiles() {
    int index = 0;
    for (const LayoutEntry *entry = board_layout; entry->count != 0; ++entry) {
        if (entry->count > 0) {
            for (int layer = 0; layer < entry->count; ++layer)
                place_one(&index, entry->col, entry->row, layer);
        } else {
            place_one(&index, entry->col, entry->row, -entry->count - 1);
        }
    }
    board.tile_count = index;
}

bool tile_can_pick(const Tile *tile) {
    return (tile->flags & (TILE_BLOCKED | TILE_REMOVED)) == 0;
}
