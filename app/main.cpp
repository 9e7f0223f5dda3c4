// Entry point of the game.
#include "app/app.h"

// Exported in the dynamic symbol table for the platform's libraries to find
// by name; the game itself never reads or writes it.
extern "C" {
__attribute__((used, visibility("default"))) int SDL_videofd;
}

int main() {
    start_up();
    return main_loop();
}
