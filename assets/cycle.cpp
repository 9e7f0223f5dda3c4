// Cycling through the numbered tile-set and background pictures. Numbers run
// from 0 without gaps; the first number that does not load sends the cycle
// back to 0.
#include "assets/cycle.h"

#include "gfx/display.h"
#include "gfx/draw.h"
#include "gfx/render.h"
#include "sound/sound.h"

#include <cstdio>

int tileset_index = -1;
int background_index = -1;
PalettedImage tile_image;

enum {
    PATH_BUFFER = 64,
};

// Repeats the picture across and down from the top-left corner; cut copies at
// the right and bottom edges show the picture's left and top parts.
static void tile_over_surface(const PalettedImage *image) {
    for (int y = 0; y < work_height; y += image->height) {
        int h = image->height < work_height - y ? image->height : work_height - y;
        for (int x = 0; x < work_width; x += image->width) {
            int w = image->width < work_width - x ? image->width : work_width - x;
            blit_paletted(x, y, image, 0, 0, w, h);
        }
    }
}

int next_tile_set() {
    free_image(&tile_image);
    for (;;) {
        tileset_index++;
        char path[PATH_BUFFER];
        snprintf(path, sizeof path, "data/image/tiles%d.pcx", tileset_index);
        play_effect("snd1.wav");
        int code = load_pcx(path, &tile_image);
        // The picture's memory may come back at the same address with new
        // faces, so they are converted here, once for the whole set.
        if (code == 0 || tileset_index == 0) {
            convert_tile_faces();
            return code;
        }
        tileset_index = -1;
    }
}

void next_background() {
    PalettedImage background_image;
    for (;;) {
        background_index++;
        char path[PATH_BUFFER];
        snprintf(path, sizeof path, "data/image/background/bg%d.pcx", background_index);
        play_effect("snd1.wav");
        snprintf(music_name, sizeof music_name, "bgm%d.mid", background_index);
        play_music(music_name);
        // The loader refuses a picture of width or height below 1, which
        // could never be tiled, so a loaded one always is at least 1x1.
        int code = load_pcx(path, &background_image);
        if (code == 0)
            break;
        if (background_index == 0)
            return;
        background_index = -1;
    }
    tile_over_surface(&background_image);
    save_screen(0);
    free_image(&background_image);
}
