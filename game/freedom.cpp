// Freedom analysis: which tiles can be picked and which edges are open.
#include "game/freedom.h"
#include "game/board.h"
#include <cstring>

enum {
    GRID_SIZE = 40,                             // half-tile cells per side of the occupancy grid
    GRID_OFFSET = 2,                            // tile cell (c, r) is grid cell (c + 2, r + 2)
    MAX_LAYER = 6,                              // one byte per cell, and a tile looks at layer + 1
    MAX_POSITION = GRID_SIZE - GRID_OFFSET - 3, // largest col or row whose neighbours fit
    FLAGS_COMPUTED = TILE_BLOCKED | TILE_OPEN_RIGHT_UPPER | TILE_OPEN_RIGHT_LOWER | TILE_OPEN_TOP |
                     TILE_OPEN_LEFT | TILE_OPEN_BOTTOM,
};

// One bit per layer for every half-tile cell; rebuilt on each call.
static uint8_t grid[GRID_SIZE][GRID_SIZE];

// Tiles outside the grid's reach take no part in the analysis.
static bool analysable(const Tile *tile) {
    return tile->layer >= 0 && tile->layer <= MAX_LAYER && tile->col <= MAX_POSITION &&
           tile->row <= MAX_POSITION;
}

// The layer bits of tile cell (col, row); the offset keeps col - 1 inside the grid.
static uint8_t cell(int col, int row) {
    return grid[row + GRID_OFFSET][col + GRID_OFFSET];
}

// What the flags were last computed from, and the flags computed: when
// neither the board nor those flags changed since, the analysis would
// only write the same bits again (every frame and every tap ask for it).
struct TileInput {
    int32_t layer;
    int32_t computed; // flags & FLAGS_COMPUTED as last written
    uint8_t col;
    uint8_t row;
    uint8_t removed;
};
static TileInput last_input[BOARD_TILES];
static bool have_last_input = false;

static bool board_unchanged() {
    if (!have_last_input)
        return false;
    for (int i = 0; i < BOARD_TILES; ++i) {
        const Tile *tile = &board.tiles[i];
        const TileInput *in = &last_input[i];
        if (in->layer != tile->layer || in->col != tile->col || in->row != tile->row ||
            in->removed != ((tile->flags & TILE_REMOVED) != 0) ||
            in->computed != (tile->flags & FLAGS_COMPUTED))
            return false;
    }
    return true;
}

static void remember_input() {
    for (int i = 0; i < BOARD_TILES; ++i) {
        const Tile *tile = &board.tiles[i];
        TileInput *in = &last_input[i];
        in->layer = tile->layer;
        in->col = tile->col;
        in->row = tile->row;
        in->removed = (tile->flags & TILE_REMOVED) != 0;
        in->computed = tile->flags & FLAGS_COMPUTED;
    }
    have_last_input = true;
}

void update_tile_flags() {
    if (board_unchanged())
        return;
    memset(grid, 0, sizeof grid);
    for (int i = 0; i < BOARD_TILES; ++i) {
        Tile *tile = &board.tiles[i];
        tile->flags &= ~FLAGS_COMPUTED;
        if ((tile->flags & TILE_REMOVED) || !analysable(tile))
            continue;
        uint8_t bit = (uint8_t)(1u << tile->layer);
        int gc = tile->col + GRID_OFFSET, gr = tile->row + GRID_OFFSET;
        grid[gr][gc] |= bit;
        grid[gr][gc + 1] |= bit;
        grid[gr + 1][gc] |= bit;
        grid[gr + 1][gc + 1] |= bit;
    }
    for (int i = 0; i < BOARD_TILES; ++i) {
        Tile *tile = &board.tiles[i];
        if (!analysable(tile)) {
            tile->flags |= TILE_BLOCKED;
            continue;
        }
        int c = tile->col, r = tile->row;
        uint8_t same = (uint8_t)(1u << tile->layer);
        uint8_t above = (uint8_t)(same << 1);
        bool left_upper = cell(c - 1, r) & same, left_lower = cell(c - 1, r + 1) & same;
        bool right_upper = cell(c + 2, r) & same, right_lower = cell(c + 2, r + 1) & same;
        bool left_held = left_upper || left_lower;
        bool right_held = right_upper || right_lower;
        if (left_held && right_held)
            tile->flags |= TILE_BLOCKED;
        else if ((cell(c, r) | cell(c + 1, r) | cell(c, r + 1) | cell(c + 1, r + 1)) & above)
            tile->flags |= TILE_BLOCKED;
        if (!((cell(c, r - 1) | cell(c + 1, r - 1)) & same))
            tile->flags |= TILE_OPEN_TOP;
        if (!right_upper)
            tile->flags |= TILE_OPEN_RIGHT_UPPER;
        if (!right_lower)
            tile->flags |= TILE_OPEN_RIGHT_LOWER;
        if (!left_held)
            tile->flags |= TILE_OPEN_LEFT;
        if (!((cell(c, r + 2) | cell(c + 1, r + 2)) & same))
            tile->flags |= TILE_OPEN_BOTTOM;
    }
    remember_input();
}
