// Minimal PNG output (8-bit RGB, zlib-compressed) for tools and tests.
#pragma once
#include <SDL.h>
#include <cstdint>

// Writes width x height pixels of (red, green, blue), rows from the top, as a PNG.
// Returns 0 on success, -1 when the file cannot be written or memory runs out.
int write_png_rgb(const char *path, int width, int height, const uint8_t *rgb);
// Writes a whole SDL surface of any pixel format as a PNG (colours via SDL_GetRGB).
int write_png_surface(const char *path, SDL_Surface *surface);
