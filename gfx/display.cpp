// Display set-up, the work surface, the colour tables and presentation.
#include "gfx/display.h"
#include "app/fatal.h"
#include "gfx/geometry.h"
#include "input/input.h"
#include "sound/sound.h"
#include <cstdio>
#include <cstdlib>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

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
    COLOUR_VALUES = 65536, // entries of each colour table, one per pixel value
    PRESENT_RECTS = 64,    // rectangles one present can be limited to; more show the whole display
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
    clear_input_queue();
    work_width = width;
    work_height = height;

    shade_table = (uint16_t *)malloc(COLOUR_VALUES * sizeof(uint16_t));
    light_table = shade_table ? (uint16_t *)malloc(COLOUR_VALUES * sizeof(uint16_t)) : nullptr;
    if (!shade_table || !light_table)
        out_of_memory(NO_MEMORY_COLOUR_TABLES);

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

    open_audio();
    joystick = open_joystick();

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

// Display rectangles the next present_frame is limited to, once present_only
// has been called since the last one; otherwise the whole display is shown.
static SDL_Rect present_rects[PRESENT_RECTS];
static int present_count = 0;
static bool present_limited = false;
static bool present_overflow = false;

static_assert(SAMPLING == 2, "the copy below takes every second pixel of every second row");

// Copies every second pixel of every second work row onto display columns
// x0..x1-1 of rows y0..y1-1 (already within both surfaces).
static void halve_onto_display(int x0, int y0, int x1, int y1) {
    const uint8_t *src_row = (const uint8_t *)work_pixels + (long)2 * y0 * work_pitch;
    uint8_t *dst_row = (uint8_t *)screen->pixels + (long)y0 * screen->pitch;
    for (int y = y0; y < y1; ++y) {
        const uint16_t *src = (const uint16_t *)src_row;
        uint16_t *dst = (uint16_t *)dst_row;
        int x = x0;
        // Pairs of display pixels go out as aligned 32-bit stores; a pixel
        // before the first word boundary and an odd last one go singly.
        if (((uintptr_t)(dst + x) & 3) != 0 && x < x1) {
            dst[x] = src[2 * x];
            ++x;
        }
        if (((uintptr_t)(dst + x) & 3) == 0) {
            pixel_pair *pair = (pixel_pair *)(dst + x);
            const uint16_t *from = src + 2 * x;
#ifdef __SSE2__
            // Eight display pixels at once: the even pixels of 16 work
            // pixels are the low halves of eight words, which are sign-
            // extended and packed back (a saturation that never clips).
            for (; x + 7 < x1; x += 8, from += 16, pair += 4) {
                __m128i a = _mm_loadu_si128((const __m128i *)from);
                __m128i b = _mm_loadu_si128((const __m128i *)(from + 8));
                a = _mm_srai_epi32(_mm_slli_epi32(a, 16), 16);
                b = _mm_srai_epi32(_mm_slli_epi32(b, 16), 16);
                _mm_storeu_si128((__m128i *)pair, _mm_packs_epi32(a, b));
            }
#endif
            for (; x + 7 < x1; x += 8, from += 16, pair += 4) {
                pair[0] = pack_pair(from[0], from[2]);
                pair[1] = pack_pair(from[4], from[6]);
                pair[2] = pack_pair(from[8], from[10]);
                pair[3] = pack_pair(from[12], from[14]);
            }
            for (; x + 1 < x1; x += 2, from += 4)
                *pair++ = pack_pair(from[0], from[2]);
        }
        for (; x < x1; ++x)
            dst[x] = src[2 * x];
        src_row += 2 * work_pitch;
        dst_row += screen->pitch;
    }
}

void present_only(int x, int y, int w, int h) {
    if (!present_limited) {
        present_limited = true;
        present_count = 0;
        present_overflow = false;
    }
    // Display pixel (dx, dy) shows work pixel (2dx, 2dy): the display
    // columns of work columns x..x+w-1 are ceil(x/2) .. floor((x+w-1)/2).
    long long x0 = ((long long)x + 1) >> 1, y0 = ((long long)y + 1) >> 1;
    long long x1 = ((long long)x + w + 1) >> 1, y1 = ((long long)y + h + 1) >> 1;
    if (x0 < 0)
        x0 = 0;
    if (y0 < 0)
        y0 = 0;
    if (x1 > screen->w)
        x1 = screen->w;
    if (y1 > screen->h)
        y1 = screen->h;
    if (x1 <= x0 || y1 <= y0)
        return;
    if (present_count == PRESENT_RECTS) {
        present_overflow = true;
        return;
    }
    SDL_Rect *r = &present_rects[present_count++];
    r->x = (Sint16)x0;
    r->y = (Sint16)y0;
    r->w = (Uint16)(x1 - x0);
    r->h = (Uint16)(y1 - y0);
}

void present_frame() {
    if (surface_locked && SDL_MUSTLOCK(work_surface))
        SDL_UnlockSurface(work_surface);
    surface_locked = 0;
    int columns = screen->w < work_width / SAMPLING ? screen->w : work_width / SAMPLING;
    int rows = screen->h < work_height / SAMPLING ? screen->h : work_height / SAMPLING;
    if (present_limited && !present_overflow) {
        for (int i = 0; i < present_count; ++i) {
            SDL_Rect *r = &present_rects[i];
            int x1 = r->x + r->w < columns ? r->x + r->w : columns;
            int y1 = r->y + r->h < rows ? r->y + r->h : rows;
            if (x1 > r->x && y1 > r->y)
                halve_onto_display(r->x, r->y, x1, y1);
        }
        // Called even with no rectangle, so that every present is one update.
        SDL_UpdateRects(screen, present_count, present_rects);
    } else {
        halve_onto_display(0, 0, columns, rows);
        SDL_UpdateRect(screen, 0, 0, 0, 0);
    }
    present_limited = false;
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
