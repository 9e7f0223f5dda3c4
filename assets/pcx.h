// PCX picture reader.
#pragma once
#include <cstdint>

struct PalettedImage {
    uint32_t palette[256]; // display colour of each index (low 16 bits drawn)
    uint8_t *pixels;       // width x height indices, rows top to bottom; null when empty
    int32_t width;
    int32_t height;
};

// Reads a PCX file into image; 0 on success, else a non-zero result code.
int load_pcx(const char *path, PalettedImage *image);
// Releases the image's pixels and sets them to null.
void free_image(PalettedImage *image);
