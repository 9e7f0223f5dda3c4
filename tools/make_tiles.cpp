// Paints the tile-set pictures from the face designs and the colours of
// each set, as 8-bit PCX files of 378 x 240 (9 x 5 cells of 42 x 48, each
// face in the top-left 40 x 46 of its cell).
// Usage: make_tiles FACES.txt TILESETS.txt OUTPUT_DIR   (writes tilesN.pcx)
#include "face_art.h"
#include "pcx_write.h"

#include <cstdio>

int main(int argc, char **argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s FACES.txt TILESETS.txt OUTPUT_DIR\n", argv[0]);
        return 2;
    }
    std::string faces_text, sets_text, error;
    if (!read_text_file(argv[1], &faces_text) || !read_text_file(argv[2], &sets_text)) {
        std::fprintf(stderr, "make_tiles: cannot read %s or %s\n", argv[1], argv[2]);
        return 1;
    }
    static FaceDesigns faces;
    if (!parse_faces(faces_text, &faces, &error)) {
        std::fprintf(stderr, "%s: %s\n", argv[1], error.c_str());
        return 1;
    }
    std::vector<TileSetColours> sets;
    if (!parse_tilesets(sets_text, &sets, &error)) {
        std::fprintf(stderr, "%s: %s\n", argv[2], error.c_str());
        return 1;
    }
    for (size_t i = 0; i < sets.size(); i++) {
        std::vector<uint8_t> pixels;
        if (!paint_tileset(faces, sets[i], &pixels, &error)) {
            std::fprintf(stderr, "make_tiles: %s\n", error.c_str());
            return 1;
        }
        std::string path = std::string(argv[3]) + "/tiles" + std::to_string(i) + ".pcx";
        if (write_pcx8(path.c_str(), TILESET_W, TILESET_H, pixels.data(), sets[i].palette) != 0) {
            std::fprintf(stderr, "make_tiles: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
