// Gathers the General MIDI instruments the game's music plays, for a
// package that must carry its own: reads the pieces (music notation
// sources) and a system instrument configuration, copies the patch files of
// the programs and drum keys the pieces use, and only those, into
// OUTPUT/timidity/, and writes OUTPUT/timidity.cfg naming them relative to
// OUTPUT, where the game runs.
//
// A patch holds one recording (sample) for each stretch of the keyboard;
// the mixer's synthesiser plays each note with the sample whose root pitch
// is nearest to the note's (the first of equals). Only the samples that
// some note of the pieces selects are kept, in their order, so that every
// note selects the same recording as from the whole patch.
// Usage: make_instruments SYSTEM.cfg OUTPUT PIECE.txt...
#include "instrument_config.h"
#include "music_notation.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <vector>

namespace fs = std::filesystem;

static int fail(const std::string &message) {
    std::fprintf(stderr, "make_instruments: %s\n", message.c_str());
    return 1;
}

// Patch layout: a 239-byte header (file, instrument and layer headers), then
// for each sample a 96-byte header followed by its data.
enum {
    PATCH_HEADER = 239,
    PATCH_WAVEFORMS = 85,        // 2 bytes: samples in the file
    PATCH_DATA_SIZE = 89,        // 4 bytes
    PATCH_INSTRUMENT_SIZE = 147, // 4 bytes
    PATCH_LAYER_SIZE = 194,      // 4 bytes
    PATCH_SAMPLES = 198,         // 1 byte: samples in the layer
    SAMPLE_HEADER = 96,
    SAMPLE_LENGTH = 8, // 4 bytes: data bytes that follow the header
    SAMPLE_ROOT = 30,  // 4 bytes: root pitch in millihertz
};

static uint32_t le32(const std::string &b, size_t at) {
    return (uint8_t)b[at] | (uint8_t)b[at + 1] << 8 | (uint8_t)b[at + 2] << 16 |
           (uint32_t)(uint8_t)b[at + 3] << 24;
}

static void put_le(std::string *b, size_t at, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; i++)
        (*b)[at + i] = (char)(value >> (8 * i));
}

// Keeps, of a one-layer patch, the samples that notes of the given keys
// select. Other patches (and any that do not parse) stay whole.
static std::string trimmed_patch(const std::string &patch, const std::set<int> &keys) {
    if (patch.size() < PATCH_HEADER || std::memcmp(patch.data(), "GF1PATCH1", 9) != 0 ||
        std::memcmp(patch.data() + 93, "SF2EXT", 6) == 0 || (uint8_t)patch[151] > 1)
        return patch;
    int count = (uint8_t)patch[PATCH_SAMPLES];
    std::vector<size_t> start;
    std::vector<uint32_t> root;
    size_t at = PATCH_HEADER;
    for (int i = 0; i < count; i++) {
        if (at + SAMPLE_HEADER > patch.size())
            return patch;
        start.push_back(at);
        root.push_back(le32(patch, at + SAMPLE_ROOT));
        at += SAMPLE_HEADER + (size_t)le32(patch, at + SAMPLE_LENGTH);
    }
    if (at > patch.size() || count < 2)
        return patch;
    start.push_back(at);
    std::vector<bool> keep(count, false);
    for (int key : keys) {
        long pitch = std::lround(440000.0 * std::pow(2.0, (key - 69) / 12.0));
        int best = 0;
        for (int i = 1; i < count; i++)
            if (std::labs((long)root[i] - pitch) < std::labs((long)root[best] - pitch))
                best = i;
        keep[best] = true;
    }
    std::string out = patch.substr(0, PATCH_HEADER);
    int kept = 0;
    for (int i = 0; i < count; i++) {
        if (keep[i]) {
            out += patch.substr(start[i], start[i + 1] - start[i]);
            kept++;
        }
    }
    uint32_t data = (uint32_t)(out.size() - PATCH_HEADER);
    out[PATCH_SAMPLES] = (char)kept;
    put_le(&out, PATCH_WAVEFORMS, kept, 2);
    put_le(&out, PATCH_DATA_SIZE, data, 4);
    put_le(&out, PATCH_INSTRUMENT_SIZE, data, 4);
    put_le(&out, PATCH_LAYER_SIZE, data, 4);
    return out;
}

// Copies the patch of each wanted number
// (trimmed to the keys it plays, when *keys has them) into OUTPUT/timidity/
// and writes its configuration line; adds the bytes written to *bytes.
static bool gather(const InstrumentConfig &system, const std::map<int, InstrumentEntry> &entries,
                   const std::map<int, std::set<int>> &wanted, const char *what,
                   const fs::path &output, std::ostream &cfg, uintmax_t *bytes,
                   std::string *error) {
    for (const auto &[number, keys] : wanted) {
        auto found = entries.find(number);
        if (found == entries.end()) {
            *error = std::string("no instrument for ") + what + " " + std::to_string(number);
            return false;
        }
        const InstrumentEntry &entry = found->second;
        fs::path from = fs::path(system.dir) / entry.file;
        fs::path to = output / "timidity" / entry.file;
        std::ifstream in(from, std::ios::binary);
        std::stringstream whole;
        whole << in.rdbuf();
        if (!in) {
            *error = "cannot read " + from.string();
            return false;
        }
        std::string patch = keys.empty() ? whole.str() : trimmed_patch(whole.str(), keys);
        std::error_code ec;
        fs::create_directories(to.parent_path(), ec);
        std::ofstream out(to, std::ios::binary);
        out.write(patch.data(), (std::streamsize)patch.size());
        out.close();
        if (ec || !out) {
            *error = "cannot write " + to.string();
            return false;
        }
        *bytes += patch.size();
        cfg << ' ' << number << '\t' << entry.file;
        if (!entry.options.empty())
            cfg << ' ' << entry.options;
        cfg << '\n';
    }
    return true;
}

int main(int argc, char **argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s SYSTEM.cfg OUTPUT PIECE.txt...\n", argv[0]);
        return 2;
    }
    InstrumentConfig system;
    std::string error;
    if (!read_instrument_config(argv[1], &system, &error))
        return fail(error);

    // Program -> the keys it plays; drum key -> nothing (a drum's patch is
    // played at its own pitch, whole).
    std::map<int, std::set<int>> programs, drums;
    for (int i = 3; i < argc; i++) {
        std::ifstream in(argv[i]);
        std::stringstream text;
        text << in.rdbuf();
        MusicPiece piece;
        if (!in || !parse_music(text.str(), &piece, &error))
            return fail(std::string(argv[i]) + ": " + (in ? error : "cannot read"));
        for (const MusicTrack &track : piece.tracks) {
            if (track.channel == 9) {
                for (const MusicNote &note : track.notes)
                    drums[note.key];
            } else {
                for (const MusicNote &note : track.notes)
                    programs[track.program].insert(note.key);
            }
        }
    }

    fs::path output = argv[2];
    std::error_code ec;
    fs::remove_all(output / "timidity", ec);
    std::ostringstream cfg;
    cfg << "# The General MIDI instruments the game's music plays, and only\n"
           "# those; the folder is relative to the game's, where it runs.\n"
           "dir timidity\n\nbank 0\n";
    uintmax_t bytes = 0;
    if (!gather(system, system.programs, programs, "program", output, cfg, &bytes, &error))
        return fail(error);
    cfg << "\ndrumset 0\n";
    if (!gather(system, system.drums, drums, "drum key", output, cfg, &bytes, &error))
        return fail(error);
    std::ofstream out(output / "timidity.cfg");
    out << cfg.str();
    out.close();
    if (!out)
        return fail("cannot write " + (output / "timidity.cfg").string());
    std::printf("make_instruments: %zu programs, %zu drum keys, %ju bytes of patches\n",
                programs.size(), drums.size(), bytes);
    return 0;
}
