// Drawing primitives on the work surface, the shadow mask and screen slots.
#pragma once
#include <SDL.h>
#include <SDL_ttf.h>
#include <cstdint>

struct PalettedImage;

extern uint8_t *shadow_mask;     // one bit per work pixel, rows of (work_width+7)/8 bytes
extern uint16_t *screen_slots[8]; // whole-surface copies; slot 0 is the background

void fill_rect(int x, int y, int w, int h, int red, int green, int blue);
void clear_rect(int x, int y, int w, int h);
void put_pixel(int x, int y, int red, int green, int blue);
uint32_t map_rgb(int red, int green, int blue);
void blit_paletted(int dst_x, int dst_y, const PalettedImage *image, int src_x, int src_y, int w,
                   int h);
void remap_rect(int x, int y, int w, int h, const uint16_t *table);
void shade_rect(int x, int y, int w, int h);
void light_rect(int x, int y, int w, int h);
void apply_shadow_mask(const uint8_t *mask);
void mask_put(int x, int y, int set);
void mask_rect(int x, int y, int w, int h, int set);
void mask_clear_all();
void fill_rect_unmask(int x, int y, int w, int h, uint32_t rgb);
void save_screen(int slot);
void restore_screen(int slot);
void draw_text(TTF_Font *font, SDL_Surface *surface, int x, int y, SDL_Color colour,
               const char *format, ...);
