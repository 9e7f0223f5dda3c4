// Temporary folders and open-file checks for tests and harnesses.
#pragma once
#include <string>

// Makes a new empty folder jt_<name>_XXXXXX in $TMPDIR, else in /tmp; its
// path, or "" on failure.
std::string make_temp_dir(const std::string &name);
// Path of a file in a temporary folder made once per process for name.
std::string temp_file(const std::string &name, const std::string &file);
// Removes a folder with everything in it; "" is left alone.
void remove_tree(const std::string &dir);
// The lowest free file descriptor: it moves when code under test leaves a
// file open.
int lowest_free_fd();
