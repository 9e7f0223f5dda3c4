// What the input module keeps inside: its state, the key table and the steps
// of the pump, for the tests and harnesses that drive them one by one. The
// game itself uses input/input.h only.
#pragma once
#include "input/input.h"

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

// Appends a value; dropped without notice when the ring is full.
void queue_push(int32_t code);
// Sets *code and *plain (both -1 for a key without a row).
void translate_key(SDLKey sym, SDLMod mod, int32_t *code, int32_t *plain);
// One key press (pressed != 0) or release: queues its code, arms the repeat,
// keeps the held list.
void handle_key(SDLKey sym, SDLMod mod, int pressed);
// Samples the analogue stick and posts its changes as virtual joystick buttons.
void read_stick();
// Posts a key-down and a key-up event for sym to the platform's queue.
void push_key_press(SDLKey sym);
// Posts one joystick button event to the platform's queue.
void push_joy_button(int button, int pressed);
