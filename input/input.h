// Input translation: keys, joystick and pointer into a queue of input codes.
#pragma once
#include <SDL.h>
#include <cstdint>

// Input codes the game acts on. Key codes stay below 1024; a pointer record
// is a code with POINTER_BIT set followed by two values, the work-surface
// point x * SAMPLING and y * SAMPLING.
enum {
    CODE_RETURN = 13,
    CODE_ESCAPE = 27,
    CODE_F1 = 384,
    CODE_F2 = 385,
    CODE_LEFT = 400,
    CODE_RIGHT = 401,
    POINTER_BIT = 0x400,  // set in the first value of every pointer record
    POINTER_PRESS = 1024, // pointer records, whatever the button
    POINTER_RELEASE = 1027,
    POINTER_MOTION = 1030,
};

// Joystick buttons that act as keys; all others do nothing.
enum {
    JOY_LEFT = 0,   // acts as Left: undo
    JOY_RIGHT = 3,  // acts as Right: redo
    JOY_F1 = 4,     // acts as F1: next tile set
    JOY_F2 = 5,     // acts as F2: next background
    JOY_RETURN = 8, // acts as Return: new deal
    JOY_ESCAPE = 9, // acts as Escape: quit
};

// Pumps the platform's events into the queue; call before every queue_pop.
void poll_input();
// The oldest pending value, or -1 when the queue is empty.
int32_t queue_pop();
// 1 when a key with that plain code is held down, else 0.
int is_key_held(int32_t plain);
// Empties the queue; init_video's first step.
void clear_input_queue();
// Opens joystick 0 for init_video, or reports why not and returns null.
SDL_Joystick *open_joystick();
