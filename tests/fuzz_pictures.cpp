// Mutated and truncated PCX files, from a fixed seed, through the loader and
// the drawing code; built with AddressSanitizer, so any read or write outside
// the reader's buffer, the scan line, the pixel array or the surfaces fails.
#include "assets/cycle.h"
#include "assets/pcx.h"
#include "frame_setup.h"
#include "game/board.h"
#include "game/deal.h"
#include "gfx/display.h"
#include "gfx/draw.h"
#include "gfx/render.h"
#include "pcx_write.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

std::mt19937 rng(20261208);

int pick(int n) {
    return static_cast<int>(rng() % static_cast<unsigned>(n));
}

std::vector<uint8_t> random_pixels(int w, int h, int levels, bool runs) {
    std::vector<uint8_t> px(w * h);
    for (int i = 0; i < w * h; i++)
        px[i] = static_cast<uint8_t>(runs && i > 0 && pick(3) ? px[i - 1] : pick(levels));
    return px;
}

// Valid pictures of both kinds to start the mutations from.
std::vector<std::vector<uint8_t>> base_files() {
    uint8_t pal[768], map[48];
    for (auto &b : pal)
        b = static_cast<uint8_t>(rng());
    for (auto &b : map)
        b = static_cast<uint8_t>(rng());
    std::vector<std::vector<uint8_t>> files;
    files.push_back(encode_pcx8(37, 23, random_pixels(37, 23, 256, false).data(), pal));
    files.push_back(encode_pcx8(1, 1, random_pixels(1, 1, 256, false).data(), pal));
    files.push_back(encode_pcx8(64, 48, random_pixels(64, 48, 256, true).data(), pal));
    files.push_back(encode_pcx8(400, 250, random_pixels(400, 250, 256, true).data(), pal));
    files.push_back(encode_pcx_planar(37, 23, 1, random_pixels(37, 23, 2, false).data(), map));
    files.push_back(encode_pcx_planar(41, 19, 4, random_pixels(41, 19, 16, true).data(), map));
    files.push_back(encode_pcx_planar(17, 9, 3, random_pixels(17, 9, 8, false).data(), map));
    return files;
}

const int INTERESTING[] = {0,    1,    2,    7,    8,     127,   128,   255,  256,
                           2047, 2048, 2049, 4096, 32767, 32768, 65534, 65535};

void mutate(std::vector<uint8_t> &f) {
    int rounds = 1 + pick(3);
    for (int r = 0; r < rounds; r++) {
        switch (pick(6)) {
        case 0: // flip bytes anywhere
            for (int i = 0, n = 1 + pick(8); i < n && !f.empty(); i++)
                f[pick(static_cast<int>(f.size()))] ^= static_cast<uint8_t>(1 + pick(255));
            break;
        case 1: { // a header word: Xmin, Ymin, Xmax, Ymax or BytesPerLine
            const int at[] = {4, 6, 8, 10, 66};
            int o = at[pick(5)];
            int v = INTERESTING[pick(sizeof INTERESTING / sizeof *INTERESTING)];
            if (static_cast<int>(f.size()) > o + 1) {
                f[o] = static_cast<uint8_t>(v & 255);
                f[o + 1] = static_cast<uint8_t>(v >> 8);
            }
            break;
        }
        case 2: // plane count or bits per pixel
            if (f.size() > 65) {
                if (pick(2))
                    f[65] = static_cast<uint8_t>(pick(3) ? pick(10) : pick(256));
                else
                    f[3] = static_cast<uint8_t>(pick(2) ? 1 : 8);
            }
            break;
        case 3: // cut short
            f.resize(pick(static_cast<int>(f.size()) + 1));
            break;
        case 4: // long runs in the data
            for (int i = 0, n = 1 + pick(20); i < n && f.size() > 129; i++)
                f[128 + pick(static_cast<int>(f.size()) - 128)] =
                    static_cast<uint8_t>(192 + pick(64));
            break;
        default: // garbage at the end
            for (int i = 0, n = pick(2000); i < n; i++)
                f.push_back(static_cast<uint8_t>(rng()));
            break;
        }
    }
}

// Draws the picture as the tile set of a dealt board and through random
// source and destination regions, and tiles it as a background would be.
void draw_with(PalettedImage *image) {
    tile_image = *image;
    render_board();
    for (int i = 0; i < 20; i++)
        blit_paletted(pick(800) - 80, pick(600) - 60, image, pick(image->width + 100) - 50,
                      pick(image->height + 100) - 50, pick(700), pick(520));
    for (int y = 0; y < work_height; y += image->height)
        for (int x = 0; x < work_width; x += image->width)
            blit_paletted(x, y, image, 0, 0, image->width, image->height);
    std::memset(&tile_image, 0, sizeof tile_image);
}

TEST(FuzzPictures, MutatedFilesAreLoadedOrRefusedCleanly) {
    start_offscreen_display();
    fill_rect(0, 0, work_width, work_height, 60, 84, 12);
    save_screen(0);
    srand(5);
    deal_board();
    std::string folder = make_temp_dir("fuzz");
    ASSERT_NE(folder, "");
    std::string path = folder + "/f.pcx";
    auto bases = base_files();
    int loaded = 0, refused = 0;
    int by_code[16] = {};
    for (int iteration = 0; iteration < 4000; iteration++) {
        std::vector<uint8_t> f = bases[pick(static_cast<int>(bases.size()))];
        mutate(f);
        ASSERT_EQ(write_file_bytes(path.c_str(), f), 0);
        PalettedImage image;
        std::memset(&image, 0x5A, sizeof image);
        int code = load_pcx(path.c_str(), &image);
        if (code >= 0 && code < 16)
            by_code[code]++;
        if (code != PCX_OK) {
            refused++;
            ASSERT_TRUE((code >= 2 && code <= 6) || (code >= 9 && code <= 15)) << code;
            ASSERT_EQ(image.pixels, nullptr);
            ASSERT_EQ(image.width, 0);
            ASSERT_EQ(image.height, 0);
            free_image(&image);
            continue;
        }
        loaded++;
        ASSERT_NE(image.pixels, nullptr);
        ASSERT_GE(image.width, 1);
        ASSERT_GE(image.height, 1);
        ASSERT_LE(static_cast<int64_t>(image.width) * image.height, PCX_MAX_PIXELS);
        // Touch every pixel: the array must hold exactly width x height bytes.
        unsigned sum = 0;
        for (int64_t i = 0; i < static_cast<int64_t>(image.width) * image.height; i++)
            sum += image.pixels[i];
        (void)sum;
        if (iteration % 8 == 0)
            draw_with(&image);
        free_image(&image);
    }
    remove_tree(folder);
    // The mutations must reach both outcomes for the run to mean anything.
    EXPECT_GT(loaded, 400);
    EXPECT_GT(refused, 400);
    printf("loaded %d, refused %d; by code:", loaded, refused);
    for (int c = 0; c < 16; c++)
        if (by_code[c])
            printf(" %d:%d", c, by_code[c]);
    printf("\n");
}

TEST(FuzzPictures, RandomRectanglesStayOnTheSurface) {
    start_offscreen_display();
    const int edge[] = {INT_MIN, INT_MIN + 1, -100000, -641, -640, -48,    -1,          0,      1,
                        479,     480,         639,     640,  641,  100000, INT_MAX - 1, INT_MAX};
    auto any = [&] { return pick(2) ? edge[pick(sizeof edge / sizeof *edge)] : pick(1400) - 400; };
    PalettedImage image;
    std::memset(&image, 0, sizeof image);
    std::vector<uint8_t> px(50 * 30, 3);
    image.pixels = px.data();
    image.width = 50;
    image.height = 30;
    for (int i = 0; i < 20000; i++) {
        int x = any(), y = any(), w = any(), h = any();
        switch (pick(9)) {
        case 0:
            fill_rect(x, y, w, h, 1, 2, 3);
            break;
        case 1:
            clear_rect(x, y, w, h);
            break;
        case 2:
            shade_rect(x, y, w, h);
            break;
        case 3:
            light_rect(x, y, w, h);
            break;
        case 4:
            mask_rect(x, y, w, h, pick(2));
            break;
        case 5:
            fill_rect_unmask(x, y, w, h, 0x123456);
            break;
        case 6:
            blit_paletted(x, y, &image, any(), any(), w, h);
            break;
        case 7:
            put_pixel(x, y, 1, 2, 3);
            mask_put(x, y, 1);
            break;
        default:
            draw_text(nullptr, work_surface, x, y, SDL_Color{1, 2, 3, 0}, "x");
            break;
        }
    }
    apply_shadow_mask(shadow_mask);
    mask_clear_all();
    // Tiles anywhere, on any layer, with any face and flags.
    for (int round = 0; round < 200; round++) {
        for (int i = 0; i < BOARD_TILES; i++) {
            Tile &t = board.tiles[i];
            t.col = static_cast<uint8_t>(rng());
            t.row = static_cast<uint8_t>(rng());
            t.layer = pick(4) ? pick(8) : pick(2001) - 1000;
            t.face = pick(4) ? pick(44) : any();
            t.flags = static_cast<int>(rng());
        }
        board.tile_count = pick(BOARD_TILES + 1);
        render_board();
    }
}

} // namespace
