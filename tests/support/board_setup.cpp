#include "board_setup.h"

#include "game/board.h"

int find_tile(int col, int row, int layer) {
    for (int i = 0; i < BOARD_TILES; ++i)
        if (board.tiles[i].col == col && board.tiles[i].row == row && board.tiles[i].layer == layer)
            return i;
    return -1;
}

void remove_all_tiles() {
    for (int i = 0; i < BOARD_TILES; ++i)
        board.tiles[i].flags = TILE_REMOVED;
}

void put_tile(int index, int col, int row, int layer) {
    Tile &t = board.tiles[index];
    t.col = (uint8_t)col;
    t.row = (uint8_t)row;
    t.layer = layer;
    t.flags = 0;
    set_tile_position(&t);
}
