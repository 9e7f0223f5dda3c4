// Selection, matching, undo and redo.
#pragma once

// The status line: "Click on a tile" or "Click on another tile".
extern const char *status_text;
// The two texts status_text can point to, for having both ready at start-up.
extern const char *const status_messages[2];

// The topmost free tile whose hit area holds work-surface point (x, y), or -1;
// among tiles of one layer the lowest index wins. Uses the flags as they stand.
int tile_at_point(int x, int y);
// Handles a pointer record at work-surface point (x, y); 1 when something changed.
int click_tile(int code, int x, int y);
// Puts the last removed pair back; 1 when there was one.
int undo_pair();
// Removes again the last pair undone; 1 when there was one.
int redo_pair();
