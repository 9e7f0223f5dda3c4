// Selection, matching, undo and redo.
#include "game/play.h"
#include "game/board.h"
#include "game/freedom.h"
#include "gfx/geometry.h"
#include "input/input.h"
#include "sound/sound.h"

static const char MSG_PICK_TILE[] = "Click on a tile";
static const char MSG_PICK_PARTNER[] = "Click on another tile";

const char *status_text = MSG_PICK_TILE;
const char *const status_messages[2] = {MSG_PICK_TILE, MSG_PICK_PARTNER};

int tile_at_point(int x, int y) {
    int hit = -1;
    for (int i = 0; i < BOARD_TILES; ++i) {
        const Tile *tile = &board.tiles[i];
        if (!tile_can_pick(tile))
            continue;
        // The pointer hits a tile anywhere on its face.
        if (x < tile->screen_x || x >= tile->screen_x + FACE_W || y < tile->screen_y ||
            y >= tile->screen_y + FACE_H)
            continue;
        if (hit < 0 || tile->layer > board.tiles[hit].layer)
            hit = i;
    }
    return hit;
}

int click_tile(int code, int x, int y) {
    if (code != POINTER_PRESS)
        return 0;
    // A deal, undo or redo may have changed the board since the last frame
    // analysed it; pick only among tiles that are free now.
    update_tile_flags();
    int h = tile_at_point(x, y);
    if (h < 0)
        return 0;
    Tile *hit = &board.tiles[h];
    hit->flags ^= TILE_SELECTED;
    if (!(hit->flags & TILE_SELECTED)) {
        status_text = MSG_PICK_TILE;
        play_effect("snd0.wav");
        return 1;
    }
    play_effect("snd0.wav");
    int s = -1;
    for (int i = 0; i < BOARD_TILES; ++i) {
        if (i != h && (board.tiles[i].flags & TILE_SELECTED)) {
            s = i;
            break;
        }
    }
    if (s < 0) {
        status_text = MSG_PICK_PARTNER;
        return 1;
    }
    Tile *other = &board.tiles[s];
    // An undo since it was selected may have covered or hemmed in the waiting
    // tile. Only a free tile can be removed, so the new tile takes over the
    // selection instead.
    if (!tile_can_pick(other)) {
        other->flags &= ~TILE_SELECTED;
        status_text = MSG_PICK_PARTNER;
        return 1;
    }
    if (!tiles_match(other->face, hit->face) || board.move_count + 2 > BOARD_TILES) {
        hit->flags &= ~TILE_SELECTED;
        return 1;
    }
    other->flags = (other->flags | TILE_REMOVED) & ~TILE_SELECTED;
    hit->flags = (hit->flags | TILE_REMOVED) & ~TILE_SELECTED;
    board.redo_count = 0;
    board.move_history[board.move_count] = s;
    board.move_history[board.move_count + 1] = h;
    board.move_count += 2;
    status_text = MSG_PICK_TILE;
    return 1;
}

int undo_pair() {
    if (board.move_count < 2)
        return 0;
    board.tiles[board.move_history[board.move_count - 1]].flags &= ~TILE_REMOVED;
    board.tiles[board.move_history[board.move_count - 2]].flags &= ~TILE_REMOVED;
    board.redo_count += 1;
    board.move_count -= 2;
    return 1;
}

// Takes a tile off the board again for a redo. A tile that was selected
// after the undo loses its selection, so no removed tile stays selected.
static void remove_again(int index) {
    Tile *tile = &board.tiles[index];
    if (tile->flags & TILE_SELECTED)
        status_text = MSG_PICK_TILE;
    tile->flags = (tile->flags | TILE_REMOVED) & ~TILE_SELECTED;
}

int redo_pair() {
    if (board.redo_count <= 0 || board.move_count + 2 > BOARD_TILES)
        return 0;
    remove_again(board.move_history[board.move_count]);
    remove_again(board.move_history[board.move_count + 1]);
    board.redo_count -= 1;
    board.move_count += 2;
    return 1;
}
