// The board record, tile flags, face matching and the layout table.
#pragma once
#include <cstdint>

enum {
    BOARD_TILES = 144,             // tiles in a full deal
    TILE_BLOCKED = 0x001,          // covered, or held in on both sides
    TILE_REMOVED = 0x002,          // taken off the board
    TILE_OPEN_RIGHT_UPPER = 0x004, // nothing beside the upper half of the right edge
    TILE_OPEN_RIGHT_LOWER = 0x008, // nothing beside the lower half of the right edge
    TILE_OPEN_TOP = 0x010,         // nothing touching the top edge
    TILE_OPEN_LEFT = 0x020,        // nothing beside the left edge
    TILE_OPEN_BOTTOM = 0x040,      // nothing touching the bottom edge
    TILE_SELECTED = 0x100,         // selected, waiting for its partner
};

struct Tile {
    uint8_t col;      // column of the left half, in half-tile units
    uint8_t row;      // row of the upper half, in half-tile units
    int32_t screen_x; // left edge on the work surface
    int32_t screen_y; // top edge on the work surface
    int32_t layer;    // stacking level, 0 = on the table
    int32_t face;     // face number 0..33, 36..43
    int32_t flags;    // TILE_* bits
};

struct Board {
    Tile tiles[BOARD_TILES];       // in the order the layout places them
    int tile_count;                // tiles placed by the last deal
    int move_history[BOARD_TILES]; // removed pairs, two tile indices each
    int move_count;                // history entries in force (even)
    int redo_count;                // pairs beyond move_count that can be redone
};

struct LayoutEntry {
    int count; // >0: stack of count tiles; <0: one tile on layer -count-1; 0 ends
    int col;
    int row;
};

// The one game board.
extern Board board;
// The arrangement every deal places its tiles from; ends with count 0.
extern const LayoutEntry board_layout[];

// True when faces a and b may be removed together.
bool tiles_match(int a, int b);
// Writes col, row, layer, flags = 0 and the screen position of every tile
// from board_layout; sets tile_count.
void place_tiles();
// True when the tile is on the board and free (as the last freedom analysis found).
bool tile_can_pick(const Tile *tile);
// Sets screen_x and screen_y of a tile from its col, row and layer.
void set_tile_position(Tile *tile);
