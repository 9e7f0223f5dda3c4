// A small, complete asset folder for tests that start the whole game:
// numbered tile sets and backgrounds, the two effects and the font.
#pragma once

struct TestAssets {
    int tile_sets;         // tiles0.pcx .. tiles<n-1>.pcx, each in its own colours
    int backgrounds;       // bg0.pcx .. bg<n-1>.pcx, small patterns the game tiles
    int effect_ms;         // length of the silent snd0.wav and snd1.wav; < 0: no effect files
    const char *font_path; // TrueType file copied to data/font/ariblk.ttf, or null for none
};

// Writes <dir>/data/... as described by assets; 0 on success, -1 on failure.
int write_test_assets(const char *dir, const TestAssets *assets);
// A TrueType font that the test machine has, or null when none is found.
const char *find_test_font();
