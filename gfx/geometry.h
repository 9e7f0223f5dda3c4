// Sizes of the display, the work surface and the tiles, in one place: the
// board, the hit test, the renderer, the display, the pointer input, the
// asset tools and the tests all take their geometry from here.
#pragma once

enum {
    DISPLAY_WIDTH = 320, // the display, in pixels
    DISPLAY_HEIGHT = 240,
    DISPLAY_BPP = 16,                      // bits per pixel of the display and the work surface
    SAMPLING = 2,                          // work-surface pixels per display pixel, each way
    WORK_WIDTH = DISPLAY_WIDTH * SAMPLING, // the work surface everything is drawn on
    WORK_HEIGHT = DISPLAY_HEIGHT * SAMPLING,
    TILE_STEP_X = 21, // work pixels per half-tile column of the layout
    TILE_STEP_Y = 24, // work pixels per half-tile row of the layout
    LAYER_SHIFT = 4,  // each layer up moves a tile this far right and up
    BOARD_LEFT = 2,   // work-surface position of column 0, row 0 on layer 0
    BOARD_TOP = 10,
    FACE_W = 40, // a tile's face picture, and the area a pointer hits
    FACE_H = 46,
    CELL_W = 42, // one face's cell in a tile-set picture
    CELL_H = 48,
    FACES_ACROSS = 9,                  // cells per row of a tile-set picture: face f is in
                                       // cell (f mod 9, f div 9)
    FACE_COUNT = 44,                   // face numbers 0..43 a tile set holds
    TILESET_ROWS = 5,                  // rows of cells a generated tile-set picture has
    TILESET_W = FACES_ACROSS * CELL_W, // size of a generated tile-set picture
    TILESET_H = TILESET_ROWS * CELL_H,
};
