// Composes a whole frame of the board on the work surface.
#pragma once

struct Tile;

// Draws background, status line, tiles and shadows.
void render_board();
// Marks the shadow shape of a tile, moved d pixels right and up, in shadow_mask.
void stamp_tile_shadow(const Tile *tile, int d);
// Draws one tile: walls, frame, face, highlight; clears the mask under it.
void draw_tile(const Tile *tile);
