// Off-screen set-up of the display globals for tests and tools.
#include "frame_setup.h"

#include "gfx/display.h"
#include "gfx/draw.h"
#include "gfx/geometry.h"

#include <cstdlib>
#include <cstring>

void start_offscreen_display() {
    if (work_surface)
        return;
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    init_video(WORK_WIDTH, WORK_HEIGHT);
    if (!shadow_mask) {
        shadow_mask = static_cast<uint8_t *>(calloc(shadow_mask_size(), 1));
        if (!shadow_mask)
            abort();
    }
}

uint16_t work_pixel(int x, int y) {
    const uint8_t *row = reinterpret_cast<const uint8_t *>(work_pixels) + y * work_pitch;
    return reinterpret_cast<const uint16_t *>(row)[x];
}

bool mask_bit(int x, int y) {
    return (shadow_mask[y * ((work_width + 7) / 8) + x / 8] >> (x % 8)) & 1;
}
