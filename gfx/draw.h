// Drawing primitives on the work surface, the shadow mask and screen slots.
// Every rectangle is clipped to the work surface, and further to the drawing
// clip while set_draw_clip narrows it; callers never clip.
#pragma once
#include <SDL.h>
#include <SDL_ttf.h>
#include <cstdint>

struct PalettedImage;

// One rectangle of a mask shape: columns x0..x1-1 of rows y..y+h-1, from
// the shape's origin.
struct MaskBand {
    int16_t y;
    int16_t h;
    int16_t x0;
    int16_t x1;
};

extern uint8_t *shadow_mask;      // one bit per work pixel, rows of (work_width+7)/8 bytes
extern uint16_t *screen_slots[8]; // whole-surface copies; slot 0 is the background
extern unsigned char work_surface_touched; // set by every primitive; the renderer clears it
extern unsigned long background_saves;     // save_screen(0) calls so far

// Bytes shadow_mask must hold: (work_height x (work_width + 7)) / 8.
int shadow_mask_size();
// Fills the rectangle with a colour given as 8-bit components.
void fill_rect(int x, int y, int w, int h, int red, int green, int blue);
// Sets every pixel of the rectangle to the value 0.
void clear_rect(int x, int y, int w, int h);
// Colours one pixel if it lies on the surface.
void put_pixel(int x, int y, int red, int green, int blue);
// The work surface's pixel value for a colour.
uint32_t map_rgb(int red, int green, int blue);
// Limits every following rectangle, pixel and mask operation to the given
// rectangle as well as the surface; the whole surface lifts the limit.
void set_draw_clip(int x, int y, int w, int h);
// Copies a w x h block of pixel values, rows src_pitch values apart, to
// (dst_x, dst_y); the caller keeps the block inside its source.
void blit_pixels(int dst_x, int dst_y, const uint16_t *src, int src_pitch, int w, int h);
// Copies a w x h region of a paletted image from (src_x, src_y) to (dst_x, dst_y);
// what lies outside the image or the surface is left out.
void blit_paletted(int dst_x, int dst_y, const PalettedImage *image, int src_x, int src_y, int w,
                   int h);
// Replaces every pixel p of the rectangle by table[p].
void remap_rect(int x, int y, int w, int h, const uint16_t *table);
// Darkens the rectangle through shade_table.
void shade_rect(int x, int y, int w, int h);
// Lightens the rectangle through light_table.
void light_rect(int x, int y, int w, int h);
// Darkens every pixel whose bit is set in mask (laid out as shadow_mask).
void apply_shadow_mask(const uint8_t *mask);
// Sets (set != 0) or clears the shadow_mask bit of one pixel on the surface.
void mask_put(int x, int y, int set);
// Sets or clears the shadow_mask bits of the rectangle.
void mask_rect(int x, int y, int w, int h, int set);
// Sets (set != 0) or clears the shadow_mask bits of a shape made of bands.
void mask_bands(int x, int y, const MaskBand *bands, int count, int set);
// Zeroes the whole shadow_mask.
void mask_clear_all();
// Fills the rectangle with colour 0xRRGGBB and clears its mask bits.
void fill_rect_unmask(int x, int y, int w, int h, uint32_t rgb);
// Copies the whole work surface into slot 0..7 (other numbers are ignored).
void save_screen(int slot);
// Copies a saved slot back onto the work surface; empty or invalid slots do nothing.
void restore_screen(int slot);
// Formats text as printf does (cut to 1023 bytes) and draws it with its top left at (x, y).
void draw_text(TTF_Font *font, SDL_Surface *surface, int x, int y, SDL_Color colour,
               const char *format, ...) __attribute__((format(printf, 6, 7)));
