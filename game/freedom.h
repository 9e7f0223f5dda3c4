// Which tiles are free and which of their edges are open.
#pragma once

// Recomputes TILE_BLOCKED and the five open-edge bits of every tile.
void update_tile_flags();
