// The face-design and tile-set colour sources, and how a tile-set picture is
// painted from them.
#include "face_art.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A faces file with every face blank except those given.
std::string faces_text(int inked_face = -1, const std::string &inked_row = "", int skip_face = -1) {
    std::string text = "# test faces\n";
    for (int f = 0; f < FACE_COUNT; f++) {
        if (f == skip_face)
            continue;
        text += "face " + std::to_string(f) + "  name " + std::to_string(f) + "\n";
        for (int r = 0; r < FACE_GRID_H; r++) {
            if (f == inked_face && r == 5)
                text += inked_row + "\n";
            else
                text += std::string(FACE_GRID_W, '.') + "\n";
        }
    }
    return text;
}

const char *SETS = "tileset 0 plain\n"
                   "ground 200 190 160\nlight 230 220 200\nshade 150 140 110\n"
                   "gutter 48 48 48 # never shown\n"
                   "K 10 10 10\nR 200 0 0\n"
                   "tileset 1 other\n"
                   "ground 1 2 3\nlight 4 5 6\nshade 7 8 9\ngutter 0 0 0\nK 11 12 13\nR 14 15 16\n";

TEST(FaceArt, FacesParseWithNamesAndRows) {
    static FaceDesigns faces;
    std::string error;
    ASSERT_TRUE(parse_faces(faces_text(7, "..KK....RR.........."), &faces, &error)) << error;
    EXPECT_EQ(faces.names[7], "name 7");
    EXPECT_EQ(std::string(faces.grid[7][5]), "..KK....RR..........");
    EXPECT_EQ(faces.grid[7][4][2], '.');
}

TEST(FaceArt, MalformedFacesAreRefusedWithTheirLine) {
    static FaceDesigns faces;
    std::string error;
    EXPECT_FALSE(parse_faces(faces_text(0, "..KK"), &faces, &error));
    EXPECT_EQ(error.substr(0, 8), "line 8: ") << error; // header, face line, 5 rows
    EXPECT_FALSE(parse_faces(faces_text(0, "..kk................"), &faces, &error));
    EXPECT_NE(error.find("colour role"), std::string::npos) << error;
    EXPECT_FALSE(parse_faces(faces_text(-1, "", 12), &faces, &error));
    EXPECT_NE(error.find("face 12 is missing"), std::string::npos) << error;
    std::string twice = faces_text() + "face 3\n";
    for (int r = 0; r < FACE_GRID_H; r++)
        twice += std::string(FACE_GRID_W, '.') + "\n";
    EXPECT_FALSE(parse_faces(twice, &faces, &error));
    EXPECT_NE(error.find("twice"), std::string::npos) << error;
    std::string cut = faces_text();
    cut.resize(cut.size() - 3 * (FACE_GRID_W + 1));
    EXPECT_FALSE(parse_faces(cut, &faces, &error));
    EXPECT_NE(error.find("only 20 rows"), std::string::npos) << error;
    EXPECT_FALSE(parse_faces("face 44\n", &faces, &error));
}

TEST(FaceArt, TileSetColoursParseIntoOnePaletteEach) {
    std::vector<TileSetColours> sets;
    std::string error;
    ASSERT_TRUE(parse_tilesets(SETS, &sets, &error)) << error;
    ASSERT_EQ(sets.size(), 2u);
    EXPECT_EQ(sets[0].name, "plain");
    EXPECT_EQ(sets[0].roles, "KR");
    EXPECT_EQ(sets[0].palette[3 * PAL_GROUND], 200);
    EXPECT_EQ(sets[0].palette[3 * PAL_GUTTER + 2], 48);
    EXPECT_EQ(sets[0].palette[3 * (ROLE_BASE + 1)], 200); // R
    EXPECT_EQ(sets[1].palette[3 * (ROLE_BASE + 1) + 2], 16);
    EXPECT_EQ(sets[1].palette[3 * 200], 0); // unused entries stay black
}

TEST(FaceArt, InconsistentColourSetsAreRefused) {
    std::vector<TileSetColours> sets;
    std::string error;
    std::string no_shade = "tileset 0 a\nground 1 1 1\nlight 1 1 1\ngutter 1 1 1\nK 0 0 0\n";
    EXPECT_FALSE(parse_tilesets(no_shade, &sets, &error));
    EXPECT_NE(error.find("no shade"), std::string::npos) << error;
    std::string other_roles = std::string(SETS) + "tileset 2 b\nground 1 1 1\nlight 1 1 1\n"
                                                  "shade 1 1 1\ngutter 1 1 1\nR 0 0 0\nK 0 0 0\n";
    EXPECT_FALSE(parse_tilesets(other_roles, &sets, &error));
    EXPECT_NE(error.find("other roles"), std::string::npos) << error;
    EXPECT_FALSE(parse_tilesets("tileset 1 a\n", &sets, &error)); // numbers start at 0
    EXPECT_FALSE(parse_tilesets("tileset 0 a\nK 0 0 256\n", &sets, &error));
    EXPECT_EQ(error.substr(0, 7), "line 2:");
    EXPECT_FALSE(parse_tilesets("tileset 0 a\nground 0 0 0\nground 0 0 0\n", &sets, &error));
    EXPECT_FALSE(parse_tilesets("tileset 0 a\nsky 0 0 0\n", &sets, &error));
    EXPECT_FALSE(parse_tilesets("", &sets, &error));
}

TEST(FaceArt, PaintingDoublesEachDesignPixelInTheFacesCell) {
    static FaceDesigns faces;
    std::vector<TileSetColours> sets;
    std::string error;
    ASSERT_TRUE(parse_faces(faces_text(40, "..K................R"), &faces, &error)) << error;
    ASSERT_TRUE(parse_tilesets(SETS, &sets, &error)) << error;
    std::vector<uint8_t> px;
    ASSERT_TRUE(paint_tileset(faces, sets[0], &px, &error)) << error;
    ASSERT_EQ(px.size(), (size_t)TILESET_W * TILESET_H);
    auto at = [&](int x, int y) { return px[(size_t)y * TILESET_W + x]; };
    // face 40 sits in cell (4, 4): its design pixel (2, 5) covers 4 image pixels
    int ox = 4 * CELL_W, oy = 4 * CELL_H;
    for (int dy = 0; dy < 2; dy++)
        for (int dx = 0; dx < 2; dx++)
            EXPECT_EQ(at(ox + 4 + dx, oy + 10 + dy), ROLE_BASE + 0); // K
    EXPECT_EQ(at(ox + 6, oy + 10), PAL_GROUND);
    EXPECT_EQ(at(ox + 3, oy + 10), PAL_GROUND);
    EXPECT_EQ(at(ox + 38, oy + 10), ROLE_BASE + 1); // ink on the right edge wins over the bevel
    // bevel: lit top and left ring, shaded bottom and right ring
    EXPECT_EQ(at(ox + 10, oy + 0), PAL_LIGHT);
    EXPECT_EQ(at(ox + 1, oy + 20), PAL_LIGHT);
    EXPECT_EQ(at(ox + 39, oy + 20), PAL_SHADE);
    EXPECT_EQ(at(ox + 10, oy + 45), PAL_SHADE);
    EXPECT_EQ(at(ox + 39, oy + 1), PAL_SHADE); // the right ring is shaded to the top
    // the 2-pixel margin of every cell, and the empty last cell's margin
    EXPECT_EQ(at(ox + 40, oy + 10), PAL_GUTTER);
    EXPECT_EQ(at(ox + 10, oy + 46), PAL_GUTTER);
    EXPECT_EQ(at(TILESET_W - 1, TILESET_H - 1), PAL_GUTTER);
    EXPECT_EQ(at(8 * CELL_W + 20, 4 * CELL_H + 20), PAL_GROUND); // cell 44: a blank tile
    // a role the set has no colour for
    ASSERT_TRUE(parse_faces(faces_text(3, "..Q................."), &faces, &error));
    EXPECT_FALSE(paint_tileset(faces, sets[0], &px, &error));
    EXPECT_NE(error.find("role Q"), std::string::npos) << error;
}

TEST(FaceArt, TheShippedSourcesParseAndUseOnlyKnownRoles) {
    static FaceDesigns faces;
    std::vector<TileSetColours> sets;
    std::string faces_src, sets_src, error;
    ASSERT_TRUE(read_text_file(JT_ART_DIR "/faces.txt", &faces_src));
    ASSERT_TRUE(read_text_file(JT_ART_DIR "/tilesets.txt", &sets_src));
    ASSERT_TRUE(parse_faces(faces_src, &faces, &error)) << error;
    ASSERT_TRUE(parse_tilesets(sets_src, &sets, &error)) << error;
    EXPECT_GE(sets.size(), 3u);
    std::vector<uint8_t> px;
    for (const TileSetColours &s : sets)
        EXPECT_TRUE(paint_tileset(faces, s, &px, &error)) << error;
    // the two unused faces are blank
    for (int f : {34, 35})
        for (int r = 0; r < FACE_GRID_H; r++)
            EXPECT_EQ(std::string(faces.grid[f][r]), std::string(FACE_GRID_W, '.'));
}

} // namespace
