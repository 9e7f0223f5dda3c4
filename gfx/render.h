// Composes a whole frame of the board on the work surface.
#pragma once

struct Tile;

// Brings the work surface to the whole frame of the board as it stands:
// background, status line, tiles and shadows. Only what changed since the
// last frame is recomputed.
void render_board();
// Forgets what the work surface and the display hold: the next render_board
// redraws the whole frame and the next present_frame shows all of it. For
// code that writes pixels or changes tile_image behind the renderer's back.
void invalidate_frame();
// Renders the status line for text and composes it over the saved background
// now, so that the first frame showing it costs what every later one does;
// the next frame is drawn whole.
void prepare_status_line(const char *text);
// Converts the faces of tile_image to pixel values, as each tile-set load
// needs once; a frame does it itself for a picture it has not seen.
void convert_tile_faces();
// Marks the shadow shape of a tile, moved d pixels right and up, in shadow_mask.
void stamp_tile_shadow(const Tile *tile, int d);
// Draws one tile: walls, frame, face, highlight; clears the mask under it.
void draw_tile(const Tile *tile);
