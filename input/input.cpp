// Input translation: keys, joystick buttons, the analogue stick and the
// pointer become one stream of integer codes in a 64-slot ring.
#include "input/input_internal.h"

#include "app/app.h"
#include "gfx/display.h"
#include "gfx/geometry.h"

#include <cstdio>

enum {
    QUEUE_SLOTS = 64,       // ring size; one slot always stays empty
    QUEUE_MASK = 63,        // index arithmetic wraps with this mask
    HELD_MAX = 32,          // keys the held list can record
    REPEAT_DELAY = 250,     // ms from a press to its first repeat
    REPEAT_STEP = 33,       // ms between later repeats
    KEY_MAP_END = 0xFFFFFF, // sym of the row that ends key_map
    CODE_ALT = 0x200,       // added to a key's code when Alt is held
    CODE_CTRL_MASK = 0x1F,  // a key's code is cut to this when Ctrl is held
    STICK_FAR = 16384,      // stick deflection that counts as a direction
    STICK_DIAGONAL = 11585, // sideways deflection a diagonal needs
};

int32_t input_queue[QUEUE_SLOTS];
int32_t queue_head;
int32_t queue_tail;
int32_t held_keys[HELD_MAX];
int32_t held_count;
uint8_t repeat_active;
int32_t repeat_due;
int32_t repeat_code;
int32_t dpad_bits;
Uint32 (*input_ticks)() = SDL_GetTicks;

static Sint16 read_joystick_axis(int axis) {
    if (joystick == nullptr)
        return 0;
    return SDL_JoystickGetAxis(joystick, axis);
}

Sint16 (*stick_axis)(int axis) = read_joystick_axis;

// Printable keys give their ASCII code, with Shift their shifted character.
const KeyMapEntry key_map[] = {
    {SDLK_0, '0', ')'},
    {SDLK_1, '1', '!'},
    {SDLK_2, '2', '@'},
    {SDLK_3, '3', '#'},
    {SDLK_4, '4', '$'},
    {SDLK_5, '5', '%'},
    {SDLK_6, '6', '^'},
    {SDLK_7, '7', '&'},
    {SDLK_8, '8', '*'},
    {SDLK_9, '9', '('},
    {SDLK_a, 'a', 'A'},
    {SDLK_b, 'b', 'B'},
    {SDLK_c, 'c', 'C'},
    {SDLK_d, 'd', 'D'},
    {SDLK_e, 'e', 'E'},
    {SDLK_f, 'f', 'F'},
    {SDLK_g, 'g', 'G'},
    {SDLK_h, 'h', 'H'},
    {SDLK_i, 'i', 'I'},
    {SDLK_j, 'j', 'J'},
    {SDLK_k, 'k', 'K'},
    {SDLK_l, 'l', 'L'},
    {SDLK_m, 'm', 'M'},
    {SDLK_n, 'n', 'N'},
    {SDLK_o, 'o', 'O'},
    {SDLK_p, 'p', 'P'},
    {SDLK_q, 'q', 'Q'},
    {SDLK_r, 'r', 'R'},
    {SDLK_s, 's', 'S'},
    {SDLK_t, 't', 'T'},
    {SDLK_u, 'u', 'U'},
    {SDLK_v, 'v', 'V'},
    {SDLK_w, 'w', 'W'},
    {SDLK_x, 'x', 'X'},
    {SDLK_y, 'y', 'Y'},
    {SDLK_z, 'z', 'Z'},
    {SDLK_MINUS, '-', '_'},
    {SDLK_EQUALS, '=', '+'},
    {SDLK_LEFTBRACKET, '[', '{'},
    {SDLK_RIGHTBRACKET, ']', '}'},
    {SDLK_SEMICOLON, ';', ':'},
    {SDLK_QUOTE, '\'', '"'},
    {SDLK_BACKSLASH, '\\', '|'},
    {SDLK_SLASH, '/', '?'},
    {SDLK_PERIOD, '.', '>'},
    {SDLK_COMMA, ',', '<'},
    {SDLK_BACKQUOTE, '`', '~'},
    {SDLK_BACKSPACE, 8, 8},
    {SDLK_TAB, 9, 9},
    {SDLK_DELETE, 127, 127},
    {SDLK_RETURN, CODE_RETURN, CODE_RETURN},
    {SDLK_F1, CODE_F1, CODE_F1},
    {SDLK_F2, CODE_F2, CODE_F2},
    {SDLK_F3, 386, 386},
    {SDLK_F4, 387, 387},
    {SDLK_F5, 388, 388},
    {SDLK_F6, 389, 389},
    {SDLK_F7, 390, 390},
    {SDLK_F8, 391, 391},
    {SDLK_F9, 392, 392},
    {SDLK_F10, 393, 393},
    {SDLK_ESCAPE, CODE_ESCAPE, CODE_ESCAPE},
    {SDLK_LEFT, CODE_LEFT, CODE_LEFT},
    {SDLK_RIGHT, CODE_RIGHT, CODE_RIGHT},
    {SDLK_UP, 402, 402},
    {SDLK_DOWN, 403, 403},
    {SDLK_PAGEUP, 404, 468},
    {SDLK_PAGEDOWN, 405, 469},
    {SDLK_SPACE, 32, 32},
    {SDLK_HOME, 406, 406},
    {SDLK_END, 407, 407},
    {SDLK_LALT, 408, 408},
    {SDLK_RALT, 409, 409},
    {SDLK_LCTRL, 410, 410},
    {SDLK_RCTRL, 411, 411},
    {SDLK_LSHIFT, 412, 412},
    {SDLK_RSHIFT, 413, 413},
    {KEY_MAP_END, 0, 0},
};

void queue_push(int32_t code) {
    int32_t next = (queue_head + 1) & QUEUE_MASK;
    if (next == queue_tail)
        return;
    input_queue[queue_head] = code;
    queue_head = next;
}

int32_t queue_pop() {
    if (queue_head == queue_tail)
        return -1;
    int32_t code = input_queue[queue_tail];
    queue_tail = (queue_tail + 1) & QUEUE_MASK;
    return code;
}

// Values that can still be appended before the ring is full.
static int queue_free() {
    return QUEUE_MASK - ((queue_head - queue_tail) & QUEUE_MASK);
}

void translate_key(SDLKey sym, SDLMod mod, int32_t *code, int32_t *plain) {
    const KeyMapEntry *row = key_map;
    while (row->sym != KEY_MAP_END && row->sym != (int32_t)sym)
        row++;
    if (row->sym == KEY_MAP_END) {
        *code = -1;
        *plain = -1;
        return;
    }
    int32_t result = (mod & KMOD_SHIFT) ? row->shifted_code : row->plain_code;
    if (mod & KMOD_ALT)
        result |= CODE_ALT;
    if (mod & KMOD_CTRL)
        result &= CODE_CTRL_MASK;
    *code = result;
    *plain = row->plain_code;
}

// Position of plain in the held list, or -1.
static int held_index(int32_t plain) {
    for (int i = 0; i < held_count; i++)
        if (held_keys[i] == plain)
            return i;
    return -1;
}

void handle_key(SDLKey sym, SDLMod mod, int pressed) {
    int32_t code;
    int32_t plain;
    translate_key(sym, mod, &code, &plain);
    if (plain < 0)
        return;
    if (pressed) {
        queue_push(code);
        repeat_code = code;
        repeat_active = 1;
        repeat_due = (int32_t)(input_ticks() + REPEAT_DELAY);
        if (held_index(plain) < 0 && held_count < HELD_MAX)
            held_keys[held_count++] = plain;
        return;
    }
    int i = held_index(plain);
    if (i >= 0)
        held_keys[i] = held_keys[--held_count];
}

int is_key_held(int32_t plain) {
    return held_index(plain) >= 0;
}

void push_key_press(SDLKey sym) {
    SDL_Event event = {};
    event.type = SDL_KEYDOWN;
    event.key.keysym.sym = sym;
    event.key.keysym.unicode = (Uint16)sym;
    event.key.keysym.mod = KMOD_NONE;
    SDL_PushEvent(&event);
    event.type = SDL_KEYUP;
    SDL_PushEvent(&event);
}

void push_joy_button(int button, int pressed) {
    SDL_Event event = {};
    event.type = pressed ? SDL_JOYBUTTONDOWN : SDL_JOYBUTTONUP;
    event.jbutton.which = 0;
    event.jbutton.button = (Uint8)button;
    event.jbutton.state = pressed ? SDL_PRESSED : SDL_RELEASED;
    SDL_PushEvent(&event);
}

void read_stick() {
    // Updating joysticks before the subsystem is up would read a null list.
    if (SDL_WasInit(SDL_INIT_JOYSTICK))
        SDL_JoystickUpdate();
    int x = stick_axis(0);
    int y = stick_axis(1);

    int32_t bits = 0;
    if (y < -STICK_FAR)
        bits |= 1 << 11;
    if (y > STICK_FAR)
        bits |= 1 << 12;
    if (x < -STICK_FAR)
        bits |= 1 << 13;
    if (x > STICK_FAR)
        bits |= 1 << 14;
    if (x < -STICK_DIAGONAL && y < -STICK_FAR)
        bits |= 1 << 15;
    if (x > STICK_DIAGONAL && y < -STICK_FAR)
        bits |= 1 << 16;
    if (x < -STICK_DIAGONAL && y > STICK_FAR)
        bits |= 1 << 17;
    if (x > STICK_DIAGONAL && y > STICK_FAR)
        bits |= 1 << 18;

    if (bits != dpad_bits) {
        static const int order[] = {13, 14, 11, 12, 16, 18, 17, 15};
        for (int n : order) {
            int32_t bit = 1 << n;
            if ((bits ^ dpad_bits) & bit)
                push_joy_button(n, (bits & bit) != 0);
        }
    }
    dpad_bits = bits;
}

// A pointer record is queued whole or not at all: a partial record would
// make the reader take the next record's values for coordinates.
static void queue_pointer(int32_t code, Uint16 x, Uint16 y) {
    if (queue_free() < 3)
        return;
    queue_push(code);
    queue_push(x * SAMPLING);
    queue_push(y * SAMPLING);
}

// Joystick buttons act as keys: the synthetic press and release pass
// through the same translation, so a button gives one code and never repeats.
static void joy_button_down(int button) {
    switch (button) {
    case JOY_LEFT:
        push_key_press(SDLK_LEFT);
        break;
    case JOY_RIGHT:
        push_key_press(SDLK_RIGHT);
        break;
    case JOY_F1:
        push_key_press(SDLK_F1);
        break;
    case JOY_F2:
        push_key_press(SDLK_F2);
        break;
    case JOY_RETURN:
        push_key_press(SDLK_RETURN);
        break;
    case JOY_ESCAPE:
        push_key_press(SDLK_ESCAPE);
        break;
    default:
        break;
    }
}

void poll_input() {
    read_stick();

    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        switch (event.type) {
        case SDL_KEYDOWN:
            handle_key(event.key.keysym.sym, event.key.keysym.mod, 1);
            break;
        case SDL_KEYUP:
            handle_key(event.key.keysym.sym, event.key.keysym.mod, 0);
            repeat_active = 0;
            break;
        case SDL_MOUSEMOTION:
            queue_pointer(POINTER_MOTION, event.motion.x, event.motion.y);
            break;
        case SDL_MOUSEBUTTONDOWN:
            queue_pointer(POINTER_PRESS, event.button.x, event.button.y);
            break;
        case SDL_MOUSEBUTTONUP:
            queue_pointer(POINTER_RELEASE, event.button.x, event.button.y);
            break;
        case SDL_JOYBUTTONDOWN:
            joy_button_down(event.jbutton.button);
            break;
        case SDL_ACTIVEEVENT:
            // A window that loses the keyboard, or is iconified, may never
            // see the release of a key held down: the repeat stops and every
            // key counts as released. Losing the pointer counts too: without
            // a window manager the keyboard follows the pointer, and X reports
            // no loss of focus, only the pointer leaving.
            if (!event.active.gain &&
                (event.active.state & (SDL_APPINPUTFOCUS | SDL_APPMOUSEFOCUS | SDL_APPACTIVE))) {
                repeat_active = 0;
                held_count = 0;
            }
            break;
        case SDL_QUIT:
            quit_requested = 1;
            break;
        default:
            break;
        }
    }

    if (!repeat_active)
        return;
    // Signed difference, so the comparison survives the tick counter wrapping.
    if ((int32_t)(input_ticks() - (Uint32)repeat_due) <= 0)
        return;
    repeat_due = (int32_t)((Uint32)repeat_due + REPEAT_STEP);
    queue_push(repeat_code);
}

void clear_input_queue() {
    queue_head = 0;
    queue_tail = 0;
}

SDL_Joystick *open_joystick() {
    SDL_Joystick *stick = SDL_JoystickOpen(0);
    if (!stick)
        fprintf(stderr, "Couldn't open joystick: %s\n", SDL_GetError());
    return stick;
}
