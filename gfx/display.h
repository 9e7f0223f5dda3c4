// Display set-up, the work surface, colour tables and presentation.
#pragma once
#include <SDL.h>
#include <cstdint>

extern SDL_Surface *screen;       // the 320x240 display
extern SDL_Surface *work_surface; // the 640x480 drawing surface
extern int work_width;            // work surface width in pixels
extern int work_height;           // work surface height in pixels
extern int work_pitch;            // bytes from one work row to the next
extern uint16_t *work_pixels;     // pixel (0, 0) of the work surface
extern unsigned char surface_locked; // the work surface is held locked
extern uint16_t *shade_table;     // pixel value -> same colour at 3/4 brightness
extern uint16_t *light_table;     // pixel value -> lifted halfway to white if light
extern SDL_Joystick *joystick;    // joystick 0, or null
extern unsigned long frames_presented; // present_frame calls so far

// Starts SDL, the display, work surface, audio, joystick and colour tables.
void init_video(int width, int height);
// Shows the work surface halved on the display: all of it, or only the
// rectangles given to present_only since the last present_frame.
void present_frame();
// Limits the next present_frame to the display pixels sampled from this
// work-surface rectangle and those of earlier calls since the last present;
// an empty rectangle limits it to nothing more.
void present_only(int x, int y, int w, int h);
// Locks the work surface if it needs locking.
void lock_work_surface();
// Unlocks the work surface if it was locked.
void unlock_work_surface();
