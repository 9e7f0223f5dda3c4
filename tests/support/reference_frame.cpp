// The board's frame composed the slow, obvious way: every rectangle is a loop
// over pixels, the shadow mask is one byte per pixel, and nothing is cached
// between calls.
#include "reference_frame.h"

#include "app/app.h"
#include "assets/cycle.h"
#include "assets/pcx.h"
#include "game/board.h"
#include "game/freedom.h"
#include "game/play.h"
#include "gfx/display.h"
#include "gfx/draw.h"
#include "gfx/geometry.h"

#include <SDL.h>
#include <SDL_ttf.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

// This file checks the game; it is not under test. In a fuzzing build
// (coverage instrumentation on) its per-pixel loops would cost more than the
// game's own frames if they were instrumented too, so they are left plain
// there; sanitizer builds without coverage still check them.
#if defined(__clang__) && defined(__has_feature)
#if __has_feature(coverage_sanitizer)
#define REFERENCE_LEFT_PLAIN 1
#pragma clang attribute push(__attribute__((no_sanitize("coverage", "address", "undefined"))),     \
                             apply_to = function)
#endif
#endif

namespace {

// The rows y0..y1-1 and columns x0..x1-1 of a rectangle that lie on the frame.
struct Area {
    long long x0, x1, y0, y1;
};

long long within(long long v, long long limit) {
    return v < 0 ? 0 : v > limit ? limit : v;
}

Area on_frame(long long x, long long y, long long w, long long h) {
    return {within(x, WORK_WIDTH), within(x + w, WORK_WIDTH), within(y, WORK_HEIGHT),
            within(y + h, WORK_HEIGHT)};
}

// A frame under construction: pixels and their shadow bytes, WORK_WIDTH x WORK_HEIGHT
// each, packed row after row.
struct Canvas {
    uint16_t *pixels;
    uint8_t *shadow;

    uint16_t &at(long long x, long long y) {
        return pixels[static_cast<size_t>(y * WORK_WIDTH + x)];
    }
    // Marks (on = 1) or unmarks (on = 0) the rectangle's pixels as shaded.
    void shadow_rect(long long x, long long y, long long w, long long h, uint8_t on) {
        Area a = on_frame(x, y, w, h);
        for (long long r = a.y0; r < a.y1; r++)
            for (long long c = a.x0; c < a.x1; c++)
                shadow[static_cast<size_t>(r * WORK_WIDTH + c)] = on;
    }
    // A solid rectangle; the pixels it paints are out of the shadow.
    void paint(long long x, long long y, long long w, long long h, uint16_t colour) {
        Area a = on_frame(x, y, w, h);
        for (long long r = a.y0; r < a.y1; r++)
            for (long long c = a.x0; c < a.x1; c++)
                at(c, r) = colour;
        shadow_rect(x, y, w, h, 0);
    }
};

uint16_t colour(int red, int green, int blue) {
    return static_cast<uint16_t>(SDL_MapRGB(work_surface->format, static_cast<Uint8>(red),
                                            static_cast<Uint8>(green), static_cast<Uint8>(blue)));
}

// Draws the text with SDL_ttf's blended rendering straight onto the frame,
// through an SDL surface laid over the frame's own pixels.
void text(std::vector<uint16_t> &pixels, TTF_Font *face, const char *line, int x, int y,
          SDL_Color ink) {
    char cut[1024]; // the game formats the status line into 1024 bytes
    snprintf(cut, sizeof cut, "%s", line);
    SDL_PixelFormat *f = work_surface->format;
    SDL_Surface *target =
        SDL_CreateRGBSurfaceFrom(pixels.data(), WORK_WIDTH, WORK_HEIGHT, 16, WORK_WIDTH * 2,
                                 f->Rmask, f->Gmask, f->Bmask, f->Amask);
    if (!target)
        return;
    SDL_Surface *rendered = TTF_RenderUTF8_Blended(face, cut, ink);
    if (rendered) {
        SDL_Rect where = {static_cast<Sint16>(x), static_cast<Sint16>(y), 0, 0};
        SDL_BlitSurface(rendered, nullptr, target, &where);
        SDL_FreeSurface(rendered);
    }
    SDL_FreeSurface(target);
}

// The shadow a tile casts from origin (x, y): the tile's own top-left corner
// moved d pixels right and d pixels up.
void cast_shadow(Canvas &canvas, const Tile &tile, long long x, long long y) {
    if (tile.flags & TILE_OPEN_TOP) {
        // Eight rows above the tile, slanting right as they rise: row Y-8+k
        // runs from X+from[k] to X+to[k].
        static const int from[8] = {6, 4, 2, 1, 0, -1, -2, -3};
        static const int to[8] = {45, 46, 44, 43, 42, 41, 40, 39};
        for (int k = 0; k < 8; k++)
            canvas.shadow_rect(x + from[k], y - 8 + k, to[k] - from[k] + 1, 1, 1);
    }
    if (tile.flags & TILE_OPEN_RIGHT_UPPER) {
        // Columns X+40..X+45 start one row higher each (Y-1 .. Y-6) and are
        // 24 rows long; columns X+46 and X+47 run from Y-6 to Y+16.
        for (int k = 0; k < 6; k++)
            canvas.shadow_rect(x + 40 + k, y - 1 - k, 1, 24, 1);
        canvas.shadow_rect(x + 46, y - 6, 2, 23, 1);
    }
    if (tile.flags & TILE_OPEN_RIGHT_LOWER) {
        // Columns X+47 down to X+40, 24 rows each, starting at Y+16 .. Y+23.
        for (int k = 0; k < 8; k++)
            canvas.shadow_rect(x + 47 - k, y + 16 + k, 1, 24, 1);
    }
    canvas.shadow_rect(x + 38, y, 2, 2, 1); // the top right corner, always
}

struct Inks {
    uint16_t near_wall, far_wall, frame;
};

void draw_tile_here(Canvas &canvas, const Tile &tile, const Inks &ink) {
    long long x = tile.screen_x, y = tile.screen_y;
    if (tile.flags & TILE_OPEN_LEFT) {
        canvas.paint(x - 4, y + 2, 2, 48, ink.near_wall);
        canvas.paint(x - 6, y + 4, 2, 48, ink.far_wall);
    }
    canvas.paint(x + 38, y + 2, 2, 48, ink.frame);
    canvas.paint(x - 2, y, 42, 2, ink.frame);
    if (tile.flags & TILE_OPEN_BOTTOM) {
        canvas.paint(x - 2, y + 48, 40, 2, ink.near_wall);
        canvas.paint(x - 4, y + 50, 40, 2, ink.far_wall);
    } else {
        canvas.paint(x - 2, y + 48, 42, 2, ink.frame);
    }
    // The face, 40x46 at (FX, FY) = (X-2, Y+2): cell (face mod 9, face div 9)
    // of 42x48 in the tile set, its top-left 40x46. Frame pixel (c, r) of the
    // face shows picture pixel (cell_x + c - FX, cell_y + r - FY); only
    // picture pixels that exist are copied, the rest of the face keeps what
    // lay there.
    long long fx = x - 2, fy = y + 2;
    long long cell_x = 42LL * (tile.face % 9);
    long long cell_y = 48LL * (tile.face / 9);
    const PalettedImage &image = tile_image;
    Area face = on_frame(fx, fy, 40, 46);
    if (image.pixels) {
        long long c0 = std::max(face.x0, fx - cell_x);
        long long c1 = std::min(face.x1, fx - cell_x + image.width);
        long long r0 = std::max(face.y0, fy - cell_y);
        long long r1 = std::min(face.y1, fy - cell_y + image.height);
        for (long long r = r0; r < r1; r++) {
            const uint8_t *from = image.pixels + (cell_y + r - fy) * image.width;
            uint16_t *to = &canvas.at(0, r);
            for (long long c = c0; c < c1; c++)
                to[c] = static_cast<uint16_t>(image.palette[from[cell_x + c - fx]]);
        }
    }
    if (tile.flags & TILE_SELECTED)
        for (long long r = face.y0; r < face.y1; r++) {
            uint16_t *row = &canvas.at(0, r);
            for (long long c = face.x0; c < face.x1; c++)
                row[c] = light_table[row[c]];
        }
    canvas.shadow_rect(x - 2, y + 2, 40, 46, 0);
}

} // namespace

void reference_frame(std::vector<uint16_t> &frame, TTF_Font *text_font) {
    frame.resize(static_cast<size_t>(WORK_WIDTH) * WORK_HEIGHT);
    if (screen_slots[0])
        memcpy(frame.data(), screen_slots[0], frame.size() * sizeof frame[0]);
    else
        capture_work_surface(frame); // no background saved: the frame goes over what is there

    TTF_Font *face = text_font ? text_font : font;
    if (face && status_text) {
        text(frame, face, status_text, WORK_WIDTH - 280, WORK_HEIGHT - 80,
             SDL_Color{200, 200, 200, 0});
        text(frame, face, status_text, WORK_WIDTH - 281, WORK_HEIGHT - 81, SDL_Color{0, 0, 0, 0});
    }

    // Freedom and positions as a frame computes them, on a copy: the game's
    // board is put back as it was.
    static Board saved;
    memcpy(&saved, &board, sizeof board);
    update_tile_flags();
    // Half a tile is TILE_STEP_X pixels across and TILE_STEP_Y down; each
    // layer up shifts a tile LAYER_SHIFT pixels right and as many up.
    for (Tile &t : board.tiles) {
        t.screen_x = t.col * TILE_STEP_X + t.layer * LAYER_SHIFT + BOARD_LEFT;
        t.screen_y = t.row * TILE_STEP_Y - t.layer * LAYER_SHIFT + BOARD_TOP;
    }
    static Tile tiles[BOARD_TILES];
    memcpy(tiles, board.tiles, sizeof tiles);
    int drawn = board.tile_count < BOARD_TILES ? board.tile_count : BOARD_TILES;
    memcpy(&board, &saved, sizeof board);

    static std::vector<uint8_t> shadow;
    shadow.assign(frame.size(), 0);
    Canvas canvas{frame.data(), shadow.data()};
    Inks ink = {colour(231, 227, 199), colour(247, 243, 247), colour(48, 48, 48)};
    for (int pass = 0; pass < 7; pass++) {
        for (const Tile &t : tiles)
            if (!(t.flags & TILE_REMOVED) && t.layer >= pass) {
                long long d = 8LL * (t.layer - pass);
                cast_shadow(canvas, t, t.screen_x + d, t.screen_y - d);
            }
        for (int i = 0; i < drawn; i++)
            if (!(tiles[i].flags & TILE_REMOVED) && tiles[i].layer == pass)
                draw_tile_here(canvas, tiles[i], ink);
    }
    const long long size = static_cast<long long>(WORK_WIDTH) * WORK_HEIGHT;
    for (long long i = 0; i < size; i++)
        if (canvas.shadow[i])
            canvas.pixels[i] = shade_table[canvas.pixels[i]];
}

bool background_is_reference() {
    std::vector<uint16_t> want(static_cast<size_t>(WORK_WIDTH) * WORK_HEIGHT, colour(60, 84, 12));
    if (background_index >= 0) {
        char path[64];
        snprintf(path, sizeof path, "data/image/background/bg%d.pcx", background_index);
        PalettedImage picture = {};
        if (load_pcx(path, &picture) != 0 || picture.width < 1 || picture.height < 1) {
            fprintf(stderr, "reference: cannot decode %s\n", path);
            return false;
        }
        for (int y = 0; y < WORK_HEIGHT; y++)
            for (int x = 0; x < WORK_WIDTH; x++)
                want[static_cast<size_t>(y) * WORK_WIDTH + x] = static_cast<uint16_t>(
                    picture.palette[picture.pixels[(y % picture.height) * picture.width +
                                                   x % picture.width]]);
        free_image(&picture);
    }
    return screen_slots[0] && memcmp(screen_slots[0], want.data(), want.size() * 2) == 0;
}

void reference_display(const std::vector<uint16_t> &frame, std::vector<uint16_t> &display) {
    display.resize(static_cast<size_t>(DISPLAY_WIDTH) * DISPLAY_HEIGHT);
    const uint16_t *from = frame.data();
    uint16_t *to = display.data();
    for (int y = 0; y < DISPLAY_HEIGHT; y++)
        for (int x = 0; x < DISPLAY_WIDTH; x++)
            to[y * DISPLAY_WIDTH + x] = from[(SAMPLING * y) * WORK_WIDTH + SAMPLING * x];
}

namespace {

// Compares an image held in rows of pitch bytes with a packed one.
FrameDifference compare_rows(const void *pixels, int pitch, const std::vector<uint16_t> &want,
                             int width, int height) {
    FrameDifference d;
    if (want.size() != static_cast<size_t>(width) * height) {
        d.count = -1; // an expected image of the wrong size never matches
        return d;
    }
    for (int y = 0; y < height; y++) {
        const uint16_t *row = reinterpret_cast<const uint16_t *>(
            static_cast<const uint8_t *>(pixels) + static_cast<long>(y) * pitch);
        const uint16_t *wanted = want.data() + static_cast<size_t>(y) * width;
        if (memcmp(row, wanted, static_cast<size_t>(width) * 2) == 0)
            continue;
        for (int x = 0; x < width; x++) {
            uint16_t expected = wanted[x];
            if (row[x] == expected)
                continue;
            if (d.count++ == 0) {
                d.first_x = d.left = d.right = x;
                d.first_y = d.top = d.bottom = y;
                d.got = row[x];
                d.expected = expected;
            }
            d.left = x < d.left ? x : d.left;
            d.right = x > d.right ? x : d.right;
            d.bottom = y;
        }
    }
    return d;
}

void copy_rows(const void *pixels, int pitch, int width, int height, std::vector<uint16_t> &out) {
    out.resize(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; y++)
        memcpy(out.data() + static_cast<size_t>(y) * width,
               static_cast<const uint8_t *>(pixels) + static_cast<long>(y) * pitch,
               static_cast<size_t>(width) * 2);
}

} // namespace

FrameDifference compare_work_surface(const std::vector<uint16_t> &frame) {
    return compare_rows(work_pixels, work_pitch, frame, WORK_WIDTH, WORK_HEIGHT);
}

FrameDifference compare_display(const std::vector<uint16_t> &display) {
    return compare_rows(screen->pixels, screen->pitch, display, DISPLAY_WIDTH, DISPLAY_HEIGHT);
}

std::string describe_difference(const FrameDifference &d) {
    if (d.count == 0)
        return "no difference";
    if (d.count < 0)
        return "the expected image has the wrong size";
    char text[200];
    snprintf(text, sizeof text,
             "%ld pixels differ, first at (%d, %d): 0x%04x instead of 0x%04x; all within x %d..%d, "
             "y %d..%d",
             d.count, d.first_x, d.first_y, d.got, d.expected, d.left, d.right, d.top, d.bottom);
    return text;
}

void capture_work_surface(std::vector<uint16_t> &frame) {
    copy_rows(work_pixels, work_pitch, WORK_WIDTH, WORK_HEIGHT, frame);
}

void capture_display(std::vector<uint16_t> &display) {
    copy_rows(screen->pixels, screen->pitch, DISPLAY_WIDTH, DISPLAY_HEIGHT, display);
}

#ifdef REFERENCE_LEFT_PLAIN
#pragma clang attribute pop
#endif
