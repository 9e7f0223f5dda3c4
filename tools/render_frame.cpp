// Renders the frame the game shows for a given random seed, optionally after
// removing pairs and with a tile selected, and writes it as a PNG: at the
// display's 320x240 as presented, and optionally at the 640x480 of the work
// surface. Runs from a directory holding the game's data/ (the build
// directory) on SDL's dummy drivers.
//
// usage: render_frame [options] SEED OUT.png
//   --large FILE.png   also write the 640x480 work surface
//   --remove A,B       remove the tiles with indices A and B as a pair (repeatable;
//                      the faces must match and both tiles must be on the board)
//   --select I         select tile I
//   --tileset N        draw with tile set N instead of 0
//   --background N     paint background N instead of the plain colour
//   --list             print every tile: index, col, row, layer, face, free
#include "app/app.h"
#include "assets/cycle.h"
#include "frame_setup.h"
#include "game/board.h"
#include "game/deal.h"
#include "game/freedom.h"
#include "game/play.h"
#include "gfx/display.h"
#include "gfx/draw.h"
#include "gfx/render.h"
#include "png_write.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

int usage() {
    fprintf(stderr, "usage: render_frame [--large FILE.png] [--remove A,B]... [--select I]\n"
                    "                    [--tileset N] [--background N] [--list] SEED OUT.png\n");
    return 2;
}

bool parse_int(const char *text, long *value) {
    char *end;
    *value = strtol(text, &end, 10);
    return *text && !*end;
}

bool valid_tile(long i) {
    return i >= 0 && i < board.tile_count;
}

} // namespace

int main(int argc, char **argv) {
    std::string large;
    std::vector<std::pair<long, long>> pairs;
    long select = -1, tileset = 0, background = -1;
    bool list = false;
    std::vector<const char *> positional;
    for (int i = 1; i < argc; i++) {
        std::string a = argv[i];
        bool has_value = i + 1 < argc;
        if (a == "--large" && has_value) {
            large = argv[++i];
        } else if (a == "--remove" && has_value) {
            long x, y;
            std::string v = argv[++i];
            size_t comma = v.find(',');
            if (comma == std::string::npos || !parse_int(v.substr(0, comma).c_str(), &x) ||
                !parse_int(v.substr(comma + 1).c_str(), &y))
                return usage();
            pairs.push_back({x, y});
        } else if (a == "--select" && has_value) {
            if (!parse_int(argv[++i], &select))
                return usage();
        } else if (a == "--tileset" && has_value) {
            if (!parse_int(argv[++i], &tileset) || tileset < 0)
                return usage();
        } else if (a == "--background" && has_value) {
            if (!parse_int(argv[++i], &background) || background < 0)
                return usage();
        } else if (a == "--list") {
            list = true;
        } else if (a.size() > 1 && a[0] == '-' && !(a[1] >= '0' && a[1] <= '9')) {
            return usage();
        } else {
            positional.push_back(argv[i]);
        }
    }
    long seed;
    if (positional.size() != 2 || !parse_int(positional[0], &seed))
        return usage();
    const char *out = positional[1];

    // Start-up as the game does it, with the seed given instead of the clock.
    start_offscreen_display();
    TTF_Init();
    font = TTF_OpenFont("data/font/ariblk.ttf", 24);
    if (!font)
        fprintf(stderr, "render_frame: no font, the status line is left out\n");
    tileset_index = tileset - 1;
    if (next_tile_set() != 0 || tileset_index != tileset) {
        fprintf(stderr, "render_frame: cannot load data/image/tiles%ld.pcx\n", tileset);
        return 1;
    }
    fill_rect(0, 0, work_width, work_height, 60, 84, 12);
    save_screen(0);
    if (background >= 0) {
        background_index = static_cast<int>(background) - 1;
        next_background();
        if (background_index != background) {
            fprintf(stderr, "render_frame: cannot load background %ld\n", background);
            return 1;
        }
    }
    status_text = "Click on a tile";
    srand(static_cast<unsigned>(seed));
    deal_board();

    for (const auto &p : pairs) {
        if (!valid_tile(p.first) || !valid_tile(p.second) || p.first == p.second) {
            fprintf(stderr, "render_frame: no tile pair %ld,%ld\n", p.first, p.second);
            return 1;
        }
        Tile &a = board.tiles[p.first];
        Tile &b = board.tiles[p.second];
        if ((a.flags | b.flags) & TILE_REMOVED || !tiles_match(a.face, b.face)) {
            fprintf(stderr, "render_frame: tiles %ld and %ld are not a pair on the board\n",
                    p.first, p.second);
            return 1;
        }
        a.flags |= TILE_REMOVED;
        b.flags |= TILE_REMOVED;
        board.move_history[board.move_count++] = static_cast<int>(p.first);
        board.move_history[board.move_count++] = static_cast<int>(p.second);
        board.redo_count = 0;
    }
    if (select >= 0) {
        if (!valid_tile(select) || board.tiles[select].flags & TILE_REMOVED) {
            fprintf(stderr, "render_frame: no tile %ld on the board\n", select);
            return 1;
        }
        board.tiles[select].flags |= TILE_SELECTED;
        status_text = "Click on another tile";
    }

    render_board();
    if (list) {
        printf("index col row layer face free\n");
        for (int i = 0; i < board.tile_count; i++) {
            const Tile &t = board.tiles[i];
            if (!(t.flags & TILE_REMOVED))
                printf("%d %d %d %d %d %d\n", i, t.col, t.row, t.layer, t.face,
                       (t.flags & (TILE_BLOCKED | TILE_REMOVED)) == 0);
        }
    }
    if (!large.empty() && write_png_surface(large.c_str(), work_surface) != 0) {
        fprintf(stderr, "render_frame: cannot write %s\n", large.c_str());
        return 1;
    }
    present_frame();
    if (write_png_surface(out, screen) != 0) {
        fprintf(stderr, "render_frame: cannot write %s\n", out);
        return 1;
    }
    return 0;
}
