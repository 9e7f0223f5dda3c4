// Selection that outlives an undo or a redo: a selected tile that a redo
// takes off the board, or that an undo covers, must never be removed as
// half of a new pair.
#include "board_setup.h"
#include "game/board.h"
#include "game/deal.h"
#include "game/freedom.h"
#include "game/play.h"
#include "input/input.h"
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>

namespace {

bool is_free(int index) {
    update_tile_flags();
    return (board.tiles[index].flags & (TILE_BLOCKED | TILE_REMOVED)) == 0;
}

int press(int index) {
    const Tile *t = &board.tiles[index];
    return click_tile(POINTER_PRESS, t->screen_x + 20, t->screen_y + 20);
}

// Removes two tiles through the history, as a matched pair would.
void record_pair(int a, int b) {
    board.tiles[a].flags |= TILE_REMOVED;
    board.tiles[b].flags |= TILE_REMOVED;
    board.move_history[board.move_count] = a;
    board.move_history[board.move_count + 1] = b;
    board.move_count += 2;
    board.redo_count = 0;
}

class PlayGuards : public ::testing::Test {
  protected:
    void SetUp() override {
        srand(12345);
        deal_board();
        status_text = "Click on a tile";
        top = find_tile(13, 7, 4);
        under = find_tile(12, 6, 3);
        left_end = find_tile(0, 7, 0);
        right_end = find_tile(28, 7, 0);
        ASSERT_GE(top, 0);
        ASSERT_GE(under, 0);
        ASSERT_GE(left_end, 0);
        ASSERT_GE(right_end, 0);
    }
    int top = -1, under = -1, left_end = -1, right_end = -1;
};

TEST_F(PlayGuards, RedoDropsTheSelectionOfATileItTakesOff) {
    board.tiles[left_end].face = 40;
    board.tiles[right_end].face = 41;
    record_pair(left_end, right_end);
    ASSERT_EQ(undo_pair(), 1);
    ASSERT_TRUE(is_free(left_end));
    ASSERT_EQ(press(left_end), 1);
    ASSERT_TRUE(board.tiles[left_end].flags & TILE_SELECTED);
    ASSERT_STREQ(status_text, "Click on another tile");

    ASSERT_EQ(redo_pair(), 1);
    EXPECT_TRUE(board.tiles[left_end].flags & TILE_REMOVED);
    EXPECT_FALSE(board.tiles[left_end].flags & TILE_SELECTED);
    EXPECT_STREQ(status_text, "Click on a tile");
    for (int i = 0; i < BOARD_TILES; ++i)
        EXPECT_FALSE(board.tiles[i].flags & TILE_SELECTED) << "tile " << i;
}

TEST_F(PlayGuards, RedoOfUnselectedTilesKeepsTheSelectionElsewhere) {
    board.tiles[left_end].face = 40;
    board.tiles[right_end].face = 41;
    record_pair(left_end, right_end);
    ASSERT_EQ(undo_pair(), 1);
    ASSERT_EQ(press(top), 1);
    ASSERT_EQ(redo_pair(), 1);
    EXPECT_TRUE(board.tiles[top].flags & TILE_SELECTED);
    EXPECT_STREQ(status_text, "Click on another tile");
}

TEST_F(PlayGuards, ASelectedTileCoveredByAnUndoIsNotRemoved) {
    // The top tile and one end tile are off the board; the tile under the
    // top is free and gets selected; an undo puts the top tile back on it.
    board.tiles[top].face = 36;
    board.tiles[right_end].face = 37;
    board.tiles[under].face = 42;
    board.tiles[left_end].face = 43;
    record_pair(top, right_end);
    ASSERT_TRUE(is_free(under));
    ASSERT_EQ(press(under), 1);
    ASSERT_TRUE(board.tiles[under].flags & TILE_SELECTED);
    ASSERT_EQ(undo_pair(), 1);
    ASSERT_FALSE(is_free(under));

    // A matching free tile is pressed: the covered tile stays on the board
    // and the pressed tile becomes the one waiting for a partner.
    ASSERT_TRUE(is_free(left_end));
    EXPECT_EQ(press(left_end), 1);
    EXPECT_EQ(board.move_count, 0);
    EXPECT_FALSE(board.tiles[under].flags & TILE_REMOVED);
    EXPECT_FALSE(board.tiles[left_end].flags & TILE_REMOVED);
    EXPECT_FALSE(board.tiles[under].flags & TILE_SELECTED);
    EXPECT_TRUE(board.tiles[left_end].flags & TILE_SELECTED);
    EXPECT_STREQ(status_text, "Click on another tile");
}

TEST_F(PlayGuards, AStillFreeSelectedTileMatchesAfterAnUndo) {
    board.tiles[left_end].face = 38;
    board.tiles[right_end].face = 39;
    board.tiles[top].face = 40;
    board.tiles[under].face = 41;
    record_pair(top, under);
    ASSERT_EQ(press(left_end), 1);
    ASSERT_EQ(undo_pair(), 1);
    ASSERT_TRUE(is_free(left_end));
    EXPECT_EQ(press(right_end), 1);
    EXPECT_EQ(board.move_count, 2);
    EXPECT_EQ(board.move_history[0], left_end);
    EXPECT_EQ(board.move_history[1], right_end);
    EXPECT_EQ(board.redo_count, 0);
}

} // namespace
