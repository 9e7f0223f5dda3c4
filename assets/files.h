// Opening asset files without ever waiting on them.
#pragma once
#include <SDL.h>

// Opens path read-only without blocking and returns the descriptor, in
// blocking mode again, when it names a regular file or a folder; -1 otherwise
// (missing, unreadable, a pipe, a device, a socket), with nothing left open.
int open_asset_file(const char *path);
// open_asset_file as an SDL source that closes the file when freed; null,
// with SDL's error set as for a missing file, when the path is refused.
SDL_RWops *open_asset_source(const char *path);
