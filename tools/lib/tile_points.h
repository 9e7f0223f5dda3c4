// Which tiles can be picked, and where to press on the display to reach one.
#pragma once

// Lists the indices of the tiles free on the board as it stands; returns
// their count. The board's flags are left as they were.
int free_tiles(int *out);
// A display point (half the work-surface coordinates) whose press reaches
// tile t, preferring points near the middle of its face; 0 when there is none.
// Uses the positions and flags of the last render_board.
int press_point_for(int t, int *display_x, int *display_y);
