// The MIDI synthesiser's instrument configuration (the timidity.cfg format
// that SDL_mixer's built-in player reads): a "dir" line naming where the
// patch files are, then "bank N" and "drumset N" sections of
// "number file [options]" lines.
#pragma once
#include <map>
#include <string>

struct InstrumentEntry {
    std::string file;    // patch file, relative to the configuration's dir
    std::string options; // the rest of the line (amp=, pan=, ...), as written
};

struct InstrumentConfig {
    std::string dir;                         // the last "dir" line's folder
    std::map<int, InstrumentEntry> programs; // bank 0: program -> patch
    std::map<int, InstrumentEntry> drums;    // drumset 0: key -> patch
};

// Reads a configuration; lines of other banks and drumsets are skipped.
// Returns false with *error set when the file cannot be read or a
// numbered line stands outside any section.
bool read_instrument_config(const std::string &path, InstrumentConfig *config, std::string *error);
