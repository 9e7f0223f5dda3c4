// Drawing primitives on the 640x480 work surface: fills, paletted copies,
// table remaps, the one-bit shadow mask, screen slots and text.
#include "gfx/draw.h"

#include "assets/pcx.h"
#include "gfx/display.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

uint8_t *shadow_mask = nullptr;
uint16_t *screen_slots[8] = {};

namespace {

const int SLOT_COUNT = 8;
const int NO_MEMORY_SLOT = 25; // site code of the out-of-memory report
const int TEXT_BUFFER = 1024;

// Start of work-surface row y.
inline uint16_t *work_row(int y) {
    return reinterpret_cast<uint16_t *>(reinterpret_cast<uint8_t *>(work_pixels) +
                                        static_cast<long>(y) * work_pitch);
}

// Bytes of one shadow_mask row.
inline int mask_stride() {
    return (work_width + 7) / 8;
}

// Clips a rectangle to the work surface. Sums are taken in 64 bits so that
// coordinates near the int limits cannot overflow. Returns false when nothing
// is left; otherwise the rectangle is columns x..x+w-1 of rows y..y+h-1.
bool clip(int *x, int *y, int *w, int *h) {
    long long cx = *x, cy = *y, cw = *w, ch = *h;
    if (cx < 0) {
        cw += cx;
        cx = 0;
    }
    if (cy < 0) {
        ch += cy;
        cy = 0;
    }
    if (cx + cw > work_width)
        cw = work_width - cx;
    if (cy + ch > work_height)
        ch = work_height - cy;
    if (cw <= 0 || ch <= 0)
        return false;
    *x = static_cast<int>(cx);
    *y = static_cast<int>(cy);
    *w = static_cast<int>(cw);
    *h = static_cast<int>(ch);
    return true;
}

void fill_value(int x, int y, int w, int h, uint16_t value) {
    if (!clip(&x, &y, &w, &h))
        return;
    for (int r = 0; r < h; r++) {
        uint16_t *p = work_row(y + r) + x;
        for (int i = 0; i < w; i++)
            p[i] = value;
    }
}

} // namespace

int shadow_mask_size() {
    return (work_height * (work_width + 7)) / 8;
}

uint32_t map_rgb(int red, int green, int blue) {
    return SDL_MapRGB(work_surface->format, static_cast<Uint8>(red & 255),
                      static_cast<Uint8>(green & 255), static_cast<Uint8>(blue & 255));
}

void fill_rect(int x, int y, int w, int h, int red, int green, int blue) {
    fill_value(x, y, w, h, static_cast<uint16_t>(map_rgb(red, green, blue)));
}

void clear_rect(int x, int y, int w, int h) {
    if (!clip(&x, &y, &w, &h))
        return;
    for (int r = 0; r < h; r++)
        memset(work_row(y + r) + x, 0, static_cast<size_t>(w) * 2);
}

void put_pixel(int x, int y, int red, int green, int blue) {
    if (x < 0 || y < 0 || x >= work_width || y >= work_height)
        return;
    work_row(y)[x] = static_cast<uint16_t>(map_rgb(red, green, blue));
}

void blit_paletted(int dst_x, int dst_y, const PalettedImage *image, int src_x, int src_y, int w,
                   int h) {
    if (!image || !image->pixels)
        return;
    long long dx = dst_x, dy = dst_y, sx = src_x, sy = src_y, cw = w, ch = h;
    // Destination clip; the source corner moves with the destination's.
    if (dx < 0) {
        cw += dx;
        sx -= dx;
        dx = 0;
    }
    if (dy < 0) {
        ch += dy;
        sy -= dy;
        dy = 0;
    }
    if (dx + cw > work_width)
        cw = work_width - dx;
    if (dy + ch > work_height)
        ch = work_height - dy;
    // Source clip: a region reaching past the picture draws only what the
    // picture holds and leaves the rest of the destination untouched.
    if (sx < 0) {
        cw += sx;
        dx -= sx;
        sx = 0;
    }
    if (sy < 0) {
        ch += sy;
        dy -= sy;
        sy = 0;
    }
    if (sx + cw > image->width)
        cw = image->width - sx;
    if (sy + ch > image->height)
        ch = image->height - sy;
    if (cw <= 0 || ch <= 0)
        return;
    const uint32_t *palette = image->palette;
    for (long long r = 0; r < ch; r++) {
        const uint8_t *src = image->pixels + (sy + r) * image->width + sx;
        uint16_t *dst = work_row(static_cast<int>(dy + r)) + dx;
        for (long long i = 0; i < cw; i++)
            dst[i] = static_cast<uint16_t>(palette[src[i]]);
    }
}

void remap_rect(int x, int y, int w, int h, const uint16_t *table) {
    if (!table || !clip(&x, &y, &w, &h))
        return;
    for (int r = 0; r < h; r++) {
        uint16_t *p = work_row(y + r) + x;
        for (int i = 0; i < w; i++)
            p[i] = table[p[i]];
    }
}

void shade_rect(int x, int y, int w, int h) {
    remap_rect(x, y, w, h, shade_table);
}

void light_rect(int x, int y, int w, int h) {
    remap_rect(x, y, w, h, light_table);
}

void apply_shadow_mask(const uint8_t *mask) {
    if (!mask)
        return;
    int stride = mask_stride();
    for (int y = 0; y < work_height; y++) {
        const uint8_t *bits = mask + static_cast<long>(y) * stride;
        uint16_t *row = work_row(y);
        for (int b = 0; b < stride; b++) {
            unsigned byte = bits[b];
            // The last byte of a row may cover columns past the surface edge.
            for (int k = 0; byte != 0; k++, byte >>= 1) {
                int x = 8 * b + k;
                if ((byte & 1) && x < work_width)
                    row[x] = shade_table[row[x]];
            }
        }
    }
}

void mask_put(int x, int y, int set) {
    if (!shadow_mask || x < 0 || y < 0 || x >= work_width || y >= work_height)
        return;
    uint8_t *byte = shadow_mask + static_cast<long>(y) * mask_stride() + x / 8;
    uint8_t bit = static_cast<uint8_t>(1 << (x % 8));
    if (set)
        *byte |= bit;
    else
        *byte &= static_cast<uint8_t>(~bit);
}

void mask_rect(int x, int y, int w, int h, int set) {
    if (!shadow_mask || !clip(&x, &y, &w, &h))
        return;
    int stride = mask_stride();
    int first = x / 8, last = (x + w - 1) / 8;
    uint8_t head = static_cast<uint8_t>(0xFF << (x % 8));
    uint8_t tail = static_cast<uint8_t>(0xFF >> (7 - (x + w - 1) % 8));
    for (int r = 0; r < h; r++) {
        uint8_t *row = shadow_mask + static_cast<long>(y + r) * stride;
        for (int b = first; b <= last; b++) {
            uint8_t bits = 0xFF;
            if (b == first)
                bits &= head;
            if (b == last)
                bits &= tail;
            if (set)
                row[b] |= bits;
            else
                row[b] &= static_cast<uint8_t>(~bits);
        }
    }
}

void mask_clear_all() {
    if (shadow_mask)
        memset(shadow_mask, 0, shadow_mask_size());
}

void fill_rect_unmask(int x, int y, int w, int h, uint32_t rgb) {
    fill_rect(x, y, w, h, (rgb >> 16) & 255, (rgb >> 8) & 255, rgb & 255);
    mask_rect(x, y, w, h, 0);
}

void save_screen(int slot) {
    if (slot < 0 || slot >= SLOT_COUNT)
        return;
    size_t row_bytes = static_cast<size_t>(work_width) * 2;
    if (!screen_slots[slot]) {
        screen_slots[slot] = static_cast<uint16_t *>(malloc(row_bytes * work_height));
        if (!screen_slots[slot]) {
            printf("No memory: %d\n", NO_MEMORY_SLOT);
            exit(1);
        }
    }
    for (int y = 0; y < work_height; y++)
        memcpy(screen_slots[slot] + static_cast<size_t>(y) * work_width, work_row(y), row_bytes);
}

void restore_screen(int slot) {
    if (slot < 0 || slot >= SLOT_COUNT || !screen_slots[slot])
        return;
    size_t row_bytes = static_cast<size_t>(work_width) * 2;
    for (int y = 0; y < work_height; y++)
        memcpy(work_row(y), screen_slots[slot] + static_cast<size_t>(y) * work_width, row_bytes);
}

void draw_text(TTF_Font *font, SDL_Surface *surface, int x, int y, SDL_Color colour,
               const char *format, ...) {
    if (!font || !surface || !format)
        return;
    // SDL 1.2 rectangles hold 16-bit coordinates; a text that far off cannot show.
    if (x < -32768 || x > 32767 || y < -32768 || y > 32767)
        return;
    char text[TEXT_BUFFER];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args); // a longer text is cut, never overrun
    va_end(args);
    SDL_Surface *rendered = TTF_RenderUTF8_Blended(font, text, colour);
    if (!rendered)
        return;
    SDL_Rect where;
    where.x = static_cast<Sint16>(x);
    where.y = static_cast<Sint16>(y);
    where.w = 0;
    where.h = 0;
    SDL_UpperBlit(rendered, nullptr, surface, &where);
    SDL_FreeSurface(rendered);
}
