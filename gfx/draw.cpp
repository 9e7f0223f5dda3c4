// Drawing primitives on the 640x480 work surface: fills, paletted copies,
// table remaps, the one-bit shadow mask, screen slots and text.
#include "gfx/draw.h"
#include "app/fatal.h"

#include "assets/pcx.h"
#include "gfx/display.h"

#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

uint8_t *shadow_mask = nullptr;
uint16_t *screen_slots[8] = {};
unsigned char work_surface_touched = 1;
unsigned long background_saves = 0;

enum {
    SLOT_COUNT = 8,
    TEXT_BUFFER = 1024,
};

// Start of work-surface row y.
static inline uint16_t *work_row(int y) {
    return (uint16_t *)((uint8_t *)work_pixels + (long)y * work_pitch);
}

// Bytes of one shadow_mask row.
static inline int mask_stride() {
    return (work_width + 7) / 8;
}

// The drawing clip: the work surface, or the part of it that set_draw_clip
// narrowed it to. Edges are half-open: columns clip_left..clip_right-1.
static int clip_left = 0;
static int clip_top = 0;
static int clip_right = INT_MAX;
static int clip_bottom = INT_MAX;

static inline int clip_right_edge() {
    return clip_right < work_width ? clip_right : work_width;
}

static inline int clip_bottom_edge() {
    return clip_bottom < work_height ? clip_bottom : work_height;
}

// Clips a rectangle to the work surface and the drawing clip. Sums are taken
// in 64 bits so that coordinates near the int limits cannot overflow. Returns
// false when nothing is left; otherwise the rectangle is columns x..x+w-1 of
// rows y..y+h-1.
static bool clip(int *x, int *y, int *w, int *h) {
    // Most rectangles lie wholly inside: no sum can overflow in that test.
    int right = clip_right_edge(), bottom = clip_bottom_edge();
    if (*x >= clip_left && *y >= clip_top && *w > 0 && *h > 0 && *x <= right - *w &&
        *y <= bottom - *h)
        return true;
    long long cx = *x, cy = *y, cw = *w, ch = *h;
    if (cx < clip_left) {
        cw -= clip_left - cx;
        cx = clip_left;
    }
    if (cy < clip_top) {
        ch -= clip_top - cy;
        cy = clip_top;
    }
    if (cx + cw > clip_right_edge())
        cw = clip_right_edge() - cx;
    if (cy + ch > clip_bottom_edge())
        ch = clip_bottom_edge() - cy;
    if (cw <= 0 || ch <= 0)
        return false;
    *x = (int)cx;
    *y = (int)cy;
    *w = (int)cw;
    *h = (int)ch;
    return true;
}

// A 32-bit store over two 16-bit pixels, allowed to alias them.
typedef uint32_t __attribute__((may_alias)) pixel_pair;

// Four words copied as one.
struct __attribute__((may_alias)) word_block {
    uint32_t word[4];
};

// Copies n blocks of four words, unrolled.
template <int n> static inline void copy_blocks(pixel_pair *to, const pixel_pair *from) {
    if constexpr (n > 0) {
        *(word_block *)to = *(const word_block *)from;
        copy_blocks<n - 1>(to + 4, from + 4);
    }
}

// Copies h rows of a fixed shape: an optional single pixel, then `blocks`
// blocks and `rest` words, then an optional single pixel.
template <bool head, int blocks, int rest, bool tail>
static void copy_rows(uint8_t *row, long pitch, const uint16_t *from, int src_pitch, int h) {
    for (int r = 0; r < h; r++, row += pitch, from += src_pitch) {
        uint16_t *d = (uint16_t *)row;
        const uint16_t *f = from;
        if (head)
            *d++ = *f++;
        pixel_pair *dw = (pixel_pair *)d;
        const pixel_pair *fw = (const pixel_pair *)f;
        copy_blocks<blocks>(dw, fw);
        for (int i = 0; i < rest; i++)
            dw[4 * blocks + i] = fw[4 * blocks + i];
        if (tail)
            d[2 * (4 * blocks + rest)] = f[2 * (4 * blocks + rest)];
    }
}

static void fill_value(int x, int y, int w, int h, uint16_t value) {
    work_surface_touched = 1;
    if (!clip(&x, &y, &w, &h))
        return;
    uint32_t pair = value | ((uint32_t)value << 16);
    uint16_t *p = work_row(y) + x;
    // Pixels go in pairs by aligned 32-bit stores, an unaligned first one
    // and an odd last one singly. With a pitch of whole words every row
    // starts as the first one does.
    int head = ((uintptr_t)p & 3) != 0 ? 1 : 0;
    if (work_pitch % 4 != 0 || w < 2) {
        for (int r = 0; r < h; r++, p = work_row(y + r) + x)
            for (int i = 0; i < w; i++)
                p[i] = value;
        return;
    }
    int pairs = (w - head) / 2, tail = (w - head) & 1;
    long pitch = work_pitch; // a local: the stores below may alias any global
    if (w == 2 && !head) {
        // A wall strip: one word a row.
        for (int r = 0; r < h; r++, p = (uint16_t *)((uint8_t *)p + pitch))
            *(pixel_pair *)p = pair;
        return;
    }
    for (int r = 0; r < h; r++) {
        uint16_t *q = p;
        if (head)
            *q++ = value;
        pixel_pair *pp = (pixel_pair *)q;
        for (int i = 0; i < pairs; i++)
            pp[i] = pair;
        if (tail)
            q[2 * pairs] = value;
        p = (uint16_t *)((uint8_t *)p + pitch);
    }
}

// 32 mask bits read or written at once. The mask's bit order (bit 0 of each
// byte the leftmost pixel) makes a little-endian word's bit k pixel k of the
// word's 32; on a big-endian machine the byte-wise forms are used instead.
typedef uint32_t __attribute__((may_alias)) mask_word;

// True when rows of this mask can be walked as aligned 32-bit words.
static inline bool mask_in_words(const uint8_t *mask) {
    return SDL_BYTEORDER == SDL_LIL_ENDIAN && mask_stride() % 4 == 0 && ((uintptr_t)mask & 3) == 0;
}

// Word bits from bit `from` (0..31) upwards.
static inline uint32_t bits_from(int from) {
    return ~0u << from;
}

// Word bits up to and including bit `to` (0..31).
static inline uint32_t bits_to(int to) {
    return ~0u >> (31 - to);
}

// Sets or clears the bits of columns x..x+w-1 (already clipped) in h rows.
static void mask_words(int x, int y, int w, int h, int set) {
    int stride = mask_stride() / 4;
    int first = x >> 5, last = (x + w - 1) >> 5;
    uint32_t head = bits_from(x & 31), tail = bits_to((x + w - 1) & 31);
    mask_word *row = (mask_word *)shadow_mask + (long)y * stride;
    if (first == last) {
        // Within one word (the usual case: a row of a slanted edge, a strip).
        uint32_t bits = head & tail;
        row += first;
        if (set)
            for (int r = 0; r < h; r++, row += stride)
                *row |= bits;
        else
            for (int r = 0; r < h; r++, row += stride)
                *row &= ~bits;
        return;
    }
    if (last == first + 1) {
        // Two words (a tile's cover, a band of its shadow).
        row += first;
        if (set)
            for (int r = 0; r < h; r++, row += stride) {
                row[0] |= head;
                row[1] |= tail;
            }
        else
            for (int r = 0; r < h; r++, row += stride) {
                row[0] &= ~head;
                row[1] &= ~tail;
            }
        return;
    }
    if (last == first + 2) {
        // Three words: a cover or band that straddles two word boundaries.
        row += first;
        if (set)
            for (int r = 0; r < h; r++, row += stride) {
                row[0] |= head;
                row[1] = ~0u;
                row[2] |= tail;
            }
        else
            for (int r = 0; r < h; r++, row += stride) {
                row[0] &= ~head;
                row[1] = 0;
                row[2] &= ~tail;
            }
        return;
    }
    for (int r = 0; r < h; r++, row += stride) {
        if (set) {
            row[first] |= head;
            for (int b = first + 1; b < last; b++)
                row[b] = ~0u;
            row[last] |= tail;
        } else {
            row[first] &= ~head;
            for (int b = first + 1; b < last; b++)
                row[b] = 0;
            row[last] &= ~tail;
        }
    }
}

// The byte-wise form of mask_words.
static void mask_bytes(int x, int y, int w, int h, int set) {
    int stride = mask_stride();
    int first = x / 8, last = (x + w - 1) / 8;
    uint8_t head = (uint8_t)(0xFF << (x % 8));
    uint8_t tail = (uint8_t)(0xFF >> (7 - (x + w - 1) % 8));
    for (int r = 0; r < h; r++) {
        uint8_t *row = shadow_mask + (long)(y + r) * stride;
        for (int b = first; b <= last; b++) {
            uint8_t bits = 0xFF;
            if (b == first)
                bits &= head;
            if (b == last)
                bits &= tail;
            if (set)
                row[b] |= bits;
            else
                row[b] &= (uint8_t)(~bits);
        }
    }
}

// Darkens pixels x..x+n-1 of a row.
static inline void shade_run(uint16_t *row, int x, int n) {
    const uint16_t *table = shade_table;
    uint16_t *p = row + x;
    for (; n >= 4; n -= 4, p += 4) {
        uint16_t a = p[0], b = p[1], c = p[2], d = p[3];
        p[0] = table[a];
        p[1] = table[b];
        p[2] = table[c];
        p[3] = table[d];
    }
    for (int i = 0; i < n; i++)
        p[i] = table[p[i]];
}

// Darkens the pixels of one row whose bits are set in a mask word; x is the
// column of the word's bit 0. The set bits come in runs (shadows are spans),
// so each run is found at once and darkened in one loop.
static inline void shade_word(uint16_t *row, int x, uint32_t bits) {
    if (bits == ~0u) {
        shade_run(row, x, 32);
        return;
    }
    while (bits) {
        int start = __builtin_ctz(bits);
        uint32_t rest = ~(bits >> start); // zero over the run, which is below 32 bits long
        int length = __builtin_ctz(rest);
        shade_run(row, x + start, length);
        int end = start + length;
        bits = end >= 32 ? 0 : bits & bits_from(end);
    }
}

int shadow_mask_size() {
    return (work_height * (work_width + 7)) / 8;
}

uint32_t map_rgb(int red, int green, int blue) {
    // A frame fills hundreds of rectangles in a handful of colours: the last
    // few mappings are remembered, for the pixel format they were made in.
    static const SDL_PixelFormat *format = nullptr;
    static uint32_t colour[4], value[4]; // colour 0 means an empty entry
    static int next = 0;
    uint32_t key = 0x1000000u | (uint32_t)((red & 255) << 16) | (uint32_t)((green & 255) << 8) |
                   (uint32_t)(blue & 255);
    if (format != work_surface->format) {
        format = work_surface->format;
        memset(colour, 0, sizeof colour);
    }
    for (int i = 0; i < 4; i++)
        if (colour[i] == key)
            return value[i];
    uint32_t mapped =
        SDL_MapRGB(format, (Uint8)(red & 255), (Uint8)(green & 255), (Uint8)(blue & 255));
    colour[next] = key;
    value[next] = mapped;
    next = (next + 1) & 3;
    return mapped;
}

void set_draw_clip(int x, int y, int w, int h) {
    clip_left = x < 0 ? 0 : x;
    clip_top = y < 0 ? 0 : y;
    long long right = (long long)x + w, bottom = (long long)y + h;
    clip_right = right > INT_MAX ? INT_MAX : (int)right;
    clip_bottom = bottom > INT_MAX ? INT_MAX : (int)bottom;
}

void fill_rect(int x, int y, int w, int h, int red, int green, int blue) {
    fill_value(x, y, w, h, (uint16_t)map_rgb(red, green, blue));
}

void clear_rect(int x, int y, int w, int h) {
    work_surface_touched = 1;
    if (!clip(&x, &y, &w, &h))
        return;
    for (int r = 0; r < h; r++)
        memset(work_row(y + r) + x, 0, (size_t)w * 2);
}

void put_pixel(int x, int y, int red, int green, int blue) {
    work_surface_touched = 1;
    int w = 1, h = 1;
    if (!clip(&x, &y, &w, &h))
        return;
    work_row(y)[x] = (uint16_t)map_rgb(red, green, blue);
}

void blit_paletted(int dst_x, int dst_y, const PalettedImage *image, int src_x, int src_y, int w,
                   int h) {
    work_surface_touched = 1;
    if (!image || !image->pixels)
        return;
    long long dx = dst_x, dy = dst_y, sx = src_x, sy = src_y, cw = w, ch = h;
    // Destination clip; the source corner moves with the destination's.
    if (dx < clip_left) {
        cw -= clip_left - dx;
        sx += clip_left - dx;
        dx = clip_left;
    }
    if (dy < clip_top) {
        ch -= clip_top - dy;
        sy += clip_top - dy;
        dy = clip_top;
    }
    if (dx + cw > clip_right_edge())
        cw = clip_right_edge() - dx;
    if (dy + ch > clip_bottom_edge())
        ch = clip_bottom_edge() - dy;
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
        uint16_t *dst = work_row((int)(dy + r)) + dx;
        for (long long i = 0; i < cw; i++)
            dst[i] = (uint16_t)(palette[src[i]]);
    }
}

void blit_pixels(int dst_x, int dst_y, const uint16_t *src, int src_pitch, int w, int h) {
    work_surface_touched = 1;
    int x = dst_x, y = dst_y;
    if (!src || !clip(&x, &y, &w, &h))
        return;
    const uint16_t *from = src + (long)(y - dst_y) * src_pitch + (x - dst_x);
    size_t row_bytes = (size_t)w * 2;
    // Short rows that start alike in their words (a face) are copied by
    // aligned words here: a call of memcpy would cost as much as the copy.
    const uint16_t *to = work_row(y) + x;
    bool words = w < 64 && (((uintptr_t)from ^ (uintptr_t)to) & 3) == 0 && (src_pitch % 2) == 0 &&
                 work_pitch % 4 == 0;
    if (!words) {
        for (int r = 0; r < h; r++, from += src_pitch)
            memcpy(work_row(y + r) + x, from, row_bytes);
        return;
    }
    int head = ((uintptr_t)to & 3) != 0 ? 1 : 0;
    int pairs = (w - head) / 2, tail = (w - head) & 1;
    int blocks = pairs / 4, rest = pairs % 4;
    long pitch = work_pitch; // locals: the stores below may alias any global
    uint8_t *row = (uint8_t *)(work_row(y) + x);
    // A face's rows (40 pixels, from either parity) have copies of their own.
    if (!head && pairs == 20 && !tail) {
        copy_rows<false, 5, 0, false>(row, pitch, from, src_pitch, h);
        return;
    }
    if (head && pairs == 19 && tail) {
        copy_rows<true, 4, 3, true>(row, pitch, from, src_pitch, h);
        return;
    }
    for (int r = 0; r < h; r++, from += src_pitch, row += pitch) {
        uint16_t *d = (uint16_t *)row;
        const uint16_t *f = from;
        if (head)
            *d++ = *f++;
        pixel_pair *dw = (pixel_pair *)d;
        const pixel_pair *fw = (const pixel_pair *)f;
        // Four words at a time as one block (load and store multiple on ARM).
        for (int b = 0; b < blocks; b++, dw += 4, fw += 4)
            *(word_block *)dw = *(const word_block *)fw;
        for (int i = 0; i < rest; i++)
            dw[i] = fw[i];
        if (tail)
            d[2 * pairs] = f[2 * pairs];
    }
}

void remap_rect(int x, int y, int w, int h, const uint16_t *table) {
    work_surface_touched = 1;
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
    work_surface_touched = 1;
    int x = 0, y = 0, w = work_width, h = work_height;
    if (!mask || !clip(&x, &y, &w, &h))
        return;
    int stride = mask_stride();
    if (mask_in_words(mask)) {
        // Whole words of 32 pixels; empty ones are passed over at once.
        int first = x >> 5, last = (x + w - 1) >> 5;
        uint32_t head = bits_from(x & 31), tail = bits_to((x + w - 1) & 31);
        if (first == last)
            head &= tail;
        for (int r = y; r < y + h; r++) {
            const mask_word *bits = (const mask_word *)(mask + (long)r * stride);
            uint16_t *row = work_row(r);
            uint32_t word = bits[first] & head;
            if (word)
                shade_word(row, 32 * first, word);
            if (first == last)
                continue;
            for (int b = first + 1; b < last; b++)
                if (bits[b])
                    shade_word(row, 32 * b, bits[b]);
            word = bits[last] & tail;
            if (word)
                shade_word(row, 32 * last, word);
        }
        return;
    }
    for (int r = y; r < y + h; r++) {
        const uint8_t *bits = mask + (long)r * stride;
        uint16_t *row = work_row(r);
        for (int b = x / 8; b <= (x + w - 1) / 8; b++) {
            unsigned byte = bits[b];
            for (int k = 0; byte != 0; k++, byte >>= 1) {
                int px = 8 * b + k;
                if ((byte & 1) && px >= x && px < x + w)
                    row[px] = shade_table[row[px]];
            }
        }
    }
}

void mask_put(int x, int y, int set) {
    work_surface_touched = 1;
    int w = 1, h = 1;
    if (!shadow_mask || !clip(&x, &y, &w, &h))
        return;
    uint8_t *byte = shadow_mask + (long)y * mask_stride() + x / 8;
    uint8_t bit = (uint8_t)(1 << (x % 8));
    if (set)
        *byte |= bit;
    else
        *byte &= (uint8_t)(~bit);
}

void mask_rect(int x, int y, int w, int h, int set) {
    work_surface_touched = 1;
    if (!shadow_mask || !clip(&x, &y, &w, &h))
        return;
    if (mask_in_words(shadow_mask))
        mask_words(x, y, w, h, set);
    else
        mask_bytes(x, y, w, h, set);
}

void mask_bands(int x, int y, const MaskBand *bands, int count, int set) {
    work_surface_touched = 1;
    // Band offsets are 16-bit: a shape whose origin is farther off than that
    // cannot reach the surface, and nearer ones keep every sum in range.
    if (!shadow_mask || x < -65536 || y < -65536 || x > work_width + 65536 ||
        y > work_height + 65536)
        return;
    bool words = mask_in_words(shadow_mask);
    int left = clip_left, top = clip_top, right = clip_right_edge(), bottom = clip_bottom_edge();
    for (int i = 0; i < count; i++) {
        const MaskBand &band = bands[i];
        int x0 = x + band.x0, x1 = x + band.x1, y0 = y + band.y, y1 = y0 + band.h;
        x0 = x0 < left ? left : x0;
        y0 = y0 < top ? top : y0;
        x1 = x1 > right ? right : x1;
        y1 = y1 > bottom ? bottom : y1;
        if (x0 >= x1 || y0 >= y1)
            continue;
        if (words)
            mask_words(x0, y0, x1 - x0, y1 - y0, set);
        else
            mask_bytes(x0, y0, x1 - x0, y1 - y0, set);
    }
}

void mask_clear_all() {
    work_surface_touched = 1;
    if (shadow_mask)
        memset(shadow_mask, 0, shadow_mask_size());
}

void fill_rect_unmask(int x, int y, int w, int h, uint32_t rgb) {
    fill_rect(x, y, w, h, (rgb >> 16) & 255, (rgb >> 8) & 255, rgb & 255);
    mask_rect(x, y, w, h, 0);
}

void save_screen(int slot) {
    work_surface_touched = 1;
    if (slot < 0 || slot >= SLOT_COUNT)
        return;
    if (slot == 0)
        background_saves++;
    size_t row_bytes = (size_t)work_width * 2;
    if (!screen_slots[slot]) {
        screen_slots[slot] = (uint16_t *)malloc(row_bytes * work_height);
        if (!screen_slots[slot])
            out_of_memory(NO_MEMORY_SCREEN_SLOT);
    }
    for (int y = 0; y < work_height; y++)
        memcpy(screen_slots[slot] + (size_t)y * work_width, work_row(y), row_bytes);
}

void restore_screen(int slot) {
    work_surface_touched = 1;
    if (slot < 0 || slot >= SLOT_COUNT || !screen_slots[slot])
        return;
    size_t row_bytes = (size_t)work_width * 2;
    for (int y = 0; y < work_height; y++)
        memcpy(work_row(y), screen_slots[slot] + (size_t)y * work_width, row_bytes);
}

void draw_text(TTF_Font *font, SDL_Surface *surface, int x, int y, SDL_Color colour,
               const char *format, ...) {
    if (surface == work_surface)
        work_surface_touched = 1;
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
    where.x = (Sint16)x;
    where.y = (Sint16)y;
    where.w = 0;
    where.h = 0;
    SDL_UpperBlit(rendered, nullptr, surface, &where);
    SDL_FreeSurface(rendered);
}
