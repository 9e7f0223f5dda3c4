// Plays the whole game in-process the way a player does: platform events
// go into SDL's queue, the real main loop drains them, draws and presents.
// Used by the memory check and the soak run.
#pragma once
#include <cstdint>

struct ScriptStats {
    long actions;      // actions queued so far
    long tile_clicks;  // presses aimed at a free tile
    long other_clicks; // presses, releases and motion anywhere
    long undos;
    long redos;
    long deals;
    long tile_sets;
    long backgrounds;
    long other_keys; // keys and joystick buttons the game ignores, quit included
    long passes;     // main-loop runs
};

// Makes a fresh working folder whose data/ holds the pictures and font of
// data_dir (linked), tiny silent effects and short music, and changes into
// it. The folder is removed at exit. Returns 0, or -1 with a message.
int enter_sandbox(const char *data_dir);
// Queues the platform events of one random action; rng is the caller's state.
void queue_random_action(uint32_t *rng, ScriptStats *stats);
// Runs the main loop until everything queued has been handled, drawn and
// any undo or redo applied, then clears the quit request it used to stop.
void run_queued(ScriptStats *stats);
// Releases any key the script holds down and runs the loop once more.
void release_held_keys(ScriptStats *stats);
// Resident memory of this process in bytes, from /proc/self/statm.
long resident_bytes();
// Prints the counts of each kind of action.
void print_stats(const ScriptStats *stats);
