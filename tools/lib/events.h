// Platform events as the game's input pump receives them, built in one place
// for the scripted players, the input harness and the tests.
#pragma once
#include <SDL.h>

// A key press (SDL_KEYDOWN) or release (SDL_KEYUP) of sym with modifiers mod.
SDL_Event key_event(Uint8 type, SDLKey sym, SDLMod mod);
// Pointer motion (SDL_MOUSEMOTION), press or release at display point (x, y);
// button is ignored for motion.
SDL_Event pointer_event(Uint8 type, Uint16 x, Uint16 y, Uint8 button);
// A joystick button press (SDL_JOYBUTTONDOWN) or release (SDL_JOYBUTTONUP).
SDL_Event joy_button_event(Uint8 type, Uint8 button);
