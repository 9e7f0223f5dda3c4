// Selection, matching, undo and redo through pointer presses, and selection
// that outlives an undo or a redo.
#include "board_setup.h"
#include "game/board.h"
#include "game/deal.h"
#include "game/freedom.h"
#include "game/play.h"
#include "gfx/geometry.h"
#include "input/input.h"
#include "sound/sound.h"
#include <gtest/gtest.h>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::vector<std::string> effects;

void record_effect(const char *name) {
    effects.push_back(name);
}

// Presses the middle of a tile's hit area.
int press(int index) {
    const Tile &t = board.tiles[index];
    return click_tile(POINTER_PRESS, t.screen_x + 20, t.screen_y + 23);
}

bool selected(int index) {
    return board.tiles[index].flags & TILE_SELECTED;
}

bool removed(int index) {
    return board.tiles[index].flags & TILE_REMOVED;
}

class Play : public testing::Test {
  protected:
    // A fresh deal with the free tiles used below given known faces.
    void SetUp() override {
        srand(7);
        deal_board();
        status_text = "Click on a tile";
        left = find_tile(2, 0, 0);     // free end of row 0
        right = find_tile(24, 0, 0);   // free other end of row 0
        top = find_tile(13, 7, 4);     // the single top tile
        far_end = find_tile(28, 7, 0); // free right end
        board.tiles[left].face = 5;
        board.tiles[right].face = 5;
        board.tiles[top].face = 41;
        board.tiles[far_end].face = 43;
        effects.clear();
        effect_hook = record_effect;
    }
    void TearDown() override {
        effect_hook = nullptr;
    }
    int left = -1, right = -1, top = -1, far_end = -1;
};

bool is_free(int index) {
    update_tile_flags();
    return (board.tiles[index].flags & (TILE_BLOCKED | TILE_REMOVED)) == 0;
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

TEST_F(Play, PressesOutsideFreeTilesChangeNothing) {
    Board before = board;
    EXPECT_EQ(click_tile(POINTER_PRESS, 639, 479), 0);
    EXPECT_EQ(click_tile(POINTER_PRESS, 0, 0), 0);
    // (26, 7) lies under the point alone and is held on both sides.
    EXPECT_EQ(click_tile(POINTER_PRESS, 560, 200), 0);
    // Releases and motions are not presses.
    EXPECT_EQ(click_tile(POINTER_RELEASE, 64, 30), 0);
    EXPECT_EQ(click_tile(POINTER_MOTION, 64, 30), 0);
    EXPECT_TRUE(effects.empty());
    EXPECT_STREQ(status_text, "Click on a tile");
    for (int i = 0; i < 144; ++i)
        EXPECT_EQ(board.tiles[i].flags & (TILE_SELECTED | TILE_REMOVED), 0);
    EXPECT_EQ(board.move_count, before.move_count);
}

TEST_F(Play, HitAreaIsTheFaceMovedRightAndUp) {
    const Tile &t = board.tiles[left]; // screen position (44, 10)
    EXPECT_EQ(click_tile(POINTER_PRESS, t.screen_x - 1, t.screen_y), 0);
    EXPECT_EQ(click_tile(POINTER_PRESS, t.screen_x + 40, t.screen_y), 0);
    EXPECT_EQ(click_tile(POINTER_PRESS, t.screen_x, t.screen_y + 46), 0);
    EXPECT_EQ(click_tile(POINTER_PRESS, t.screen_x, t.screen_y), 1);
    EXPECT_TRUE(selected(left));
    EXPECT_EQ(click_tile(POINTER_PRESS, t.screen_x + 39, t.screen_y + 45), 1);
    EXPECT_FALSE(selected(left));
}

TEST_F(Play, SelectThenDeselect) {
    EXPECT_EQ(press(left), 1);
    EXPECT_TRUE(selected(left));
    EXPECT_STREQ(status_text, "Click on another tile");
    EXPECT_EQ(effects, std::vector<std::string>{"snd0.wav"});

    EXPECT_EQ(press(left), 1);
    EXPECT_FALSE(selected(left));
    EXPECT_STREQ(status_text, "Click on a tile");
    EXPECT_EQ(effects.size(), 2u);
    EXPECT_EQ(board.move_count, 0);
}

TEST_F(Play, MismatchKeepsTheFirstSelection) {
    ASSERT_EQ(press(left), 1);
    EXPECT_EQ(press(top), 1);
    EXPECT_TRUE(selected(left));
    EXPECT_FALSE(selected(top));
    EXPECT_FALSE(removed(top));
    EXPECT_STREQ(status_text, "Click on another tile");
    EXPECT_EQ(effects.size(), 2u);
    EXPECT_EQ(board.move_count, 0);
}

TEST_F(Play, MatchRemovesBothAndRecordsThePair) {
    ASSERT_EQ(press(left), 1);
    EXPECT_EQ(press(right), 1);
    EXPECT_TRUE(removed(left));
    EXPECT_TRUE(removed(right));
    EXPECT_FALSE(selected(left));
    EXPECT_FALSE(selected(right));
    EXPECT_EQ(board.move_count, 2);
    EXPECT_EQ(board.move_history[0], left);
    EXPECT_EQ(board.move_history[1], right);
    EXPECT_STREQ(status_text, "Click on a tile");
    EXPECT_EQ(effects.size(), 2u);
    // A removed tile can no longer be hit.
    EXPECT_EQ(press(left), 0);
}

TEST_F(Play, SingleFacesMatchWithinTheirGroupOnly) {
    ASSERT_EQ(press(top), 1);     // face 41
    EXPECT_EQ(press(far_end), 1); // face 43: same group
    EXPECT_TRUE(removed(top));
    EXPECT_TRUE(removed(far_end));

    undo_pair();
    board.tiles[far_end].face = 37;
    ASSERT_EQ(press(top), 1);
    EXPECT_EQ(press(far_end), 1);
    EXPECT_FALSE(removed(far_end));
    EXPECT_TRUE(selected(top));
}

TEST_F(Play, UndoUndoRedoThenNewMatchDropsRedo) {
    Board start = board;
    EXPECT_EQ(undo_pair(), 0);
    EXPECT_EQ(redo_pair(), 0);
    EXPECT_EQ(memcmp(&start, &board, sizeof board), 0);

    ASSERT_EQ(press(left), 1);
    ASSERT_EQ(press(right), 1);
    ASSERT_EQ(press(top), 1);
    ASSERT_EQ(press(far_end), 1);
    ASSERT_EQ(board.move_count, 4);
    size_t sounds = effects.size();

    EXPECT_EQ(undo_pair(), 1);
    Board after_first_undo = board;
    EXPECT_FALSE(removed(top));
    EXPECT_FALSE(removed(far_end));
    EXPECT_TRUE(removed(left));
    EXPECT_EQ(undo_pair(), 1);
    EXPECT_FALSE(removed(left));
    EXPECT_EQ(board.move_count, 0);
    EXPECT_EQ(board.redo_count, 2);
    EXPECT_EQ(undo_pair(), 0);

    EXPECT_EQ(redo_pair(), 1);
    EXPECT_EQ(board.move_count, after_first_undo.move_count);
    EXPECT_EQ(board.redo_count, after_first_undo.redo_count);
    for (int i = 0; i < 144; ++i)
        EXPECT_EQ(board.tiles[i].flags & TILE_REMOVED,
                  after_first_undo.tiles[i].flags & TILE_REMOVED);
    EXPECT_EQ(effects.size(), sounds) << "undo and redo are silent";
    EXPECT_STREQ(status_text, "Click on a tile");

    // A new match replaces the undone history.
    board.tiles[far_end].face = 41;
    board.tiles[top].face = 42;
    ASSERT_EQ(press(far_end), 1);
    ASSERT_EQ(press(top), 1);
    EXPECT_EQ(board.move_count, 4);
    EXPECT_EQ(board.move_history[2], far_end);
    EXPECT_EQ(board.move_history[3], top);
    EXPECT_EQ(redo_pair(), 0);
}

TEST_F(Play, UndoKeepsTheSelection) {
    ASSERT_EQ(press(left), 1);
    ASSERT_EQ(press(right), 1);
    ASSERT_EQ(press(top), 1);
    EXPECT_EQ(undo_pair(), 1);
    EXPECT_TRUE(selected(top));
    EXPECT_STREQ(status_text, "Click on another tile");
    EXPECT_EQ(redo_pair(), 1);
    EXPECT_TRUE(selected(top));
}

// Freedom is taken from the board as it stands, not from flags an earlier
// analysis left: a deal leaves the flags of its last backward step, and an
// undo puts tiles back over ones that were free when last drawn.
TEST_F(Play, PressesSeeTheBoardAsItStandsNow) {
    for (int i = 0; i < 144; ++i)
        board.tiles[i].flags &= ~TILE_BLOCKED; // stale: every tile looks free
    EXPECT_EQ(click_tile(POINTER_PRESS, 560, 200), 0) << "(26, 7) is held on both sides";

    int under = find_tile(12, 6, 3);
    ASSERT_EQ(press(top), 1);
    board.tiles[far_end].face = 41;
    ASSERT_EQ(press(far_end), 1);
    ASSERT_TRUE(removed(top));
    update_tile_flags(); // as the frame drawn after the match
    ASSERT_EQ(board.tiles[under].flags & TILE_BLOCKED, 0);
    ASSERT_EQ(undo_pair(), 1);
    // (270, 145) lies on (12, 6) layer 3 only, which the top tile covers again.
    EXPECT_EQ(click_tile(POINTER_PRESS, 270, 145), 0);
    EXPECT_FALSE(selected(under));
}

TEST(PlayHitTest, HigherLayerWinsAndLowerIndexBreaksTies) {
    place_tiles();
    remove_all_tiles();
    // Two overlapping free tiles of one layer: the lower index wins.
    put_tile(10, 4, 0, 0);
    put_tile(20, 5, 1, 0);
    EXPECT_EQ(click_tile(POINTER_PRESS, 110, 40), 1);
    EXPECT_TRUE(board.tiles[10].flags & TILE_SELECTED);
    EXPECT_FALSE(board.tiles[20].flags & TILE_SELECTED);

    // A free tile one layer up wins, whether its index is higher or lower.
    remove_all_tiles();
    put_tile(10, 4, 0, 0);
    put_tile(20, 5, 2, 1);
    EXPECT_EQ(click_tile(POINTER_PRESS, 115, 54), 1);
    EXPECT_TRUE(board.tiles[20].flags & TILE_SELECTED);
    EXPECT_FALSE(board.tiles[10].flags & TILE_SELECTED);

    remove_all_tiles();
    put_tile(10, 5, 2, 1);
    put_tile(20, 4, 0, 0);
    EXPECT_EQ(click_tile(POINTER_PRESS, 115, 54), 1);
    EXPECT_TRUE(board.tiles[10].flags & TILE_SELECTED);
    EXPECT_FALSE(board.tiles[20].flags & TILE_SELECTED);
    status_text = "Click on a tile";
}

TEST(PlayStart, FirstPressAfterADealUsesValidPositions) {
    srand(11);
    deal_board();
    // Nothing has been drawn: the positions come from the deal.
    EXPECT_EQ(click_tile(POINTER_PRESS, 45, 11), 1);
    EXPECT_TRUE(board.tiles[0].flags & TILE_SELECTED);
    status_text = "Click on a tile";
}

// Selection that outlives an undo or a redo: a selected tile that a redo
// takes off the board, or that an undo covers, must never be removed as
// half of a new pair.
