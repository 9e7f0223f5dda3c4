// PCX writers for tools and tests: 8-bit one-plane pictures with a trailing
// 256-colour palette, and 1-bit pictures of 1 to 8 planes with the 16-colour
// header palette. Both run-length encode each scan line as a unit.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Encodes an 8-bit picture: pixels holds width x height indices row by row,
// palette 256 x (red, green, blue). BytesPerLine is the width rounded up to
// an even number; padding bytes are 0.
std::vector<uint8_t> encode_pcx8(int width, int height, const uint8_t *pixels,
                                 const uint8_t palette[768]);

// Encodes a 1-bit planar picture: bit p of each pixel index goes to plane p
// (plane 0 first in every scan line); palette 16 x (red, green, blue) goes
// into the header. nplanes is 1 to 8.
std::vector<uint8_t> encode_pcx_planar(int width, int height, int nplanes, const uint8_t *pixels,
                                       const uint8_t palette[48]);

// Run-length encodes one scan line in PCX fashion and appends it to out.
void pcx_encode_line(const uint8_t *line, int length, std::vector<uint8_t> &out);

// Writes bytes to path; 0 on success, -1 when the file cannot be written.
int write_file_bytes(const char *path, const std::vector<uint8_t> &bytes);

// encode_pcx8 then write_file_bytes; 0 on success, -1 on failure.
int write_pcx8(const char *path, int width, int height, const uint8_t *pixels,
               const uint8_t palette[768]);
// encode_pcx_planar then write_file_bytes; 0 on success, -1 on failure.
int write_pcx_planar(const char *path, int width, int height, int nplanes, const uint8_t *pixels,
                     const uint8_t palette[48]);
