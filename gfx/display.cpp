// Display set-up, the work surface, the colour tables and presentation.
#include "gfx/display.h"
#include "input/input.h"
#include <SDL_mixer.h>
#include <cstdio>
#include <cstdlib>

SDL_Surface *screen = nullptr;
SDL_Surface *work_surface = nullptr;
int work_width = 0;
int work_height = 0;
int work_pitch = 0;
uint16_t *work_pixels = nullptr;
unsigned char surface_locked = 0;
uint16_t *shade_table = nullptr;
uint16_t *light_table = nullptr;
SDL_Joystick *joystick = nullptr;
unsigned long frames_presented = 0;

enum {
    DISPLAY_WIDTH = 320,
    DISPLAY_HEIGHT = 240,
    DISPLAY_BPP = 16,
    COLOUR_VALUES = 65536, // entries of each colour table, one per pixel value
    NO_MEMORY_TABLES = 5,  // site code of the out-of-memory report
    EXIT_SDL_FAILED = 1,
    EXIT_NO_MEMORY = 1,
    EXIT_NO_DISPLAY = 5,
    AUDIO_RATE = 22050,
    AUDIO_CHANNELS = 2,
    AUDIO_BUFFER = 4096,
};

// A 32-bit store that may overlay 16-bit pixels without breaking aliasing rules.
typedef uint32_t __attribute__((may_alias)) pixel_pair;

// Builds both colour tables in one pass over every pixel value.
static void build_colour_tables(SDL_PixelFormat *f) {
    for (int v = 0; v < COLOUR_VALUES; ++v) {
        Uint8 r, g, b;
        SDL_GetRGB((Uint32)v, f, &r, &g, &b);
        shade_table[v] = (uint16_t)SDL_MapRGB(f, (3 * r) >> 2, (3 * g) >> 2, (3 * b) >> 2);
        if (r > 128 && g > 128 && b > 128)
            light_table[v] =
                (uint16_t)SDL_MapRGB(f, (r + 255) >> 1, (g + 255) >> 1, (b + 255) >> 1);
        else
            light_table[v] = (uint16_t)v;
    }
}

void init_video(int width, int height) {
    queue_head = 0;
    queue_tail = 0;
    work_width = width;
    work_height = height;

    shade_table = (uint16_t *)malloc(COLOUR_VALUES * sizeof(uint16_t));
    light_table = shade_table ? (uint16_t *)malloc(COLOUR_VALUES * sizeof(uint16_t)) : nullptr;
    if (!shade_table || !light_table) {
        printf("No memory: %d\n", NO_MEMORY_TABLES);
        exit(EXIT_NO_MEMORY);
    }

    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_AUDIO | SDL_INIT_JOYSTICK) < 0) {
        fprintf(stderr, "Couldn't initialize SDL: %s\n", SDL_GetError());
        exit(EXIT_SDL_FAILED);
    }

    screen = SDL_SetVideoMode(DISPLAY_WIDTH, DISPLAY_HEIGHT, DISPLAY_BPP, 0);
    if (screen) {
        SDL_Surface *plain =
            SDL_CreateRGBSurface(0, work_width, work_height, DISPLAY_BPP, 0, 0, 0, 0);
        if (plain) {
            work_surface = SDL_DisplayFormat(plain);
            SDL_FreeSurface(plain);
        }
    }
    if (!screen || !work_surface) {
        fprintf(stderr, "Couldn't set display mode: %s\n", SDL_GetError());
        SDL_Quit();
        exit(EXIT_NO_DISPLAY);
    }

    if (Mix_OpenAudio(AUDIO_RATE, AUDIO_S16LSB, AUDIO_CHANNELS, AUDIO_BUFFER) != 0)
        fprintf(stderr, "Couldn't initialize audio: %s\n", SDL_GetError());

    joystick = SDL_JoystickOpen(0);
    if (!joystick)
        fprintf(stderr, "Couldn't open joystick: %s\n", SDL_GetError());

    work_pitch = work_surface->pitch;
    work_pixels = (uint16_t *)work_surface->pixels;
    build_colour_tables(work_surface->format);
}

// Packs two display pixels into the word for one aligned 32-bit store: the
// left pixel must land at the lower address, which is the low half on a
// little-endian machine (x86, and ARM as the handheld runs it) and the high
// half on a big-endian one.
static inline uint32_t pack_pair(uint16_t left, uint16_t right) {
#if SDL_BYTEORDER == SDL_LIL_ENDIAN
    return (uint32_t)left | ((uint32_t)right << 16);
#else
    return ((uint32_t)left << 16) | (uint32_t)right;
#endif
}

// Copies every second pixel of every second work row onto the display.
static void halve_onto_display() {
    int columns = screen->w < work_width / 2 ? screen->w : work_width / 2;
    int rows = screen->h < work_height / 2 ? screen->h : work_height / 2;
    const uint8_t *src_row = (const uint8_t *)work_pixels;
    uint8_t *dst_row = (uint8_t *)screen->pixels;
    for (int y = 0; y < rows; ++y) {
        const uint16_t *src = (const uint16_t *)src_row;
        int x = 0;
        if (((uintptr_t)dst_row & 3) == 0) {
            pixel_pair *dst = (pixel_pair *)dst_row;
            for (; x + 1 < columns; x += 2)
                *dst++ = pack_pair(src[2 * x], src[2 * x + 2]);
        }
        // A row that does not start on a word boundary, or an odd last column,
        // is written one pixel at a time rather than by an unaligned store.
        uint16_t *dst = (uint16_t *)dst_row;
        for (; x < columns; ++x)
            dst[x] = src[2 * x];
        src_row += 2 * work_pitch;
        dst_row += screen->pitch;
    }
}

void present_frame() {
    if (surface_locked && SDL_MUSTLOCK(work_surface))
        SDL_UnlockSurface(work_surface);
    surface_locked = 0;
    halve_onto_display();
    SDL_UpdateRect(screen, 0, 0, 0, 0);
    frames_presented++;
}

void lock_work_surface() {
    if (!surface_locked && SDL_MUSTLOCK(work_surface) && SDL_LockSurface(work_surface) < 0)
        fprintf(stderr, "Couldn't lock display surface: %s\n", SDL_GetError());
    surface_locked = 1;
}

void unlock_work_surface() {
    if (surface_locked && SDL_MUSTLOCK(work_surface))
        SDL_UnlockSurface(work_surface);
    surface_locked = 0;
}
