// Start-up, the main loop and the exit handler.
#pragma once
#include <SDL_ttf.h>

extern unsigned char quit_requested; // the player asked to quit
extern TTF_Font *font;               // status-line font, size 24, or null

// What one pass of the main loop leaves for the next.
struct LoopState {
    int redraw;         // draw and present the board after the next drain
    int history_action; // pending request: 1 undo, -1 redo, 0 none
};

// Brings every subsystem up and deals the first game; exits on fatal failures.
void start_up();
// Opens the status-line font into font; without it, says why on standard error.
void open_font();
// Runs the main loop until a quit is requested; returns the exit status.
int main_loop();
// One pass of the main loop: sleep 1 ms, drain the input queue acting on each
// code, draw and present if needed, then apply the pending undo or redo.
void main_loop_pass(LoopState *state);
// Closes audio and SDL and starts the launcher in place of the process; run at exit.
void exit_to_launcher();
