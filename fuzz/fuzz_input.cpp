// Fuzz harness for input translation: an input is a sequence of platform
// events pushed through SDL's event queue, pumps, reads by a consumer that
// behaves like the main loop, clock steps and direct key calls. After every
// step the ring, the held-key list and the repeat state are checked, and
// every pointer record read must come out whole.
//
// One operation per byte (value mod 13), most taking argument bytes:
//   0 key down   1 key up   (key byte, modifier byte)
//   2 motion   3 button down   4 button up   (x and y, two bytes each)
//   5 joystick button down   6 joystick button up   (button byte)
//   7 quit, or any other event type   8 pump   9 read 1..8 codes
//   10 advance the clock   11 handle_key directly (key, modifier, pressed)
//   12 move the analogue stick (x and y, two bytes each)
#include "fuzz/harness.h"
#include "app/app.h"
#include "input/input_internal.h"
#include "events.h"
#include "input_state.h"
#include "gfx/geometry.h"
#include <SDL.h>

namespace {

int next_word(FuzzBytes *r) {
    int low = next_byte(r);
    return low | next_byte(r) << 8;
}

Uint32 fake_now;
Sint16 fake_axis[2];

Uint32 fake_ticks() {
    return fake_now;
}

Sint16 fake_stick(int axis) {
    return axis == 0 || axis == 1 ? fake_axis[axis] : 0;
}

int key_map_rows() {
    int n = 0;
    while (key_map[n].sym != 0xFFFFFF)
        ++n;
    return n;
}

bool is_plain_code(int32_t code) {
    for (int i = 0; key_map[i].sym != 0xFFFFFF; ++i)
        if (key_map[i].plain_code == code)
            return true;
    return false;
}

// Mostly keys of the table, sometimes any symbol SDL could report (below
// SDLK_LAST; other values are not keys at all).
SDLKey pick_key(FuzzBytes *r) {
    int b = next_byte(r);
    if (b < 224)
        return (SDLKey)key_map[b % key_map_rows()].sym;
    return (SDLKey)(next_word(r) % SDLK_LAST);
}

SDLMod pick_mod(FuzzBytes *r) {
    static const int bits[8] = {KMOD_LSHIFT, KMOD_RSHIFT, KMOD_LCTRL, KMOD_RCTRL,
                                KMOD_LALT,   KMOD_RALT,   KMOD_CAPS,  KMOD_NUM};
    int b = next_byte(r);
    int mod = 0;
    for (int i = 0; i < 8; ++i)
        if (b & 1 << i)
            mod |= bits[i];
    return (SDLMod)mod;
}

bool valid_key_code(int32_t v) {
    return v >= 0 && v < POINTER_BIT;
}

bool valid_pointer_code(int32_t v) {
    return v == POINTER_PRESS || v == POINTER_RELEASE || v == POINTER_MOTION;
}

bool valid_coordinate(int32_t v) {
    return v >= 0 && v <= SAMPLING * 65535 && v % SAMPLING == 0;
}

// The ring holds whole records only: walking it from tail to head, every
// pointer code is followed by its two coordinates before the head.
void check_state() {
    HARNESS_CHECK(queue_head >= 0 && queue_head < 64);
    HARNESS_CHECK(queue_tail >= 0 && queue_tail < 64);
    int i = queue_tail;
    while (i != queue_head) {
        int32_t v = input_queue[i];
        i = (i + 1) & 63;
        if (v & POINTER_BIT) {
            HARNESS_CHECK(valid_pointer_code(v));
            for (int k = 0; k < 2; ++k) {
                HARNESS_CHECK(i != queue_head);
                HARNESS_CHECK(valid_coordinate(input_queue[i]));
                i = (i + 1) & 63;
            }
        } else {
            HARNESS_CHECK(valid_key_code(v));
        }
    }

    HARNESS_CHECK(held_count >= 0 && held_count <= 32);
    for (int a = 0; a < held_count; ++a) {
        HARNESS_CHECK(is_plain_code(held_keys[a]));
        for (int b = a + 1; b < held_count; ++b)
            HARNESS_CHECK(held_keys[a] != held_keys[b]);
    }
    if (repeat_active)
        HARNESS_CHECK(valid_key_code(repeat_code));
}

// Reads up to n codes the way the main loop does: a pointer code takes the
// two values after it as its coordinates.
void consume(int n) {
    for (int k = 0; k < n; ++k) {
        int32_t v = queue_pop();
        if (v < 0) {
            HARNESS_CHECK(v == -1 && queue_head == queue_tail);
            return;
        }
        if (v & POINTER_BIT) {
            HARNESS_CHECK(valid_pointer_code(v));
            int32_t x = queue_pop();
            int32_t y = queue_pop();
            HARNESS_CHECK(valid_coordinate(x));
            HARNESS_CHECK(valid_coordinate(y));
        } else {
            HARNESS_CHECK(valid_key_code(v));
        }
    }
}

void push_key_event(FuzzBytes *r, Uint8 type) {
    SDLKey sym = pick_key(r);
    SDLMod mod = pick_mod(r);
    SDL_Event e = key_event(type, sym, mod);
    SDL_PushEvent(&e);
}

void push_pointer_event(FuzzBytes *r, Uint8 type) {
    Uint16 x = (Uint16)next_word(r);
    Uint16 y = (Uint16)next_word(r);
    SDL_Event e = pointer_event(type, x, y, (Uint8)(1 + x % 5));
    SDL_PushEvent(&e);
}

void push_joy_event(FuzzBytes *r, Uint8 type) {
    SDL_Event e = joy_button_event(type, (Uint8)next_byte(r));
    SDL_PushEvent(&e);
}

void reset_input() {
    reset_input_state();
    fake_now = 1000;
    fake_axis[0] = fake_axis[1] = 0;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    harness_start_display();
    input_ticks = fake_ticks;
    stick_axis = fake_stick;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FuzzBytes r = {data, size, 0};
    reset_input();
    while (r.at < r.size) {
        int op = next_byte(&r) % 13;
        switch (op) {
        case 0:
            push_key_event(&r, SDL_KEYDOWN);
            break;
        case 1:
            push_key_event(&r, SDL_KEYUP);
            break;
        case 2:
            push_pointer_event(&r, SDL_MOUSEMOTION);
            break;
        case 3:
            push_pointer_event(&r, SDL_MOUSEBUTTONDOWN);
            break;
        case 4:
            push_pointer_event(&r, SDL_MOUSEBUTTONUP);
            break;
        case 5:
            push_joy_event(&r, SDL_JOYBUTTONDOWN);
            break;
        case 6:
            push_joy_event(&r, SDL_JOYBUTTONUP);
            break;
        case 7: {
            // Event types SDL can deliver: 0..31 (user events included).
            // A window-manager event carries a message SDL copies when the
            // event is queued, so it cannot be pushed without one; the game
            // ignores that type anyway.
            int type = next_byte(&r) % 32;
            if (type == SDL_SYSWMEVENT)
                type = SDL_QUIT;
            SDL_Event e = {};
            e.type = (Uint8)type;
            SDL_PushEvent(&e);
            break;
        }
        case 8: {
            int before = (queue_head - queue_tail) & 63;
            poll_input();
            // The pump only ever adds values.
            HARNESS_CHECK(((queue_head - queue_tail) & 63) >= before);
            break;
        }
        case 9:
            consume(1 + next_byte(&r) % 8);
            break;
        case 10: {
            int b = next_byte(&r);
            // Mostly small steps; 255 jumps far, as after a long stall.
            fake_now += b == 255 ? 0x7FFFFFF0u : (Uint32)b * 4;
            break;
        }
        case 11: {
            SDLKey sym = pick_key(&r);
            SDLMod mod = pick_mod(&r);
            handle_key(sym, mod, next_byte(&r) & 1);
            break;
        }
        case 12:
            fake_axis[0] = (Sint16)next_word(&r);
            fake_axis[1] = (Sint16)next_word(&r);
            break;
        }
        check_state();
    }
    // Whatever is left comes out whole as well.
    poll_input();
    check_state();
    consume(64);
    HARNESS_CHECK(queue_pop() == -1);
    return 0;
}
