// Arranging tiles on the board by hand for tests of the game rules.
#pragma once

// Index of the tile at half-tile column col, row row on layer layer, or -1.
int find_tile(int col, int row, int layer);
// Takes every tile off the board (flags TILE_REMOVED).
void remove_all_tiles();
// Puts tile index on the board at (col, row, layer) with no flags, positioned
// as a deal would.
void put_tile(int index, int col, int row, int layer);
