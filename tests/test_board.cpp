// The layout table, face matching and the freedom analysis.
#include "board_setup.h"
#include "game/board.h"
#include "game/freedom.h"
#include <gtest/gtest.h>
#include <cstring>

namespace {

bool is_free(int index) {
    return (board.tiles[index].flags & (TILE_BLOCKED | TILE_REMOVED)) == 0;
}

// Takes every tile off the board, so a test can put back only the ones it needs.
void empty_board() {
    place_tiles();
    remove_all_tiles();
}

} // namespace

TEST(Layout, PlacesAllTilesInTableOrder) {
    int rows = 0;
    while (board_layout[rows].count != 0)
        ++rows;
    EXPECT_EQ(rows, 88);

    memset(&board, 0xAB, sizeof board);
    place_tiles();
    ASSERT_EQ(board.tile_count, 144);
    EXPECT_EQ(board.tiles[0].col, 2);
    EXPECT_EQ(board.tiles[0].row, 0);
    EXPECT_EQ(board.tiles[0].layer, 0);

    int top = find_tile(13, 7, 4);
    ASSERT_GE(top, 1);
    EXPECT_EQ(board.tiles[top - 1].col, 28);
    EXPECT_EQ(board.tiles[top - 1].row, 7);

    int max_col = 0, max_row = 0, max_layer = 0;
    for (int i = 0; i < 144; ++i) {
        const Tile &t = board.tiles[i];
        EXPECT_EQ(t.flags, 0) << "tile " << i;
        max_col = std::max<int>(max_col, t.col);
        max_row = std::max<int>(max_row, t.row);
        max_layer = std::max(max_layer, t.layer);
    }
    EXPECT_EQ(max_col, 28);
    EXPECT_EQ(max_row, 14);
    EXPECT_EQ(max_layer, 4);
}

TEST(Layout, RowGroupsHoldTheirTileCounts) {
    place_tiles();
    const int group_rows[] = {0, 2, 4, 6, 7, 8, 10, 12, 14};
    const int expected[] = {12, 14, 20, 24, 4, 24, 20, 14, 12};
    for (int g = 0; g < 9; ++g) {
        int n = 0;
        for (int i = 0; i < 144; ++i)
            n += board.tiles[i].row == group_rows[g];
        EXPECT_EQ(n, expected[g]) << "row " << group_rows[g];
    }
}

// A table typo would show as two tiles in one place or a tile resting on air.
TEST(Layout, TilesNeitherOverlapNorFloat) {
    place_tiles();
    static int owner[5][32][32];
    memset(owner, -1, sizeof owner);
    for (int i = 0; i < 144; ++i) {
        const Tile &t = board.tiles[i];
        for (int dc = 0; dc < 2; ++dc)
            for (int dr = 0; dr < 2; ++dr) {
                int &cell = owner[t.layer][t.row + dr][t.col + dc];
                EXPECT_EQ(cell, -1) << "tiles " << cell << " and " << i << " share a cell";
                cell = i;
            }
    }
    for (int i = 0; i < 144; ++i) {
        const Tile &t = board.tiles[i];
        if (t.layer == 0)
            continue;
        for (int dc = 0; dc < 2; ++dc)
            for (int dr = 0; dr < 2; ++dr)
                EXPECT_NE(owner[t.layer - 1][t.row + dr][t.col + dc], -1)
                    << "tile " << i << " has nothing beneath a cell";
    }
}

TEST(Layout, ScreenPositionFollowsColumnRowAndLayer) {
    Tile t = {};
    t.col = 2;
    set_tile_position(&t);
    EXPECT_EQ(t.screen_x, 44);
    EXPECT_EQ(t.screen_y, 10);
    t.col = 13;
    t.row = 7;
    t.layer = 4;
    set_tile_position(&t);
    EXPECT_EQ(t.screen_x, 291);
    EXPECT_EQ(t.screen_y, 162);
    t.col = 28;
    t.row = 14;
    t.layer = 0;
    set_tile_position(&t);
    EXPECT_EQ(t.screen_x, 590);
    EXPECT_EQ(t.screen_y, 346);
}

TEST(TilesMatch, NamedCases) {
    EXPECT_TRUE(tiles_match(36, 39));
    EXPECT_FALSE(tiles_match(39, 40));
    EXPECT_FALSE(tiles_match(33, 36));
    EXPECT_TRUE(tiles_match(12, 12));
    EXPECT_TRUE(tiles_match(40, 43));
    EXPECT_FALSE(tiles_match(12, 13));
    EXPECT_FALSE(tiles_match(0, 36));
    EXPECT_TRUE(tiles_match(38, 38));
}

TEST(TilesMatch, GroupsOverEveryFacePair) {
    auto group = [](int f) { return f <= 33 ? f : f <= 39 ? 100 : 200; };
    const int faces[] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13,
                         14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27,
                         28, 29, 30, 31, 32, 33, 36, 37, 38, 39, 40, 41, 42, 43};
    for (int a : faces)
        for (int b : faces) {
            EXPECT_EQ(tiles_match(a, b), group(a) == group(b)) << a << " " << b;
            EXPECT_EQ(tiles_match(a, b), tiles_match(b, a));
        }
}

TEST(Freedom, FullBoardHas35FreeTiles) {
    place_tiles();
    update_tile_flags();
    int free_count = 0;
    for (int i = 0; i < 144; ++i)
        free_count += is_free(i);
    EXPECT_EQ(free_count, 35);

    const int free_tiles[][3] = {{13, 7, 4}, {0, 7, 0},   {28, 7, 0}, {2, 0, 0}, {24, 0, 0},
                                 {2, 14, 0}, {24, 14, 0}, {8, 2, 1},  {10, 4, 2}};
    for (auto &p : free_tiles) {
        int i = find_tile(p[0], p[1], p[2]);
        ASSERT_GE(i, 0);
        EXPECT_TRUE(is_free(i)) << p[0] << "," << p[1] << " layer " << p[2];
    }
    const int blocked_tiles[][3] = {{26, 7, 0}, {12, 6, 3}, {12, 6, 0}, {4, 0, 0}, {8, 2, 0}};
    for (auto &p : blocked_tiles) {
        int i = find_tile(p[0], p[1], p[2]);
        ASSERT_GE(i, 0);
        EXPECT_FALSE(is_free(i)) << p[0] << "," << p[1] << " layer " << p[2];
    }
}

// The row-7 tiles at columns 0 and 28 are offset by half a tile from their
// neighbours and still hold them: (2, 6) and (2, 8) are free only once (0, 7) goes.
TEST(Freedom, HalfRowNeighboursHoldTheirSide) {
    place_tiles();
    int end_tile = find_tile(0, 7, 0);
    int upper = find_tile(2, 6, 0), lower = find_tile(2, 8, 0);
    update_tile_flags();
    EXPECT_FALSE(is_free(upper));
    EXPECT_FALSE(is_free(lower));
    EXPECT_FALSE(board.tiles[upper].flags & TILE_OPEN_LEFT);
    EXPECT_EQ(board.tiles[end_tile].flags & (TILE_OPEN_RIGHT_UPPER | TILE_OPEN_RIGHT_LOWER), 0);
    EXPECT_TRUE(is_free(end_tile));

    board.tiles[end_tile].flags |= TILE_REMOVED;
    update_tile_flags();
    EXPECT_TRUE(is_free(upper));
    EXPECT_TRUE(is_free(lower));
    EXPECT_TRUE(board.tiles[upper].flags & TILE_OPEN_LEFT);

    // (26, 7) is held by (24, 6) and (24, 8) on the left and (28, 7) on the right.
    int middle = find_tile(26, 7, 0);
    board.tiles[find_tile(28, 7, 0)].flags |= TILE_REMOVED;
    update_tile_flags();
    EXPECT_TRUE(is_free(middle));
}

TEST(Freedom, SideNeighboursAndCoverOnSmallBoards) {
    empty_board();
    put_tile(0, 4, 4, 0);
    put_tile(1, 6, 4, 0); // right of tile 0
    update_tile_flags();
    EXPECT_TRUE(is_free(0)) << "a neighbour on one side only";
    EXPECT_TRUE(is_free(1));
    const int lone_edges = TILE_OPEN_TOP | TILE_OPEN_LEFT | TILE_OPEN_BOTTOM;
    EXPECT_EQ(board.tiles[0].flags & 0x7D, lone_edges);
    EXPECT_EQ(board.tiles[1].flags & 0x7D,
              TILE_OPEN_TOP | TILE_OPEN_BOTTOM | TILE_OPEN_RIGHT_UPPER | TILE_OPEN_RIGHT_LOWER);

    put_tile(2, 2, 5, 0); // left of tile 0, half a row lower
    update_tile_flags();
    EXPECT_FALSE(is_free(0)) << "neighbours on both sides block with nothing above";
    EXPECT_TRUE(is_free(2));
    EXPECT_EQ(board.tiles[2].flags & (TILE_OPEN_RIGHT_UPPER | TILE_OPEN_RIGHT_LOWER),
              TILE_OPEN_RIGHT_LOWER);

    // A tile one layer up covering a single cell blocks; two layers up does not.
    empty_board();
    put_tile(0, 4, 4, 0);
    put_tile(1, 5, 5, 2);
    update_tile_flags();
    EXPECT_TRUE(is_free(0));
    put_tile(1, 5, 5, 1);
    update_tile_flags();
    EXPECT_FALSE(is_free(0));
    EXPECT_TRUE(is_free(1));
    EXPECT_EQ(board.tiles[0].flags & 0x7C, 0x7C) << "tiles above are not side neighbours";

    // Tiles touching above and below close those edges only.
    empty_board();
    put_tile(0, 4, 4, 0);
    put_tile(1, 5, 2, 0);
    put_tile(2, 3, 6, 0);
    update_tile_flags();
    EXPECT_TRUE(is_free(0));
    EXPECT_EQ(board.tiles[0].flags & (TILE_OPEN_TOP | TILE_OPEN_BOTTOM), 0);
    EXPECT_TRUE(board.tiles[0].flags & TILE_OPEN_LEFT);
}

TEST(Freedom, RemovedTilesNeitherOccupyNorBlock) {
    place_tiles();
    int top = find_tile(13, 7, 4);
    int under = find_tile(12, 6, 3);
    board.tiles[top].flags |= TILE_REMOVED;
    update_tile_flags();
    EXPECT_TRUE(is_free(under));
    EXPECT_TRUE(board.tiles[top].flags & TILE_REMOVED);

    // Removing (4, 0) frees both of its neighbours on row 0.
    int gap = find_tile(4, 0, 0);
    board.tiles[gap].flags |= TILE_REMOVED;
    update_tile_flags();
    EXPECT_TRUE(is_free(find_tile(6, 0, 0)));
    EXPECT_TRUE(board.tiles[find_tile(2, 0, 0)].flags & TILE_OPEN_RIGHT_UPPER);
}

TEST(Freedom, RerunIsStableAndKeepsOtherBits) {
    place_tiles();
    board.tiles[7].flags = TILE_SELECTED | 0x200 | TILE_BLOCKED | TILE_OPEN_TOP;
    board.tiles[9].flags = TILE_REMOVED | 0x7D;
    update_tile_flags();
    int first[144];
    for (int i = 0; i < 144; ++i)
        first[i] = board.tiles[i].flags;
    EXPECT_EQ(first[7] & (TILE_SELECTED | 0x200), TILE_SELECTED | 0x200);
    EXPECT_TRUE(first[9] & TILE_REMOVED);
    update_tile_flags();
    for (int i = 0; i < 144; ++i)
        EXPECT_EQ(board.tiles[i].flags, first[i]) << "tile " << i;
}

TEST(Freedom, HighestLayersAndFarPositionsStayInsideTheGrid) {
    empty_board();
    put_tile(0, 35, 35, 6);
    put_tile(1, 0, 0, 5);
    put_tile(2, 1, 1, 6);
    update_tile_flags();
    EXPECT_TRUE(is_free(0));
    EXPECT_FALSE(is_free(1)) << "a layer-6 tile covers part of it";
    EXPECT_TRUE(is_free(2));
}
