// Tile-set pictures from their text sources: face designs on the 20 x 23
// display grid (faces.txt) and the colours of each set (tilesets.txt).
#pragma once
#include "gfx/geometry.h"
#include <cstdint>
#include <string>
#include <vector>

const int FACE_GRID_W = FACE_W / SAMPLING; // design pixels across a face (display pixels)
const int FACE_GRID_H = FACE_H / SAMPLING; // design pixels down a face

struct FaceDesigns {
    std::string names[FACE_COUNT];
    // one character per design pixel: '.' ground, else a colour role
    char grid[FACE_COUNT][FACE_GRID_H][FACE_GRID_W + 1];
};

struct TileSetColours {
    std::string name;
    std::string roles;    // role characters in palette order
    uint8_t palette[768]; // index -> red, green, blue
};

// Palette indices shared by every set; roles follow from ROLE_BASE on.
const int PAL_GUTTER = 0;
const int PAL_GROUND = 1;
const int PAL_LIGHT = 2;
const int PAL_SHADE = 3;
const int ROLE_BASE = 4;

// Parses faces.txt; false with "line N: ..." in *error when malformed.
bool parse_faces(const std::string &text, FaceDesigns *faces, std::string *error);
// Parses tilesets.txt; every set must name the same roles.
bool parse_tilesets(const std::string &text, std::vector<TileSetColours> *sets, std::string *error);
// Paints one tile set: 378 x 240 indices into *pixels. Fails (false, *error)
// when a face uses a role the set has no colour for.
bool paint_tileset(const FaceDesigns &faces, const TileSetColours &set,
                   std::vector<uint8_t> *pixels, std::string *error);
// Reads a whole file into *text; false when it cannot be read.
bool read_text_file(const char *path, std::string *text);
