// The board renderer: shadow shapes, wall and frame geometry, face cells,
// pass order, removed and out-of-range layers, highlight then shade, small
// tile-set pictures and the status line.
#include "board_setup.h"
#include "app/app.h"
#include "assets/cycle.h"
#include "frame_setup.h"
#include "game/board.h"
#include "game/deal.h"
#include "game/play.h"
#include "gfx/display.h"
#include "gfx/draw.h"
#include "gfx/render.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const int W = 640, H = 480;

// A set of work-surface pixels.
struct PixelSet {
    std::vector<bool> on = std::vector<bool>(W * H, false);
    void span(int y, int x0, int x1) {
        for (int x = x0; x <= x1; x++)
            if (x >= 0 && x < W && y >= 0 && y < H)
                on[y * W + x] = true;
    }
    void rect(int x, int y, int w, int h) {
        for (int r = y; r < y + h; r++)
            span(r, x, x + w - 1);
    }
    bool has(int x, int y) const {
        return on[y * W + x];
    }
};

// Compares shadow_mask with the expected set, reporting the first differences.
void expect_mask(const PixelSet &want, const std::string &what) {
    int wrong = 0;
    for (int y = 0; y < H; y++)
        for (int x = 0; x < W; x++)
            if (mask_bit(x, y) != want.has(x, y) && wrong++ < 4)
                ADD_FAILURE() << what << ": mask at " << x << "," << y << " is " << mask_bit(x, y);
    EXPECT_EQ(wrong, 0) << what;
}

uint16_t ground;     // background pixel value of slot 0
uint16_t near_wall;  // (231, 227, 199)
uint16_t far_wall;   // (247, 243, 247)
uint16_t frame_dark; // (48, 48, 48)

// A 376x238 tile set whose every pixel is a light colour (so highlighting
// shows) and whose index varies with position.
void make_tile_image(int w, int h) {
    free_image(&tile_image);
    std::memset(&tile_image, 0, sizeof tile_image);
    tile_image.width = w;
    tile_image.height = h;
    tile_image.pixels = w > 0 && h > 0 ? static_cast<uint8_t *>(malloc(w * h)) : nullptr;
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++)
            tile_image.pixels[y * w + x] = static_cast<uint8_t>(x * 7 + y * 13);
    for (int i = 0; i < 256; i++)
        tile_image.palette[i] = map_rgb(129 + i / 3, 200, 250 - i / 3);
}

uint16_t face_pixel(int face, int fx, int fy) {
    int sx = 42 * (face % 9) + fx, sy = 48 * (face / 9) + fy;
    return static_cast<uint16_t>(tile_image.palette[tile_image.pixels[sy * tile_image.width + sx]]);
}

void clear_board() {
    std::memset(&board, 0, sizeof board);
    board.tile_count = BOARD_TILES;
    remove_all_tiles();
}

Tile *put(int i, int col, int row, int layer, int face = 0) {
    Tile *t = &board.tiles[i];
    t->col = static_cast<uint8_t>(col);
    t->row = static_cast<uint8_t>(row);
    t->layer = layer;
    t->face = face;
    t->flags = 0;
    return t;
}

// A tile record placed directly at screen position (x, y) with given flags.
Tile at(int x, int y, int flags, int face = 0) {
    Tile t;
    std::memset(&t, 0, sizeof t);
    t.screen_x = x;
    t.screen_y = y;
    t.flags = flags;
    t.face = face;
    return t;
}

const int ALL_EDGES = TILE_OPEN_TOP | TILE_OPEN_RIGHT_UPPER | TILE_OPEN_RIGHT_LOWER |
                      TILE_OPEN_LEFT | TILE_OPEN_BOTTOM;

class Render : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        start_offscreen_display();
        fill_rect(0, 0, W, H, 60, 84, 12);
        save_screen(0);
        ground = work_pixel(0, 0);
        near_wall = static_cast<uint16_t>(map_rgb(231, 227, 199));
        far_wall = static_cast<uint16_t>(map_rgb(247, 243, 247));
        frame_dark = static_cast<uint16_t>(map_rgb(48, 48, 48));
    }
    void SetUp() override {
        ASSERT_NE(shade_table[ground], ground);
        saved_font_ = font;
        font = nullptr;
        make_tile_image(376, 238);
        clear_board();
        mask_clear_all();
    }
    void TearDown() override {
        font = saved_font_;
        free_image(&tile_image);
    }
    TTF_Font *saved_font_ = nullptr;
};

TEST_F(Render, TopShadowBandOfALoneStamp) {
    Tile t = at(212, 202, TILE_OPEN_TOP);
    stamp_tile_shadow(&t, 0);
    PixelSet want;
    const int rows[8][3] = {{194, 218, 257}, {195, 216, 258}, {196, 214, 256}, {197, 213, 255},
                            {198, 212, 254}, {199, 211, 253}, {200, 210, 252}, {201, 209, 251}};
    for (auto &r : rows)
        want.span(r[0], r[1], r[2]);
    want.span(202, 250, 251);
    want.span(203, 250, 251);
    expect_mask(want, "top-only stamp");
    // Moved by d: right and up by the same amount.
    mask_clear_all();
    stamp_tile_shadow(&t, 8);
    EXPECT_TRUE(mask_bit(226, 186));
    EXPECT_FALSE(mask_bit(225, 186));
    EXPECT_TRUE(mask_bit(259, 195));
}

TEST_F(Render, LoneTileWithEveryEdgeOpen) {
    put(0, 10, 8, 0, 12); // X = 212, Y = 202
    render_board();
    const Tile &t = board.tiles[0];
    ASSERT_EQ(t.screen_x, 212);
    ASSERT_EQ(t.screen_y, 202);
    ASSERT_EQ(t.flags & ALL_EDGES, ALL_EDGES);
    const int X = 212, Y = 202;
    PixelSet shade;
    shade.span(Y - 8, X + 6, X + 45);
    shade.span(Y - 7, X + 4, X + 46);
    const int left[6] = {2, 1, 0, -1, -2, -3};
    for (int k = 0; k < 6; k++)
        shade.span(Y - 6 + k, X + left[k], X + 47);
    for (int y = Y; y <= Y + 39; y++)
        shade.span(y, X + 40, X + 47);
    for (int k = 0; k <= 6; k++)
        shade.span(Y + 40 + k, X + 40, X + 46 - k);
    expect_mask(shade, "lone open tile");

    PixelSet drawn;
    drawn.rect(X - 4, Y + 2, 2, 48);
    drawn.rect(X - 6, Y + 4, 2, 48);
    drawn.rect(X + 38, Y + 2, 2, 48);
    drawn.rect(X - 2, Y, 42, 2);
    drawn.rect(X - 2, Y + 48, 40, 2);
    drawn.rect(X - 4, Y + 50, 40, 2);
    drawn.rect(X - 2, Y + 2, 40, 46);
    for (int y = 0; y < H; y++)
        for (int x = 0; x < W; x++) {
            if (!drawn.has(x, y)) {
                ASSERT_EQ(work_pixel(x, y), shade.has(x, y) ? shade_table[ground] : ground)
                    << x << "," << y;
            }
        }
    // Walls, frames and face.
    EXPECT_EQ(work_pixel(X - 4, Y + 2), near_wall);
    EXPECT_EQ(work_pixel(X - 3, Y + 49), near_wall);
    EXPECT_EQ(work_pixel(X - 6, Y + 4), far_wall);
    EXPECT_EQ(work_pixel(X - 5, Y + 51), far_wall);
    EXPECT_EQ(work_pixel(X + 38, Y + 2), frame_dark);
    EXPECT_EQ(work_pixel(X + 39, Y + 49), frame_dark);
    EXPECT_EQ(work_pixel(X - 2, Y), frame_dark);
    EXPECT_EQ(work_pixel(X + 39, Y + 1), frame_dark);
    EXPECT_EQ(work_pixel(X - 2, Y + 48), near_wall);
    EXPECT_EQ(work_pixel(X + 37, Y + 49), near_wall);
    EXPECT_EQ(work_pixel(X - 4, Y + 50), far_wall);
    EXPECT_EQ(work_pixel(X + 35, Y + 51), far_wall);
    for (int fy = 0; fy < 46; fy++)
        for (int fx = 0; fx < 40; fx++)
            ASSERT_EQ(work_pixel(X - 2 + fx, Y + 2 + fy), face_pixel(12, fx, fy))
                << fx << "," << fy;
}

TEST_F(Render, ClosedEdgesCastOnlyTheCornerSquareWhichTheFrameCovers) {
    Tile t = at(300, 200, 0);
    stamp_tile_shadow(&t, 0);
    PixelSet square;
    square.rect(338, 200, 2, 2);
    expect_mask(square, "closed tile stamp");
    draw_tile(&t);
    expect_mask(PixelSet(), "closed tile after drawing");
    // A closed bottom is a dark line 42 wide; no left walls.
    EXPECT_EQ(work_pixel(298, 248), frame_dark);
    EXPECT_EQ(work_pixel(339, 249), frame_dark);
    EXPECT_NE(work_pixel(296, 230), near_wall);
}

TEST_F(Render, TileOnLayerOneWithOnlyTheTopOpen) {
    // The passes of a layer-1 tile: pass 0 stamps at offset 8, pass 1 at 0 and draws.
    const int X = 300, Y = 200;
    Tile t = at(X, Y, TILE_OPEN_TOP);
    stamp_tile_shadow(&t, 8);
    stamp_tile_shadow(&t, 0);
    draw_tile(&t);
    PixelSet want;
    const int from[8] = {14, 12, 10, 9, 8, 7, 6, 5};
    const int to[8] = {53, 54, 52, 51, 50, 49, 48, 47};
    for (int k = 0; k < 8; k++)
        want.span(Y - 16 + k, X + from[k], X + to[k]);
    want.span(Y - 8, X + 6, X + 47);
    want.span(Y - 7, X + 4, X + 47);
    const int own[6] = {2, 1, 0, -1, -2, -3};
    const int own_to[6] = {44, 43, 42, 41, 40, 39};
    for (int k = 0; k < 6; k++)
        want.span(Y - 6 + k, X + own[k], X + own_to[k]);
    expect_mask(want, "layer-1 tile, top open");
}

TEST_F(Render, ColumnZeroWallsAreClippedOnLayerZeroAndShowOnLayerOne) {
    put(0, 0, 8, 0);
    render_board();
    ASSERT_EQ(board.tiles[0].screen_x, 2);
    // The strips at x -4..-1 are dropped; nothing wraps onto the end of the
    // row above, and column 0 holds the face, not a wall.
    int top = board.tiles[0].screen_y;
    for (int y = top; y < top + 53; y++)
        for (int x = 632; x < W; x++)
            ASSERT_EQ(work_pixel(x, y), ground) << x << "," << y;
    EXPECT_EQ(work_pixel(0, top + 10), face_pixel(0, 0, 8));
    clear_board();
    put(0, 0, 8, 1);
    render_board();
    const int Y = board.tiles[0].screen_y;
    ASSERT_EQ(board.tiles[0].screen_x, 6);
    EXPECT_EQ(work_pixel(2, Y + 2), near_wall);
    EXPECT_EQ(work_pixel(3, Y + 49), near_wall);
    EXPECT_EQ(work_pixel(0, Y + 4), far_wall);
    EXPECT_EQ(work_pixel(1, Y + 51), far_wall);
    EXPECT_EQ(work_pixel(0, Y + 3), ground);
}

TEST_F(Render, StampAboveTheTopRowIsCut) {
    // Row 0 on layer 4: screen_y -6; pass 0 stamps at offset 32, origin y -38.
    put(0, 10, 0, 4);
    Tile *t = &board.tiles[0];
    set_tile_position(t);
    ASSERT_EQ(t->screen_y, -6);
    t->flags = ALL_EDGES;
    stamp_tile_shadow(t, 32);
    const int X = t->screen_x + 32;
    PixelSet want;
    for (int k = 0; k < 8; k++)
        want.rect(X + 47 - k, 0, 1, 2 + k); // rows -22+k .. 1+k, cut at row 0
    expect_mask(want, "stamp of a row-0 layer-4 tile in pass 0");
}

TEST_F(Render, RemovedTilesAreNeitherStampedNorDrawnButPlaced) {
    put(0, 10, 8, 0);
    put(1, 14, 8, 2);
    board.tiles[0].flags = TILE_REMOVED;
    board.tiles[1].flags = TILE_REMOVED;
    board.tiles[0].screen_x = board.tiles[0].screen_y = -999;
    board.tiles[1].screen_x = board.tiles[1].screen_y = -999;
    render_board();
    EXPECT_EQ(board.tiles[0].screen_x, 212);
    EXPECT_EQ(board.tiles[0].screen_y, 202);
    EXPECT_EQ(board.tiles[1].screen_x, 14 * 21 + 8 + 2);
    EXPECT_EQ(board.tiles[1].screen_y, 8 * 24 - 8 + 10);
    expect_mask(PixelSet(), "removed tiles");
    for (int y = 0; y < H; y++)
        for (int x = 0; x < W; x++)
            ASSERT_EQ(work_pixel(x, y), ground) << x << "," << y;
}

TEST_F(Render, LayersSevenAndUpStampEveryPassAndNegativeLayersNothing) {
    put(0, 10, 8, 7);
    put(1, 4, 12, -1);
    render_board();
    const Tile &t = board.tiles[0];
    // No edge bits for a layer the analysis does not cover: only the corner
    // square, at offsets 56, 48, ..., 8 (passes 0 to 6); nothing is drawn.
    PixelSet want;
    for (int p = 0; p < 7; p++) {
        int d = 8 * (7 - p);
        want.rect(t.screen_x + 38 + d, t.screen_y - d, 2, 2);
    }
    expect_mask(want, "layer 7 tile");
    for (int y = 0; y < H; y++)
        for (int x = 0; x < W; x++)
            ASSERT_EQ(work_pixel(x, y), want.has(x, y) ? shade_table[ground] : ground)
                << x << "," << y;
}

TEST_F(Render, HigherLayerIndexOrderAndHighlightThenShade) {
    // B (layer 1, columns 8-9) shades the left part of A (layer 0, columns 10-11).
    put(0, 10, 8, 0, 5); // A: X 212, Y 202
    put(1, 8, 8, 1, 20); // B: X 174, Y 198
    board.tiles[0].flags = TILE_SELECTED;
    render_board();
    const int fx = 218 - 210, fy = 230 - 204; // (218, 230) on A's face
    EXPECT_TRUE(mask_bit(218, 230));
    EXPECT_EQ(work_pixel(218, 230), shade_table[light_table[face_pixel(5, fx, fy)]]);
    ASSERT_NE(light_table[face_pixel(5, fx, fy)], face_pixel(5, fx, fy));
    // Out of B's shadow A is only lightened.
    EXPECT_EQ(work_pixel(240, 230), light_table[face_pixel(5, 240 - 210, fy)]);
    // B's face is drawn over A's left wall strips, unshaded.
    EXPECT_EQ(work_pixel(205, 230), face_pixel(20, 205 - 172, 230 - 200));
    EXPECT_NE(board.tiles[0].flags & TILE_SELECTED, 0);

    board.tiles[0].flags = 0;
    render_board();
    EXPECT_EQ(work_pixel(218, 230), shade_table[face_pixel(5, fx, fy)]);
    EXPECT_EQ(work_pixel(240, 230), face_pixel(5, 240 - 210, fy));
}

TEST_F(Render, SameLayerOverlapPaintsHigherIndexOnTop) {
    put(0, 10, 8, 0, 1);
    put(1, 11, 9, 0, 2); // overlaps the lower right of tile 0 (half a tile off)
    render_board();
    // Tile 1's face: X 233, Y 226; its face starts at (231, 228).
    EXPECT_EQ(work_pixel(235, 235), face_pixel(2, 4, 7));
    // Drawing only reaches tile_count: tile 1 beyond it is stamped, not drawn.
    board.tile_count = 1;
    render_board();
    EXPECT_EQ(work_pixel(235, 235), face_pixel(1, 235 - 210, 235 - 204));
}

TEST_F(Render, SmallOrEmptyTileSetNeverReadsOutside) {
    // 100 x 50: face 0 whole, face 10 (cell at 42, 48) two rows high, face 43 nothing.
    make_tile_image(100, 50);
    put(0, 2, 2, 0, 0);
    put(1, 8, 2, 0, 10);
    put(2, 14, 2, 0, 43);
    render_board();
    const Tile &t1 = board.tiles[1];
    EXPECT_EQ(work_pixel(t1.screen_x - 2, t1.screen_y + 2), face_pixel(10, 0, 0));
    EXPECT_EQ(work_pixel(t1.screen_x - 2, t1.screen_y + 4), ground);
    const Tile &t2 = board.tiles[2];
    EXPECT_EQ(work_pixel(t2.screen_x + 10, t2.screen_y + 10), ground);
    // No picture at all: faces show the background, frames are still drawn.
    free_image(&tile_image);
    tile_image.width = tile_image.height = 0;
    render_board();
    const Tile &t0 = board.tiles[0];
    EXPECT_EQ(work_pixel(t0.screen_x + 10, t0.screen_y + 10), ground);
    EXPECT_EQ(work_pixel(t0.screen_x, t0.screen_y), frame_dark);
    // A face number outside the grid draws no face either.
    make_tile_image(376, 238);
    board.tiles[0].face = -5;
    board.tiles[1].face = 1000;
    render_board();
    EXPECT_EQ(work_pixel(t0.screen_x + 10, t0.screen_y + 10), ground);
    EXPECT_EQ(work_pixel(t1.screen_x + 10, t1.screen_y + 10), ground);
}

TEST_F(Render, FullDealTopTileShowsItsFaceCell) {
    srand(77);
    deal_board();
    render_board();
    int top = -1;
    for (int i = 0; i < BOARD_TILES; i++)
        if (board.tiles[i].layer == 4)
            top = i;
    ASSERT_GE(top, 0);
    const Tile &t = board.tiles[top];
    EXPECT_EQ(t.flags & TILE_BLOCKED, 0);
    for (int fy = 0; fy < 46; fy++)
        for (int fx = 0; fx < 40; fx++)
            ASSERT_EQ(work_pixel(t.screen_x - 2 + fx, t.screen_y + 2 + fy),
                      face_pixel(t.face, fx, fy))
                << fx << "," << fy;
}

TEST_F(Render, StatusLineIsDrawnTwiceAtItsAnchors) {
    TTF_Init();
    font = TTF_OpenFont("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", 24);
    ASSERT_NE(font, nullptr);
    status_text = "Click on a tile";
    render_board();
    bool grey = false, black = false;
    uint16_t black_value = static_cast<uint16_t>(map_rgb(0, 0, 0));
    uint16_t grey_value = static_cast<uint16_t>(map_rgb(200, 200, 200));
    for (int y = 0; y < H; y++)
        for (int x = 0; x < W; x++) {
            uint16_t p = work_pixel(x, y);
            if (x < 359 || y < 399) {
                ASSERT_EQ(p, ground) << x << "," << y;
                continue;
            }
            grey = grey || p == grey_value;
            black = black || p == black_value;
        }
    EXPECT_TRUE(grey);
    EXPECT_TRUE(black);
    TTF_CloseFont(font);
}

} // namespace
