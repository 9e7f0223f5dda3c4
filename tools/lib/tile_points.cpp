// Finding where to press on the display to reach a given tile.
#include "tile_points.h"

#include "game/board.h"
#include "game/freedom.h"
#include "game/play.h"
#include "gfx/geometry.h"

#include <cstdlib>
#include <cstring>

int free_tiles(int *out) {
    static Board saved;
    memcpy(&saved, &board, sizeof board);
    update_tile_flags();
    int n = 0;
    for (int i = 0; i < BOARD_TILES; i++)
        if (tile_can_pick(&board.tiles[i]))
            out[n++] = i;
    memcpy(&board, &saved, sizeof board);
    return n;
}

int press_point_for(int t, int *display_x, int *display_y) {
    const Tile &tile = board.tiles[t];
    // Display pixels whose doubled coordinates fall on the tile's face.
    int left = (tile.screen_x + SAMPLING - 1) / SAMPLING;
    int top = (tile.screen_y + SAMPLING - 1) / SAMPLING;
    int mid_x = left + FACE_W / (2 * SAMPLING);
    int mid_y = top + FACE_H / (2 * SAMPLING);
    // Walk outwards from the middle in growing squares.
    for (int r = 0; r <= FACE_H / SAMPLING; r++)
        for (int dy = -r; dy <= r; dy++)
            for (int dx = -r; dx <= r; dx++) {
                if (abs(dx) != r && abs(dy) != r)
                    continue;
                int x = mid_x + dx;
                int y = mid_y + dy;
                if (x < 0 || y < 0 || x >= DISPLAY_WIDTH || y >= DISPLAY_HEIGHT)
                    continue;
                if (tile_at_point(SAMPLING * x, SAMPLING * y) == t) {
                    *display_x = x;
                    *display_y = y;
                    return 1;
                }
            }
    return 0;
}
