// Temporary folders for tests that write files.
#pragma once
#include <string>

// Makes a new empty folder /tmp/jt_<name>_XXXXXX; its path, or "" on failure.
std::string make_temp_dir(const std::string &name);
// Removes a folder with everything in it; "" is left alone.
void remove_tree(const std::string &dir);
