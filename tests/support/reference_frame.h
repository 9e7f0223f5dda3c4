// A second, deliberately plain composition of the board's frame, pixel by
// pixel with its own shadow mask (one byte per pixel) and its own fills,
// copies and stamps, to check what render_board and present_frame leave on
// the work surface and the display. It shares nothing with the renderer or
// the drawing primitives; it reads only the game's state and tables.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

typedef struct _TTF_Font TTF_Font;

// The whole frame for the game as it stands now: screen slot 0, the status
// line (grey, then black one pixel up and left; none without a font), and
// every tile on the board layer by layer with its walls, frame, face,
// highlight and drop shadows. 640x480 pixel values, packed row after row.
// The board is left exactly as it was (flags and positions included).
// With text_font the status line is set in that font (a handle the caller
// opened itself) instead of the game's own.
void reference_frame(std::vector<uint16_t> &frame, TTF_Font *text_font = nullptr);
// Whether screen slot 0, the background every frame starts from, is what
// the game's background should be, made here without the game: the plain
// colour (60, 84, 12) until a picture is chosen, then that picture repeated
// across and down from the top-left corner.
bool background_is_reference();
// The display image of a frame: display (x, y) = frame (2x, 2y); 320x240 packed.
void reference_display(const std::vector<uint16_t> &frame, std::vector<uint16_t> &display);

// How an image on the work surface or the display differs from what was expected.
struct FrameDifference {
    long count = 0;   // pixels that differ
    int first_x = -1; // first differing pixel in reading order
    int first_y = -1;
    uint16_t got = 0;      // its value there
    uint16_t expected = 0; // and the value expected
    int left = 0, top = 0; // smallest rectangle holding every difference
    int right = -1, bottom = -1;
};

// The work surface (rows by work_pitch) against a packed 640x480 image.
FrameDifference compare_work_surface(const std::vector<uint16_t> &frame);
// The display (screen->pixels, rows by screen->pitch) against a packed 320x240 image.
FrameDifference compare_display(const std::vector<uint16_t> &display);
// "no difference", or the count, the first pixel and the bounding rectangle.
std::string describe_difference(const FrameDifference &difference);

// Packed copies of what the work surface and the display hold now.
void capture_work_surface(std::vector<uint16_t> &frame);
void capture_display(std::vector<uint16_t> &display);
