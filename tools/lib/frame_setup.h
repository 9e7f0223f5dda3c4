// Bringing up the game's drawing state outside the game itself (tests,
// tools, benchmarks).
#pragma once
#include <cstdint>

// Starts the 640x480 work surface on SDL's dummy drivers (unless a driver is
// already chosen in the environment) and allocates shadow_mask; once per process.
void start_offscreen_display();
// The pixel value at (x, y) of the work surface.
uint16_t work_pixel(int x, int y);
// True when the shadow_mask bit of (x, y) is set.
bool mask_bit(int x, int y);
