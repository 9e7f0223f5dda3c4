// The board renderer: background, status line, tiles layer by layer with
// their walls, frames and faces, and drop shadows through the shadow mask.
//
// A frame is the same whether it is drawn whole or in parts: every pixel's
// value depends only on the operations that cover it. So the renderer keeps
// what it last drew (each tile's look, the status line) and recomputes only
// the rectangles where that changed, running the whole frame's steps clipped
// to each rectangle; the display is then updated in those rectangles alone.
#include "gfx/render.h"

#include "app/app.h"
#include "assets/cycle.h"
#include "game/board.h"
#include "game/freedom.h"
#include "game/play.h"
#include "gfx/display.h"
#include "gfx/draw.h"
#include "gfx/geometry.h"

#include <climits>
#include <cstddef>
#include <cstdio>
#include <cstring>

enum {
    LAYER_PASSES = 7,      // layers 0..6 are drawn
    SHADOW_STEP = 8,       // shadow offset per layer of height difference
    TEXT_FROM_RIGHT = 280, // status text anchor, from the right and bottom edges
    TEXT_FROM_BOTTOM = 80,
    // The status line never reaches beyond its anchor's distance from the right
    // and bottom edges (plus the black copy's pixel up and left).
    TEXT_BOX_W = TEXT_FROM_RIGHT + 1,
    TEXT_BOX_H = TEXT_FROM_BOTTOM + 1,
    TEXT_CACHE = 4,     // status lines kept ready; the game alternates two
    TEXT_LENGTH = 1024, // the status line is drawn cut to 1023 bytes
    DIRTY_RECTS = 32,   // changed rectangles per frame; more redraw it whole
    LOOK_BITS = TILE_OPEN_RIGHT_UPPER | TILE_OPEN_RIGHT_LOWER | TILE_OPEN_TOP | TILE_OPEN_LEFT |
                TILE_OPEN_BOTTOM | TILE_SELECTED,
};

struct Colour {
    int red, green, blue;
};
static const Colour WALL_NEAR = {231, 227, 199}; // wall strip next to the tile
static const Colour WALL_FAR = {247, 243, 247};  // wall strip farther out
static const Colour FRAME = {48, 48, 48};        // frame lines

// One rectangle of a mask shape, relative to its origin.
struct ShapeRect {
    int flag; // edge bit that enables it, 0 = always
    int x;
    int y;
    int w;
    int h;
};

// The shadow shape: an open top casts a slanting band of eight rows, an open
// upper or lower right half casts slanting columns, and the 2x2 square at the
// top right corner is always cast.
// clang-format off
static const ShapeRect SHADOW_SHAPE[] = {
    {TILE_OPEN_TOP, 6, -8, 40, 1},
    {TILE_OPEN_TOP, 4, -7, 43, 1},
    {TILE_OPEN_TOP, 2, -6, 43, 1},
    {TILE_OPEN_TOP, 1, -5, 43, 1},
    {TILE_OPEN_TOP, 0, -4, 43, 1},
    {TILE_OPEN_TOP, -1, -3, 43, 1},
    {TILE_OPEN_TOP, -2, -2, 43, 1},
    {TILE_OPEN_TOP, -3, -1, 43, 1},
    {TILE_OPEN_RIGHT_UPPER, 46, -6, 2, 23},
    {TILE_OPEN_RIGHT_UPPER, 45, -6, 1, 24},
    {TILE_OPEN_RIGHT_UPPER, 44, -5, 1, 24},
    {TILE_OPEN_RIGHT_UPPER, 43, -4, 1, 24},
    {TILE_OPEN_RIGHT_UPPER, 42, -3, 1, 24},
    {TILE_OPEN_RIGHT_UPPER, 41, -2, 1, 24},
    {TILE_OPEN_RIGHT_UPPER, 40, -1, 1, 24},
    {TILE_OPEN_RIGHT_LOWER, 47, 16, 1, 24},
    {TILE_OPEN_RIGHT_LOWER, 46, 17, 1, 24},
    {TILE_OPEN_RIGHT_LOWER, 45, 18, 1, 24},
    {TILE_OPEN_RIGHT_LOWER, 44, 19, 1, 24},
    {TILE_OPEN_RIGHT_LOWER, 43, 20, 1, 24},
    {TILE_OPEN_RIGHT_LOWER, 42, 21, 1, 24},
    {TILE_OPEN_RIGHT_LOWER, 41, 22, 1, 24},
    {TILE_OPEN_RIGHT_LOWER, 40, 23, 1, 24},
    {0, 38, 0, 2, 2},
};
// clang-format on

// Mask shapes (the shadow of a tile, the area a drawn tile covers) are kept
// as bands: the runs of each row, made once from their rectangles, with rows
// of equal runs joined. A stamp or a clear is then one word operation or two
// per row, and few set-ups of a rectangle: the slanted edges of the shadow
// are rows, not columns.
enum {
    SHAPE_LEFT = -8,   // shapes reach from this column of their origin
    SHAPE_TOP = -8,    // and this row
    SHAPE_ROWS = 64,   // rows of a shape, from SHAPE_TOP
    SHAPE_BANDS = 128, // rectangles of a shape: at most two a row
    SHAPE_EDGES = TILE_OPEN_TOP | TILE_OPEN_RIGHT_UPPER | TILE_OPEN_RIGHT_LOWER,
};

struct Shape {
    MaskBand bands[SHAPE_BANDS];
    int count;
};

// A half-open rectangle of the work surface: columns x0..x1-1, rows y0..y1-1.
struct Box {
    int x0, y0, x1, y1;
};

// What a tile contributes to a frame. Tiles that are neither stamped nor
// drawn look alike (all zero), whatever their other fields hold.
struct TileLook {
    int32_t x, y, layer, face, flags; // flags: LOOK_BITS only
    int32_t shown;                    // 1 when the tile is stamped or drawn
};

// A status line ready to draw: its two rendered copies and, once a frame
// has drawn it whole, the background with the text over it in its box.
struct StatusLine {
    char text[TEXT_LENGTH];
    TTF_Font *font;
    SDL_Surface *grey;         // lower-right copy, or null when it rendered to nothing
    SDL_Surface *black;        // upper-left copy, or null
    Box box;                   // where the copies reach on the work surface
    bool composed;             // patch holds the box over the background of composed_on
    unsigned long composed_on; // background_saves when the patch was made
    unsigned long used;        // status_uses at the last use, to pick one to replace
    uint16_t patch[TEXT_BOX_W * TEXT_BOX_H];
};

// What the work surface shows: each tile's look and the box it can reach,
// the tile count and the status line of the last frame drawn.
static bool frame_known = false;
static TileLook look[BOARD_TILES];
static Box reach[BOARD_TILES];
static int drawn_tile_count = 0;
static StatusLine *drawn_status = nullptr;

static StatusLine status_lines[TEXT_CACHE];
static unsigned long status_uses = 0; // lookups of status lines so far

// The faces of tile_image as pixel values, and what they were made from.
// Two copies of each face: rows that start on a word, and rows with one
// pixel before them, so that either parity of destination copies by words.
alignas(4) static uint16_t face_pixels[FACE_COUNT][FACE_W * FACE_H];
alignas(4) static uint16_t face_pixels_odd[FACE_COUNT][(FACE_W + 2) * FACE_H];
static bool face_ready[FACE_COUNT];
static bool faces_known = false;
static bool faces_converted = false; // made anew since the last frame, which must be whole
static const uint8_t *faces_from = nullptr;
static int32_t faces_width = 0, faces_height = 0;
static uint32_t faces_palette[256];

static const Box NO_BOX = {0, 0, 0, 0};

static bool box_empty(const Box &b) {
    return b.x1 <= b.x0 || b.y1 <= b.y0;
}

// The box clipped to the work surface, from 64-bit edges.
static Box surface_box(long long x0, long long y0, long long x1, long long y1) {
    Box b;
    b.x0 = (int)(x0 < 0 ? 0 : x0 > work_width ? work_width : x0);
    b.y0 = (int)(y0 < 0 ? 0 : y0 > work_height ? work_height : y0);
    b.x1 = (int)(x1 < 0 ? 0 : x1 > work_width ? work_width : x1);
    b.y1 = (int)(y1 < 0 ? 0 : y1 > work_height ? work_height : y1);
    return box_empty(b) ? NO_BOX : b;
}

static bool boxes_meet(const Box &a, const Box &b) {
    return a.x0 < b.x1 && b.x0 < a.x1 && a.y0 < b.y1 && b.y0 < a.y1;
}

static Box box_union(const Box &a, const Box &b) {
    if (box_empty(a))
        return b;
    if (box_empty(b))
        return a;
    Box u = a;
    u.x0 = b.x0 < u.x0 ? b.x0 : u.x0;
    u.y0 = b.y0 < u.y0 ? b.y0 : u.y0;
    u.x1 = b.x1 > u.x1 ? b.x1 : u.x1;
    u.y1 = b.y1 > u.y1 ? b.y1 : u.y1;
    return u;
}

// Rebuilds the converted faces when tile_image is not the picture they were
// made from. Faces whose cell lies wholly inside the picture are converted;
// the others are drawn from the picture as far as it holds them. True when
// the faces were made anew.
static bool ensure_faces() {
    if (faces_known && faces_from == tile_image.pixels && faces_width == tile_image.width &&
        faces_height == tile_image.height &&
        memcmp(faces_palette, tile_image.palette, sizeof faces_palette) == 0)
        return false;
    faces_known = true;
    faces_from = tile_image.pixels;
    faces_width = tile_image.width;
    faces_height = tile_image.height;
    memcpy(faces_palette, tile_image.palette, sizeof faces_palette);
    for (int f = 0; f < FACE_COUNT; f++) {
        int cell_x = CELL_W * (f % FACES_ACROSS), cell_y = CELL_H * (f / FACES_ACROSS);
        face_ready[f] = tile_image.pixels && cell_x + FACE_W <= tile_image.width &&
                        cell_y + FACE_H <= tile_image.height;
        if (!face_ready[f])
            continue;
        for (int y = 0; y < FACE_H; y++) {
            const uint8_t *from =
                tile_image.pixels + (long)(cell_y + y) * tile_image.width + cell_x;
            uint16_t *even = face_pixels[f] + y * FACE_W;
            uint16_t *odd = face_pixels_odd[f] + y * (FACE_W + 2) + 1;
            for (int x = 0; x < FACE_W; x++)
                even[x] = odd[x] = (uint16_t)(tile_image.palette[from[x]]);
        }
    }
    return true;
}

// Turns rectangles (relative to the origin, within the shape's reach) into
// the runs of each row.
static void make_shape(Shape *shape, const ShapeRect *rects, int count) {
    uint64_t rows[SHAPE_ROWS] = {};
    for (int i = 0; i < count; i++)
        for (int r = rects[i].y - SHAPE_TOP; r < rects[i].y - SHAPE_TOP + rects[i].h; r++)
            for (int k = rects[i].x - SHAPE_LEFT; k < rects[i].x - SHAPE_LEFT + rects[i].w; k++)
                rows[r] |= (uint64_t)1 << k;
    shape->count = 0;
    for (int r = 0; r < SHAPE_ROWS; r++) {
        for (int k = 0; k < 64;) {
            if (!((rows[r] >> k) & 1)) {
                k++;
                continue;
            }
            int end = k;
            while (end < 64 && ((rows[r] >> end) & 1))
                end++;
            int y = r + SHAPE_TOP, x0 = k + SHAPE_LEFT, x1 = end + SHAPE_LEFT;
            k = end;
            // The same run in the row above extends its band.
            bool joined = false;
            for (int b = 0; b < shape->count && !joined; b++) {
                MaskBand &band = shape->bands[b];
                if (band.x0 == x0 && band.x1 == x1 && band.y + band.h == y) {
                    band.h++;
                    joined = true;
                }
            }
            if (joined)
                continue;
            if (shape->count == SHAPE_BANDS)
                return; // never: the shapes here have at most two runs a row
            MaskBand &band = shape->bands[shape->count++];
            band.y = (int16_t)y;
            band.h = 1;
            band.x0 = (int16_t)x0;
            band.x1 = (int16_t)x1;
        }
    }
}

// The shadow shape for a tile's edge bits.
static const Shape *shadow_shape(int flags) {
    static Shape shapes[8];
    static bool made = false;
    if (!made) {
        made = true;
        for (int combo = 0; combo < 8; combo++) {
            int edges = (combo & 1 ? TILE_OPEN_TOP : 0) | (combo & 2 ? TILE_OPEN_RIGHT_UPPER : 0) |
                        (combo & 4 ? TILE_OPEN_RIGHT_LOWER : 0);
            ShapeRect rects[sizeof SHADOW_SHAPE / sizeof SHADOW_SHAPE[0]];
            int n = 0;
            for (const ShapeRect &span : SHADOW_SHAPE)
                if (span.flag == 0 || (edges & span.flag))
                    rects[n++] = span;
            make_shape(&shapes[combo], rects, n);
        }
    }
    return &shapes[(flags & TILE_OPEN_TOP ? 1 : 0) | (flags & TILE_OPEN_RIGHT_UPPER ? 2 : 0) |
                   (flags & TILE_OPEN_RIGHT_LOWER ? 4 : 0)];
}

// What a drawn tile covers (the rectangles draw_one_tile fills) for each
// combination of an open left and an open bottom edge.
static const Shape *cover_shape(int flags) {
    static Shape shapes[4];
    static bool made = false;
    if (!made) {
        made = true;
        for (int combo = 0; combo < 4; combo++) {
            ShapeRect rects[8];
            int n = 0;
            if (combo & 1) {
                rects[n++] = {0, -4, 2, 2, 48};
                rects[n++] = {0, -6, 4, 2, 48};
            }
            rects[n++] = {0, 38, 2, 2, 48};
            rects[n++] = {0, -2, 0, 42, 2};
            if (combo & 2) {
                rects[n++] = {0, -2, 48, 40, 2};
                rects[n++] = {0, -4, 50, 40, 2};
            } else {
                rects[n++] = {0, -2, 48, 42, 2};
            }
            rects[n++] = {0, -2, 2, FACE_W, FACE_H};
            make_shape(&shapes[combo], rects, n);
        }
    }
    return &shapes[(flags & TILE_OPEN_LEFT ? 1 : 0) | (flags & TILE_OPEN_BOTTOM ? 2 : 0)];
}

static void stamp_shadow(const Tile *tile, int d) {
    const Shape *shape = shadow_shape(tile->flags & SHAPE_EDGES);
    long long x = (long long)(tile->screen_x) + d;
    long long y = (long long)(tile->screen_y) - d;
    if (x > INT_MAX || y < INT_MIN)
        return; // far off the surface
    mask_bands((int)x, (int)y, shape->bands, shape->count, 1);
}

static void fill(int x, int y, int w, int h, Colour c) {
    fill_rect(x, y, w, h, c.red, c.green, c.blue);
}

// Draws a tile's walls, frame lines, face and highlight, then clears the
// mask under all of them at once: every mask step of a tile only clears, so
// one clear of the area they cover gives the same bits.
static void draw_one_tile(const Tile *tile) {
    int x = tile->screen_x;
    int y = tile->screen_y;
    int flags = tile->flags;
    if (flags & TILE_OPEN_LEFT) {
        fill(x - 4, y + 2, 2, 48, WALL_NEAR);
        fill(x - 6, y + 4, 2, 48, WALL_FAR);
    }
    fill(x + 38, y + 2, 2, 48, FRAME);
    fill(x - 2, y, 42, 2, FRAME);
    if (flags & TILE_OPEN_BOTTOM) {
        fill(x - 2, y + 48, 40, 2, WALL_NEAR);
        fill(x - 4, y + 50, 40, 2, WALL_FAR);
    } else {
        fill(x - 2, y + 48, 42, 2, FRAME);
    }
    int face = tile->face;
    if (face >= 0 && face < FACE_COUNT && face_ready[face]) {
        // The copy whose rows start as the destination's do in their words.
        if ((x - 2) & 1)
            blit_pixels(x - 2, y + 2, face_pixels_odd[face] + 1, FACE_W + 2, FACE_W, FACE_H);
        else
            blit_pixels(x - 2, y + 2, face_pixels[face], FACE_W, FACE_W, FACE_H);
    } else {
        // blit_paletted leaves out whatever part of the face cell lies
        // outside a tile-set picture that is too small (or empty), so
        // nothing is read past it; a face number whose cell starts outside
        // the picture draws no face.
        long long cell_x = (long long)CELL_W * (face % FACES_ACROSS);
        long long cell_y = (long long)CELL_H * (face / FACES_ACROSS);
        if (face >= 0 && cell_x < tile_image.width && cell_y < tile_image.height)
            blit_paletted(x - 2, y + 2, &tile_image, (int)cell_x, (int)cell_y, FACE_W, FACE_H);
    }
    if (flags & TILE_SELECTED)
        light_rect(x - 2, y + 2, FACE_W, FACE_H);
    const Shape *cover = cover_shape(flags);
    mask_bands(x, y, cover->bands, cover->count, 0);
}

// A tile's look in this frame.
static void take_look(int index, TileLook *l) {
    const Tile *t = &board.tiles[index];
    memset(l, 0, sizeof *l);
    // Stamped when on the board at layer 0 or above, drawn too up to layer 6.
    if ((t->flags & TILE_REMOVED) || t->layer < 0)
        return;
    l->x = t->screen_x;
    l->y = t->screen_y;
    l->layer = t->layer;
    l->face = t->face;
    l->flags = t->flags & LOOK_BITS;
    l->shown = 1;
}

// The box that a tile's stamps and drawing can reach: stamps of passes
// 0..min(layer, 6) lie d = 8 x (layer - pass) right of and above the tile,
// and the drawn tile spans its walls and frames.
static Box reach_of(int index, const TileLook &l) {
    if (!l.shown)
        return NO_BOX;
    const Tile *t = &board.tiles[index];
    bool drawn = t->layer < LAYER_PASSES && index < board.tile_count;
    long long x = t->screen_x, y = t->screen_y;
    long long top_pass = t->layer < LAYER_PASSES - 1 ? t->layer : LAYER_PASSES - 1;
    long long d_max = (long long)SHADOW_STEP * t->layer;
    long long d_min = d_max - SHADOW_STEP * top_pass;
    // The shadow shape spans x - 3 .. x + 47 and y - 8 .. y + 46 of its origin.
    Box stamps = surface_box(x + d_min - 3, y - d_max - 8, x + d_max + 48, y - d_min + 47);
    Box drawing = drawn ? surface_box(x - 6, y, x + 40, y + 52) : NO_BOX;
    return box_union(stamps, drawing);
}

static bool same_look(const TileLook &a, const TileLook &b) {
    return memcmp(&a, &b, sizeof a) == 0;
}

// The cached status line for wanted in the current font, rendering it the
// first time it is asked for; null when there is nothing to draw.
static StatusLine *status_line(const char *wanted) {
    if (!font || !wanted)
        return nullptr;
    // The line drawn last is the one asked for nearly every time.
    if (drawn_status && drawn_status->font == font &&
        strncmp(drawn_status->text, wanted, TEXT_LENGTH - 1) == 0) {
        drawn_status->used = ++status_uses;
        return drawn_status;
    }
    char text[TEXT_LENGTH];
    snprintf(text, sizeof text, "%s", wanted);
    StatusLine *oldest = &status_lines[0];
    for (StatusLine &line : status_lines) {
        if (line.font == font && strcmp(line.text, text) == 0) {
            line.used = ++status_uses;
            return &line;
        }
        if (line.used < oldest->used)
            oldest = &line;
    }
    // The line on the work surface is never the one replaced: the next
    // frame must still find its box.
    if (oldest == drawn_status) {
        for (StatusLine &line : status_lines)
            if (&line != drawn_status && (oldest == drawn_status || line.used < oldest->used))
                oldest = &line;
    }
    StatusLine *line = oldest;
    SDL_FreeSurface(line->grey);
    SDL_FreeSurface(line->black);
    memcpy(line->text, text, sizeof text);
    line->font = font;
    line->grey = TTF_RenderUTF8_Blended(font, text, SDL_Color{200, 200, 200, 0});
    line->black = TTF_RenderUTF8_Blended(font, text, SDL_Color{0, 0, 0, 0});
    line->composed = false;
    line->used = ++status_uses;
    int x = work_width - TEXT_FROM_RIGHT, y = work_height - TEXT_FROM_BOTTOM;
    Box box = NO_BOX;
    if (line->grey)
        box = surface_box(x, y, x + line->grey->w, y + line->grey->h);
    if (line->black)
        box = box_union(box,
                        surface_box(x - 1, y - 1, x - 1 + line->black->w, y - 1 + line->black->h));
    line->box = box;
    return line;
}

// Draws the status line's two copies over the background, clipped to r.
// Once the whole box has been drawn, it is kept and later copied instead.
static void draw_status_line(StatusLine *line, const Box &r) {
    if (!line || !boxes_meet(line->box, r))
        return;
    const Box &b = line->box;
    if (line->composed && line->composed_on == background_saves) {
        blit_pixels(b.x0, b.y0, line->patch, TEXT_BOX_W, b.x1 - b.x0, b.y1 - b.y0);
        return;
    }
    SDL_Rect limit = {(Sint16)(r.x0), (Sint16)(r.y0), (Uint16)(r.x1 - r.x0), (Uint16)(r.y1 - r.y0)};
    SDL_SetClipRect(work_surface, &limit);
    int x = work_width - TEXT_FROM_RIGHT, y = work_height - TEXT_FROM_BOTTOM;
    SDL_Rect grey_at = {(Sint16)x, (Sint16)y, 0, 0};
    SDL_Rect black_at = {(Sint16)(x - 1), (Sint16)(y - 1), 0, 0};
    if (line->grey)
        SDL_UpperBlit(line->grey, nullptr, work_surface, &grey_at);
    if (line->black)
        SDL_UpperBlit(line->black, nullptr, work_surface, &black_at);
    SDL_SetClipRect(work_surface, nullptr);
    if (b.x0 >= r.x0 && b.y0 >= r.y0 && b.x1 <= r.x1 && b.y1 <= r.y1) {
        for (int y_row = b.y0; y_row < b.y1; y_row++)
            memcpy(line->patch + (y_row - b.y0) * TEXT_BOX_W,
                   (const uint8_t *)work_pixels + (long)y_row * work_pitch + 2 * b.x0,
                   (size_t)(b.x1 - b.x0) * 2);
        line->composed = true;
        line->composed_on = background_saves;
    }
}

// Runs the frame's steps for the pixels of r alone.
static void compose(const Box &r, StatusLine *line) {
    bool whole = r.x0 == 0 && r.y0 == 0 && r.x1 == work_width && r.y1 == work_height;
    set_draw_clip(r.x0, r.y0, r.x1 - r.x0, r.y1 - r.y0);
    if (screen_slots[0])
        blit_pixels(0, 0, screen_slots[0], work_width, work_width, work_height);
    draw_status_line(line, r);
    if (whole)
        mask_clear_all();
    else
        mask_rect(r.x0, r.y0, r.x1 - r.x0, r.y1 - r.y0, 0);
    // Only the tiles that can reach r take part, in their index order.
    int near[BOARD_TILES];
    int count = 0;
    for (int i = 0; i < BOARD_TILES; i++)
        if (look[i].shown && boxes_meet(reach[i], r))
            near[count++] = i;
    for (int pass = 0; pass < LAYER_PASSES; pass++) {
        for (int k = 0; k < count; k++) {
            const Tile *t = &board.tiles[near[k]];
            long long d = (long long)SHADOW_STEP * (t->layer - pass);
            if (t->layer >= pass && d <= INT_MAX)
                stamp_shadow(t, (int)d);
        }
        for (int k = 0; k < count; k++) {
            const Tile *t = &board.tiles[near[k]];
            if (t->layer == pass && near[k] < board.tile_count)
                draw_one_tile(t);
        }
    }
    apply_shadow_mask(shadow_mask);
    set_draw_clip(0, 0, work_width, work_height);
}

// Adds a box to the list of changed rectangles, merging boxes that overlap;
// false when the list is full.
static bool add_dirty(Box *dirty, int *count, Box b) {
    if (box_empty(b))
        return true;
    for (int i = 0; i < *count;) {
        if (boxes_meet(dirty[i], b)) {
            b = box_union(b, dirty[i]);
            dirty[i] = dirty[--*count];
            i = 0;
        } else {
            i++;
        }
    }
    if (*count == DIRTY_RECTS)
        return false;
    dirty[(*count)++] = b;
    return true;
}

// The face area of a tile: all that a selection or a new face changes.
static Box face_box(const TileLook &l) {
    long long x = l.x, y = l.y;
    return surface_box(x - 2, y + 2, x - 2 + FACE_W, y + 2 + FACE_H);
}

// Brings each tile's look and reach up to date and collects the rectangles
// where they changed; false when the whole frame must be drawn.
static bool find_changes(Box *dirty, int *count, bool whole) {
    *count = 0;
    int changed = 0;
    for (int i = 0; i < BOARD_TILES; i++) {
        set_tile_position(&board.tiles[i]);
        TileLook now;
        take_look(i, &now);
        if (!whole && same_look(now, look[i]))
            continue;
        const TileLook &was = look[i];
        bool in_place = was.shown && now.shown && was.x == now.x && was.y == now.y &&
                        was.layer == now.layer && ((was.flags ^ now.flags) & ~TILE_SELECTED) == 0;
        Box before = reach[i];
        look[i] = now;
        // A new deal changes every tile: listing them would only end whole.
        if (++changed > DIRTY_RECTS)
            whole = true;
        // A new face or a selection changes the face alone, and not the reach.
        if (whole || !in_place)
            reach[i] = reach_of(i, now);
        if (whole)
            continue;
        bool listed = in_place
                          ? add_dirty(dirty, count, face_box(now))
                          : add_dirty(dirty, count, before) && add_dirty(dirty, count, reach[i]);
        whole = !listed;
    }
    return !whole;
}

void stamp_tile_shadow(const Tile *tile, int d) {
    stamp_shadow(tile, d);
}

void draw_tile(const Tile *tile) {
    ensure_faces();
    draw_one_tile(tile);
}

void convert_tile_faces() {
    faces_known = false;
    ensure_faces();
    faces_converted = true;
}

void invalidate_frame() {
    frame_known = false;
    faces_known = false;
    // A font closed and another opened may share an address: status lines
    // are rendered anew.
    for (StatusLine &line : status_lines) {
        SDL_FreeSurface(line.grey);
        SDL_FreeSurface(line.black);
        memset(&line, 0, offsetof(StatusLine, patch));
    }
    drawn_status = nullptr;
    if (screen)
        present_only(0, 0, work_width, work_height);
}

void prepare_status_line(const char *text) {
    StatusLine *line = status_line(text);
    if (!line || !screen_slots[0])
        return;
    // Composed in its box on the work surface over the saved background, as
    // a frame would; the frame after it is drawn whole.
    const Box &b = line->box;
    set_draw_clip(b.x0, b.y0, b.x1 - b.x0, b.y1 - b.y0);
    blit_pixels(0, 0, screen_slots[0], work_width, work_width, work_height);
    set_draw_clip(0, 0, work_width, work_height);
    draw_status_line(line, b);
    frame_known = false;
}

void render_board() {
    update_tile_flags();
    bool faces_changed = ensure_faces() || faces_converted;
    faces_converted = false;
    bool whole = !frame_known || work_surface_touched || faces_changed ||
                 board.tile_count != drawn_tile_count;
    Box dirty[DIRTY_RECTS];
    int count = 0;
    whole = !find_changes(dirty, &count, whole);
    StatusLine *line = status_line(status_text);
    if (!whole && line != drawn_status) {
        if (drawn_status)
            whole = !add_dirty(dirty, &count, drawn_status->box);
        if (line && !whole)
            whole = !add_dirty(dirty, &count, line->box);
    }
    if (whole) {
        Box all = {0, 0, work_width, work_height};
        compose(all, line);
        present_only(0, 0, work_width, work_height);
    } else {
        present_only(0, 0, 0, 0);
        for (int i = 0; i < count; i++) {
            compose(dirty[i], line);
            present_only(dirty[i].x0, dirty[i].y0, dirty[i].x1 - dirty[i].x0,
                         dirty[i].y1 - dirty[i].y0);
        }
    }
    drawn_tile_count = board.tile_count;
    drawn_status = line;
    frame_known = true;
    work_surface_touched = 0;
}
