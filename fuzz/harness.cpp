// SDL set-up shared by the fuzz harnesses.
#include "fuzz/harness.h"
#include "gfx/display.h"
#include "gfx/geometry.h"
#include <cstdlib>

void harness_start_display() {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    // A driver name that does not exist: SDL starts, the mixer finds no
    // device, and every effect returns at once.
    setenv("SDL_AUDIODRIVER", "none", 1);
    init_video(WORK_WIDTH, WORK_HEIGHT);
}

void harness_start_audio() {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", "/dev/null", 1);
    setenv("SDL_DISKAUDIODELAY", "0", 1);
    init_video(WORK_WIDTH, WORK_HEIGHT);
}

int next_byte(FuzzBytes *r) {
    return r->at < r->size ? r->data[r->at++] : 0;
}
