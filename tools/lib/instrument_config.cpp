// Reads the MIDI synthesiser's instrument configuration.
#include "instrument_config.h"

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <sstream>

bool read_instrument_config(const std::string &path, InstrumentConfig *config, std::string *error) {
    std::ifstream in(path);
    if (!in) {
        *error = "cannot read " + path;
        return false;
    }
    *config = InstrumentConfig();
    std::map<int, InstrumentEntry> *section = nullptr;
    bool in_section = false;
    std::string line;
    for (int number = 1; std::getline(in, line); number++) {
        std::istringstream words(line);
        std::string first;
        if (!(words >> first) || first[0] == '#')
            continue;
        if (first == "dir") {
            words >> config->dir;
        } else if (first == "bank" || first == "drumset") {
            int which = -1;
            words >> which;
            in_section = true;
            section = which != 0 ? nullptr : first == "bank" ? &config->programs : &config->drums;
        } else if (std::isdigit((unsigned char)first[0])) {
            if (!in_section) {
                *error = path + ": line " + std::to_string(number) + ": instrument outside a bank";
                return false;
            }
            InstrumentEntry entry;
            words >> entry.file;
            std::getline(words >> std::ws, entry.options);
            while (!entry.options.empty() && std::isspace((unsigned char)entry.options.back()))
                entry.options.pop_back();
            if (section)
                (*section)[std::atoi(first.c_str())] = entry;
        }
    }
    return true;
}
