// The deal generator: shuffles the faces into matching pairs and hands them
// out by playing a game backwards, so every deal can be cleared.
#include "game/deal.h"
#include "game/board.h"
#include "game/freedom.h"
#include "sound/sound.h"
#include <cstdlib>

enum {
    KEY_RANDOM_BITS = 0x00FFFF00, // bits of rand() that order the keys
    KEY_PAYLOAD = 0xFF,           // the low byte carries what is being shuffled
    FACE_PAIRS = BOARD_TILES / 2,
};

// Ascending order of two int keys for qsort.
static int compare_keys(const void *a, const void *b) {
    int x = *(const int *)a, y = *(const int *)b;
    return (x > y) - (x < y);
}

// A sort key: random bits 8..23 with the payload in the low byte.
static int random_key(int payload) {
    return (rand() & KEY_RANDOM_BITS) | payload;
}

// Shuffles the 144 faces into faces[].
static void shuffle_faces(int faces[BOARD_TILES]) {
    int keys[BOARD_TILES];
    for (int i = 0; i < BOARD_TILES; ++i)
        keys[i] = random_key(i <= 135 ? i / 4 : i - 100);
    qsort(keys, BOARD_TILES, sizeof keys[0], compare_keys);
    for (int i = 0; i < BOARD_TILES; ++i)
        faces[i] = keys[i] & KEY_PAYLOAD;
}

// Groups the shuffled faces into 72 matching pairs, in the order of their
// first members; each face pairs with the next unpaired face it matches.
static void pair_faces(const int faces[BOARD_TILES], int face_pairs[BOARD_TILES]) {
    bool paired[BOARD_TILES] = {};
    int count = 0;
    for (int i = 0; i < BOARD_TILES - 1; ++i) {
        if (paired[i])
            continue;
        for (int j = i + 1; j < BOARD_TILES; ++j) {
            if (!paired[j] && tiles_match(faces[i], faces[j])) {
                face_pairs[count++] = faces[i];
                face_pairs[count++] = faces[j];
                paired[i] = paired[j] = true;
                break;
            }
        }
    }
}

// Removes random pairs of free tiles until the board is empty, giving each
// pair the next faces; returns false at a dead end (fewer than two free tiles).
static bool play_backwards(const int face_pairs[BOARD_TILES]) {
    for (int i = 0; i < BOARD_TILES; ++i)
        board.tiles[i].flags = 0;
    for (int k = 0; k < FACE_PAIRS; ++k) {
        update_tile_flags();
        int keys[BOARD_TILES];
        int free_count = 0;
        for (int t = 0; t < BOARD_TILES; ++t) {
            if (tile_can_pick(&board.tiles[t]))
                keys[free_count++] = random_key(t);
        }
        if (free_count < 2)
            return false;
        qsort(keys, free_count, sizeof keys[0], compare_keys);
        int t0 = keys[0] & KEY_PAYLOAD, t1 = keys[1] & KEY_PAYLOAD;
        board.tiles[t0].flags |= TILE_REMOVED;
        board.tiles[t1].flags |= TILE_REMOVED;
        board.move_history[2 * k] = t0;
        board.move_history[2 * k + 1] = t1;
        board.tiles[t0].face = face_pairs[2 * k];
        board.tiles[t1].face = face_pairs[2 * k + 1];
    }
    return true;
}

void deal_board() {
    int faces[BOARD_TILES];
    int face_pairs[BOARD_TILES];
    shuffle_faces(faces);
    pair_faces(faces, face_pairs);
    place_tiles();
    while (!play_backwards(face_pairs)) {
    }
    for (int i = 0; i < BOARD_TILES; ++i)
        board.tiles[i].flags &= ~TILE_REMOVED;
    board.move_count = 0;
    board.redo_count = 0;
    play_effect("snd1.wav");
}
