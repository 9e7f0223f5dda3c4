#include "input_state.h"

#include "app/app.h"
#include "input/input_internal.h"

void reset_input_state() {
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
    }
    queue_head = queue_tail = 0;
    held_count = 0;
    repeat_active = 0;
    repeat_due = 0;
    repeat_code = 0;
    dpad_bits = 0;
    quit_requested = 0;
}
