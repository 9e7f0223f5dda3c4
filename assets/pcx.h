// PCX picture reader.
#pragma once
#include <cstdint>

struct PalettedImage {
    uint32_t palette[256]; // display colour of each index (low 16 bits drawn)
    uint8_t *pixels;       // width x height indices, rows top to bottom; null when empty
    int32_t width;
    int32_t height;
};

// Result codes of load_pcx. Callers test 0 against non-zero; the number is
// printed when the first tile set fails. There is no code 7.
enum {
    PCX_OK = 0,
    PCX_CANNOT_OPEN = 1,      // cannot be opened for reading, or is a pipe, device or socket
    PCX_BAD_MANUFACTURER = 2, // first byte is not 10, or the file is empty (as a folder reads)
    PCX_BAD_VERSION = 3,      // version byte is not 5
    PCX_BAD_ENCODING = 4,     // encoding byte is not 1 (run-length)
    PCX_BAD_DEPTH = 5,        // bits per pixel neither 8 nor 1
    PCX_BAD_PLANES = 6,       // 8 bits per pixel in other than one plane
    PCX_NO_MEMORY = 8,        // the pixel array cannot be allocated
    PCX_SHORT_HEADER = 9,     // the file ends inside the 128-byte header
    PCX_EMPTY_SIZE = 10,      // width or height below 1
    PCX_LONG_LINE = 11,       // planes x bytes per line exceeds the 2048-byte scan line
    PCX_NARROW_LINE = 12,     // 8-bit: bytes per line below the width
    PCX_NARROW_PLANE = 13,    // 1-bit: 8 x bytes per line below the width
    PCX_NO_PALETTE = 14,      // 8-bit file shorter than the 768-byte palette at its end
    PCX_TOO_LARGE = 15,       // width x height above PCX_MAX_PIXELS
};

// Largest picture load_pcx accepts, in pixels (16 Mi: 4096 x 4096).
enum { PCX_MAX_PIXELS = 16 * 1024 * 1024 };

// Reads a PCX file into image; 0 on success, else one of the codes above.
// On failure the record is all zero. Needs the display set up (colours are
// mapped with the work surface's pixel format).
int load_pcx(const char *path, PalettedImage *image);
// Releases the image's pixels and sets them to null.
void free_image(PalettedImage *image);
