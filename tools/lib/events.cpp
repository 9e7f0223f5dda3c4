#include "events.h"

SDL_Event key_event(Uint8 type, SDLKey sym, SDLMod mod) {
    SDL_Event e = {};
    e.type = type;
    e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    e.key.keysym.sym = sym;
    e.key.keysym.mod = mod;
    e.key.keysym.unicode = (Uint16)sym;
    return e;
}

SDL_Event pointer_event(Uint8 type, Uint16 x, Uint16 y, Uint8 button) {
    SDL_Event e = {};
    e.type = type;
    if (type == SDL_MOUSEMOTION) {
        e.motion.x = x;
        e.motion.y = y;
    } else {
        e.button.button = button;
        e.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
        e.button.x = x;
        e.button.y = y;
    }
    return e;
}

SDL_Event joy_button_event(Uint8 type, Uint8 button) {
    SDL_Event e = {};
    e.type = type;
    e.jbutton.button = button;
    e.jbutton.state = type == SDL_JOYBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
    return e;
}
