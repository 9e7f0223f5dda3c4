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

struct KeyMapEntry {
    int32_t sym;          // SDLKey value
    int32_t plain_code;   // code without Shift
    int32_t shifted_code; // code with Shift
};

extern int32_t input_queue[64];     // ring of pending input codes
extern int32_t queue_head;          // next slot to write
extern int32_t queue_tail;          // next slot to read
extern int32_t held_keys[32];       // plain codes of the keys held down
extern int32_t held_count;          // valid entries of held_keys
extern uint8_t repeat_active;       // auto-repeat armed
extern int32_t repeat_due;          // SDL_GetTicks time after which the next repeat fires
extern int32_t repeat_code;         // code auto-repeat appends
extern int32_t dpad_bits;           // virtual stick buttons down at the last read_stick
extern const KeyMapEntry key_map[]; // 77 rows and an end row with sym 0xFFFFFF
extern Uint32 (*input_ticks)(); // the clock auto-repeat reads; SDL_GetTicks unless a test sets it
extern Sint16 (*stick_axis)(int axis); // reads axis 0 (x) or 1 (y) of the stick, 0 without one

void poll_input();
int32_t queue_pop();
void queue_push(int32_t code);
// Sets *code and *plain (both -1 for a key without a row).
void translate_key(SDLKey sym, SDLMod mod, int32_t *code, int32_t *plain);
void handle_key(SDLKey sym, SDLMod mod, int pressed);
int is_key_held(int32_t plain);
void read_stick();
void push_key_press(SDLKey sym);
void push_joy_button(int button, int pressed);
