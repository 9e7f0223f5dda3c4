// Turns a piece written in the music notation (see music_notation.h) into a
// Standard MIDI File.
// Usage: make_music SOURCE.txt OUTPUT.mid
#include "music_notation.h"

#include <cstdio>
#include <fstream>
#include <sstream>

int main(int argc, char **argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s SOURCE.txt OUTPUT.mid\n", argv[0]);
        return 2;
    }
    std::ifstream in(argv[1]);
    if (!in) {
        std::fprintf(stderr, "make_music: cannot read %s\n", argv[1]);
        return 1;
    }
    std::stringstream text;
    text << in.rdbuf();
    MusicPiece piece;
    std::string error;
    if (!parse_music(text.str(), &piece, &error)) {
        std::fprintf(stderr, "%s: %s\n", argv[1], error.c_str());
        return 1;
    }
    std::vector<uint8_t> bytes = encode_midi(piece);
    std::ofstream out(argv[2], std::ios::binary);
    out.write((const char *)bytes.data(), (std::streamsize)bytes.size());
    out.close();
    if (!out) {
        std::fprintf(stderr, "make_music: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
