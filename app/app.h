// Start-up, the main loop and the exit handler.
#pragma once
#include <SDL_ttf.h>

extern unsigned char quit_requested; // the player asked to quit
extern TTF_Font *font;               // status-line font, size 24, or null

// Brings every subsystem up and deals the first game; exits on fatal failures.
void start_up();
// Runs the main loop until a quit is requested; returns the exit status.
int main_loop();
