// Finding where to press on the display to reach a given tile.
#pragma once

// The tile a pointer press at work-surface point (x, y) reaches: the free tile
// under the point on the highest layer (lowest index among equals), or -1.
// Uses the positions and flags of the last render_board.
int tile_under_point(int x, int y);
// A display point (half the work-surface coordinates) whose press reaches
// tile t, preferring points near the middle of its face; 0 when there is none.
int press_point_for(int t, int *display_x, int *display_y);
