// The process's exit statuses and its one out-of-memory report.
#pragma once

// Exit statuses of the game.
enum {
    EXIT_NORMAL = 0,      // the player quit
    EXIT_SDL_FAILED = 1,  // SDL could not be started
    EXIT_NO_MEMORY = 1,   // an allocation the game cannot do without failed
    EXIT_NO_TILE_SET = 2, // no tile set could be loaded at start-up
    EXIT_NO_DISPLAY = 5,  // no display mode or work surface
};

// Site codes of the out-of-memory report: which allocation failed.
enum {
    NO_MEMORY_READER = 1,        // the picture reader's buffer
    NO_MEMORY_COLOUR_TABLES = 5, // the shade and light tables
    NO_MEMORY_SHADOW_MASK = 20,  // the shadow mask
    NO_MEMORY_SCREEN_SLOT = 25,  // a screen slot
};

// Prints "No memory: <site>" on standard output and exits with EXIT_NO_MEMORY.
[[noreturn]] void out_of_memory(int site);
