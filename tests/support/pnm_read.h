// Reading pictures back through external converters (tests and tools).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct RgbPicture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb; // width x height x (red, green, blue), rows from the top
};

// Parses a binary PPM (P6, maxval 255) or PBM (P4) held in bytes; false if malformed.
bool parse_pnm(const std::vector<uint8_t> &bytes, RgbPicture *picture);
// Runs a shell command and returns everything it wrote on standard output;
// *status receives its exit status (or -1 when it could not be started).
std::vector<uint8_t> run_capture(const std::string &command, int *status);
// Runs a command that writes a PPM or PBM on standard output and parses it.
bool read_pnm_from(const std::string &command, RgbPicture *picture);
// Wraps a path in single quotes for the shell.
std::string shell_quote(const std::string &text);
