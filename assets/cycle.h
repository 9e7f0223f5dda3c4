// Cycling through tile-set and background pictures.
#pragma once
#include "assets/pcx.h"

extern int tileset_index;       // number of the tile set in use, -1 before the first
extern int background_index;    // number of the background in use, -1 before the first
extern PalettedImage tile_image; // the current tile-set picture

// Loads the next tile set (wrapping to 0); 0, or the code of tile set 0's failure.
int next_tile_set();
// Loads, paints and saves into slot 0 the next background, and starts its music.
void next_background();
