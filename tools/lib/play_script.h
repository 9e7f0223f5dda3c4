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
    long removals;   // pairs taken off the board by matches and redos
};

// How often each kind of action is chosen, in thousandths; what is left
// goes to keys and joystick buttons that mostly do nothing.
struct ActionMix {
    int tile_clicks;  // press on a free tile, preferring the selected tile's partner
    int other_clicks; // press, release or motion anywhere on the display
    int undos;        // Left key or joystick button 0
    int redos;        // Right key or joystick button 3
    int deals;        // Return
    int tile_sets;    // F1
    int backgrounds;  // joystick button 5 (F2)
};

// Unless the environment says otherwise: SDL's dummy video driver, and the
// disk audio driver writing to /dev/null, a real mixer device that finishes
// each buffer after delay_ms milliseconds, so effects run the whole mixer
// path quickly and silently.
void use_quiet_devices(const char *delay_ms);
// Makes a fresh working folder whose data/ holds the pictures and font of
// data_dir (linked) and tiny silent effects, and changes into it. With
// music, backgrounds 0 and 2 get a short MIDI piece each (1 and 3 stay
// silent); without, every music file is missing. The folder is removed at
// exit. Returns 0, or -1 with a message.
int enter_sandbox(const char *data_dir, bool with_music);
// Queues the platform events of one random action; rng is the caller's state.
void queue_random_action(uint32_t *rng, const ActionMix *mix, ScriptStats *stats);
// Runs the main loop until everything queued has been handled, drawn and
// any undo or redo applied, then clears the quit request it used to stop.
void run_queued(ScriptStats *stats);
// Releases any key the script holds down and runs the loop once more.
void release_held_keys(ScriptStats *stats);
// Resident memory of this process in bytes, from /proc/self/statm.
long resident_bytes();
// Prints the counts of each kind of action.
void print_stats(const ScriptStats *stats);
