// The deal generator: face counts, reproducibility and clearability.
#include "game/board.h"
#include "game/deal.h"
#include "game/freedom.h"
#include "game/play.h"
#include "gfx/geometry.h"
#include "sound/sound.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::vector<std::string> effects;

void record_effect(const char *name) {
    effects.push_back(name);
}

// Redoes the deal from the same seed the long way round, with the standard
// library's generator consumed in the same order, and compares every tile and
// the recorded removal order.
void expect_same_as_reference(unsigned seed) {
    srand(seed);
    int keys[144];
    for (int i = 0; i < 144; ++i)
        keys[i] = (rand() & 0x00FFFF00) | (i <= 135 ? i / 4 : i - 100);
    std::sort(keys, keys + 144);
    int faces[144];
    for (int i = 0; i < 144; ++i)
        faces[i] = keys[i] & 0xFF;
    std::vector<int> pairs;
    bool paired[144] = {};
    for (int i = 0; i < 143; ++i) {
        if (paired[i])
            continue;
        for (int j = i + 1; j < 144; ++j)
            if (!paired[j] && tiles_match(faces[i], faces[j])) {
                pairs.push_back(faces[i]);
                pairs.push_back(faces[j]);
                paired[i] = paired[j] = true;
                break;
            }
    }
    ASSERT_EQ(pairs.size(), 144u);

    // The backward play, on a scratch copy of the placed tiles.
    Board saved = board;
    int expected_face[144], expected_history[144];
    bool done = false;
    while (!done) {
        for (int i = 0; i < 144; ++i)
            board.tiles[i].flags = 0;
        done = true;
        for (int k = 0; k < 72 && done; ++k) {
            update_tile_flags();
            std::vector<int> free_keys;
            for (int t = 0; t < 144; ++t)
                if ((board.tiles[t].flags & 3) == 0)
                    free_keys.push_back((rand() & 0x00FFFF00) | t);
            if (free_keys.size() < 2) {
                done = false;
                break;
            }
            std::sort(free_keys.begin(), free_keys.end());
            int t0 = free_keys[0] & 0xFF, t1 = free_keys[1] & 0xFF;
            board.tiles[t0].flags |= TILE_REMOVED;
            board.tiles[t1].flags |= TILE_REMOVED;
            expected_history[2 * k] = t0;
            expected_history[2 * k + 1] = t1;
            expected_face[t0] = pairs[2 * k];
            expected_face[t1] = pairs[2 * k + 1];
        }
    }
    int next_rand = rand();
    board = saved;

    for (int i = 0; i < 144; ++i) {
        EXPECT_EQ(board.tiles[i].face, expected_face[i]) << "seed " << seed << " tile " << i;
        EXPECT_EQ(board.move_history[i], expected_history[i]) << "seed " << seed << " entry " << i;
    }
    // The deal took exactly as many numbers from the generator as the reference.
    srand(seed);
    deal_board();
    EXPECT_EQ(rand(), next_rand) << "seed " << seed;
}

} // namespace

TEST(Deal, MatchesTheReferenceGeneratorOrder) {
    for (unsigned seed : {1u, 2u, 42u, 1234567u, 4000000000u}) {
        srand(seed);
        deal_board();
        expect_same_as_reference(seed);
    }
}

TEST(Deal, SameSeedSameDealOtherSeedOtherDeal) {
    srand(99);
    deal_board();
    Board first = board;
    srand(99);
    deal_board();
    EXPECT_EQ(memcmp(&first, &board, sizeof board), 0);
    srand(100);
    deal_board();
    int differing = 0;
    for (int i = 0; i < 144; ++i)
        differing += first.tiles[i].face != board.tiles[i].face;
    EXPECT_GT(differing, 0);
}

// Every deal can be cleared: replaying the recorded removal order, both tiles
// of each pair are free and match, and the faces come in the right numbers.
TEST(Deal, TenThousandDealsAreClearable) {
    for (unsigned seed = 0; seed < 10000; ++seed) {
        srand(seed * 2654435761u);
        deal_board();
        ASSERT_EQ(board.tile_count, 144);
        ASSERT_EQ(board.move_count, 0);
        ASSERT_EQ(board.redo_count, 0);
        int counts[44] = {};
        for (int i = 0; i < 144; ++i) {
            int f = board.tiles[i].face;
            ASSERT_TRUE((f >= 0 && f <= 33) || (f >= 36 && f <= 43)) << "face " << f;
            ++counts[f];
            ASSERT_EQ(board.tiles[i].flags & (TILE_REMOVED | TILE_SELECTED), 0);
        }
        for (int f = 0; f <= 33; ++f)
            ASSERT_EQ(counts[f], 4) << "seed " << seed << " face " << f;
        for (int f = 36; f <= 43; ++f)
            ASSERT_EQ(counts[f], 1) << "seed " << seed << " face " << f;

        for (int k = 0; k < 72; ++k) {
            update_tile_flags();
            int a = board.move_history[2 * k], b = board.move_history[2 * k + 1];
            ASSERT_NE(a, b);
            ASSERT_EQ(board.tiles[a].flags & 3, 0) << "seed " << seed << " pair " << k;
            ASSERT_EQ(board.tiles[b].flags & 3, 0) << "seed " << seed << " pair " << k;
            int fa = board.tiles[a].face, fb = board.tiles[b].face;
            ASSERT_TRUE(tiles_match(fa, fb)) << "seed " << seed << " pair " << k;
            if (fa > 33) {
                ASSERT_NE(fa, fb) << "single faces pair with another of their group";
            }
            board.tiles[a].flags |= TILE_REMOVED;
            board.tiles[b].flags |= TILE_REMOVED;
        }
        for (int i = 0; i < 144; ++i)
            ASSERT_TRUE(board.tiles[i].flags & TILE_REMOVED);
    }
}

TEST(Deal, ResetsTheGameAndPlaysTheDealSound) {
    srand(5);
    deal_board();
    board.tiles[3].flags |= TILE_SELECTED;
    board.tiles[4].flags |= TILE_REMOVED;
    board.move_count = 2;
    board.redo_count = 1;
    status_text = "Click on another tile";
    for (int i = 0; i < 144; ++i)
        board.tiles[i].screen_x = board.tiles[i].screen_y = 0;

    effects.clear();
    effect_hook = record_effect;
    deal_board();
    effect_hook = nullptr;

    EXPECT_EQ(effects, std::vector<std::string>{"snd1.wav"});
    EXPECT_STREQ(status_text, "Click on another tile") << "a deal leaves the status line";
    EXPECT_EQ(board.move_count, 0);
    EXPECT_EQ(board.redo_count, 0);
    EXPECT_EQ(redo_pair(), 0);
    EXPECT_EQ(undo_pair(), 0);
    for (int i = 0; i < 144; ++i) {
        const Tile &t = board.tiles[i];
        EXPECT_EQ(t.flags & (TILE_SELECTED | TILE_REMOVED), 0);
        // Positions are valid from the deal on, before anything is drawn.
        EXPECT_EQ(t.screen_x, t.col * 21 + t.layer * 4 + 2) << "tile " << i;
        EXPECT_EQ(t.screen_y, t.row * 24 - t.layer * 4 + 10) << "tile " << i;
    }
    status_text = "Click on a tile";
}
