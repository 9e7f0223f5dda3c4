// Checks of the generated pictures in the build's data/ directory: geometry,
// legibility on the halved display, selection visibility, tone and
// seamlessness of the backgrounds, the status line and the board standing
// out on every background, and agreement with a third-party decoder.
#include "app/app.h"
#include "assets/cycle.h"
#include "assets/pcx.h"
#include "frame_setup.h"
#include "game/deal.h"
#include "game/play.h"
#include "gfx/display.h"
#include "gfx/geometry.h"
#include "gfx/render.h"
#include "pnm_read.h"
#include "reference_frame.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

const int TILESETS = 3;
const int BACKGROUNDS = 4;

std::string tileset_path(int i) {
    return "data/image/tiles" + std::to_string(i) + ".pcx";
}

std::string background_path(int i) {
    return "data/image/background/bg" + std::to_string(i) + ".pcx";
}

struct Loaded {
    PalettedImage image = {};
    int code = -1;
    explicit Loaded(const std::string &path) {
        start_offscreen_display();
        code = load_pcx(path.c_str(), &image);
    }
    ~Loaded() {
        free_image(&image);
    }
    uint8_t index(int x, int y) const {
        return image.pixels[(size_t)y * image.width + x];
    }
    // Grey level 0..255 of a pixel as the display shows it.
    int grey(int x, int y) const {
        Uint8 r, g, b;
        SDL_GetRGB(image.palette[index(x, y)], work_surface->format, &r, &g, &b);
        return (299 * r + 587 * g + 114 * b) / 1000;
    }
};

bool real_face(int f) {
    return f != 34 && f != 35;
}

// Every face as the display shows it: 20 x 23 grey levels.
std::vector<std::vector<int>> display_faces(const Loaded &set) {
    std::vector<std::vector<int>> faces(44);
    for (int f = 0; f < 44; f++) {
        int ox = CELL_W * (f % 9), oy = CELL_H * (f / 9);
        for (int y = 0; y < FACE_H; y += 2)
            for (int x = 0; x < FACE_W; x += 2)
                faces[f].push_back(set.grey(ox + x, oy + y));
    }
    return faces;
}

TEST(TileSetPictures, LoadAsFaceGridsOfTwoByTwoBlocks) {
    for (int s = 0; s < TILESETS; s++) {
        Loaded set(tileset_path(s));
        ASSERT_EQ(set.code, 0) << tileset_path(s);
        EXPECT_EQ(set.image.width, 378);
        EXPECT_EQ(set.image.height, 240);
        // Each screen pixel of a face is a 2 x 2 block, so the face looks
        // the same whichever pixel of a block the halving picks.
        int broken = 0;
        for (int f = 0; f < 44; f++) {
            int ox = CELL_W * (f % 9), oy = CELL_H * (f / 9);
            for (int y = 0; y < FACE_H; y += 2)
                for (int x = 0; x < FACE_W; x += 2) {
                    uint8_t v = set.index(ox + x, oy + y);
                    if (set.index(ox + x + 1, oy + y) != v || set.index(ox + x, oy + y + 1) != v ||
                        set.index(ox + x + 1, oy + y + 1) != v)
                        broken++;
                }
        }
        EXPECT_EQ(broken, 0) << tileset_path(s) << ": blocks that are not one colour";
        // The two unused faces are blank tiles: no ink, and alike.
        for (int y = 0; y < FACE_H; y++)
            for (int x = 0; x < FACE_W; x++)
                ASSERT_EQ(set.index(7 * CELL_W + x, 3 * CELL_H + y),
                          set.index(8 * CELL_W + x, 3 * CELL_H + y))
                    << "faces 34 and 35 differ at " << x << "," << y;
        std::vector<uint8_t> used;
        for (int y = 0; y < FACE_H; y++)
            for (int x = 0; x < FACE_W; x++)
                used.push_back(set.index(7 * CELL_W + x, 3 * CELL_H + y));
        std::sort(used.begin(), used.end());
        used.erase(std::unique(used.begin(), used.end()), used.end());
        EXPECT_LE(used.size(), 3u) << "face 34 has more than ground and bevel";
    }
    Loaded missing(tileset_path(TILESETS));
    EXPECT_NE(missing.code, 0) << "an unexpected extra tile set";
}

// Reduced to grey levels, so colour alone never tells two faces apart, any
// two faces differ in at least 12 of their 460 screen pixels.
TEST(TileSetPictures, FacesDifferInShapeOnTheHalvedDisplay) {
    const int MIN_DIFFERENT = 12;
    const int GREY_STEP = 48; // two greys closer than this count as the same
    for (int s = 0; s < TILESETS; s++) {
        Loaded set(tileset_path(s));
        ASSERT_EQ(set.code, 0);
        std::vector<std::vector<int>> faces = display_faces(set);
        int fewest = 460, pair_a = -1, pair_b = -1;
        for (int a = 0; a < 44; a++)
            for (int b = a + 1; b < 44; b++) {
                if (!real_face(a) || !real_face(b))
                    continue;
                int different = 0;
                for (size_t i = 0; i < faces[a].size(); i++)
                    if (std::abs(faces[a][i] - faces[b][i]) >= GREY_STEP)
                        different++;
                if (different < fewest) {
                    fewest = different;
                    pair_a = a;
                    pair_b = b;
                }
            }
        EXPECT_GE(fewest, MIN_DIFFERENT)
            << tileset_path(s) << ": faces " << pair_a << " and " << pair_b << " differ in only "
            << fewest << " screen pixels";
        std::printf("%s: closest faces %d and %d differ in %d screen pixels\n",
                    tileset_path(s).c_str(), pair_a, pair_b, fewest);
        // The ink of every real face stands out from its ground.
        for (int f = 0; f < 44; f++) {
            if (!real_face(f))
                continue;
            int ground = faces[f][1 * (FACE_W / 2) + 1]; // screen pixel (1, 1): ground
            int ink = 0;
            for (int g : faces[f])
                ink += std::abs(g - ground) >= GREY_STEP;
            EXPECT_GE(ink, 20) << tileset_path(s) << ": face " << f << " is nearly blank";
        }
    }
}

// The game marks a selected tile by lifting light pixels towards white; the
// ground of every set must be light enough to be lifted, and the lift must
// show.
TEST(TileSetPictures, SelectionHighlightShowsOnEveryFaceGround) {
    std::vector<int> grounds;
    for (int s = 0; s < TILESETS; s++) {
        Loaded set(tileset_path(s));
        ASSERT_EQ(set.code, 0);
        int ground_index = set.index(CELL_W * 7 + 20, CELL_H * 3 + 20); // blank face 34
        uint16_t plain = (uint16_t)set.image.palette[ground_index];
        uint16_t lit = light_table[plain];
        Uint8 r0, g0, b0, r1, g1, b1;
        SDL_GetRGB(plain, work_surface->format, &r0, &g0, &b0);
        SDL_GetRGB(lit, work_surface->format, &r1, &g1, &b1);
        int before = (299 * r0 + 587 * g0 + 114 * b0) / 1000;
        int after = (299 * r1 + 587 * g1 + 114 * b1) / 1000;
        EXPECT_GE(after - before, 15) << tileset_path(s) << ": selection hardly visible";
        grounds.push_back(r0 << 16 | g0 << 8 | b0);
    }
    // Each set has a look of its own.
    for (int a = 0; a < TILESETS; a++)
        for (int b = a + 1; b < TILESETS; b++) {
            int most = 0;
            for (int shift = 0; shift <= 16; shift += 8)
                most = std::max(
                    most, std::abs((grounds[a] >> shift & 255) - (grounds[b] >> shift & 255)));
            EXPECT_GE(most, 30) << "tile sets " << a << " and " << b << " look alike";
        }
}

TEST(BackgroundPictures, FullPictureAndSeamlessTexturesInAMiddleTone) {
    bool full = false, small = false;
    for (int i = 0; i < BACKGROUNDS; i++) {
        Loaded bg(background_path(i));
        ASSERT_EQ(bg.code, 0) << background_path(i);
        int w = bg.image.width, h = bg.image.height;
        ASSERT_TRUE(w > 0 && h > 0 && w % 2 == 0 && h % 2 == 0) << background_path(i);
        if (w >= 640 && h >= 480)
            full = true;
        else
            small = true;
        // What the display shows: the picture tiled over 640 x 480, every
        // other pixel of every other row.
        std::vector<int> greys;
        for (int y = 0; y < 480; y += 2)
            for (int x = 0; x < 640; x += 2)
                greys.push_back(bg.grey(x % w, y % h));
        std::sort(greys.begin(), greys.end());
        long sum = 0;
        for (int g : greys)
            sum += g;
        int mean = (int)(sum / (long)greys.size());
        int p98 = greys[greys.size() * 98 / 100];
        // A middle tone overall: the status line's black text and the tiles'
        // dark frame lines and shadows need a background that is not dark
        // (a repeated texture is the same tone everywhere), while the
        // tiles' light walls, (231, 227, 199) and (247, 243, 247), stay the
        // lightest thing on the screen.
        EXPECT_GE(mean, 100) << background_path(i) << " is too dark for dark edges and text";
        EXPECT_LE(mean, 170) << background_path(i) << " is too bright under light tiles";
        EXPECT_LE(p98, 215) << background_path(i) << " has spots as light as the tile walls";
        std::printf("%s: display grey mean %d, 98th percentile %d\n", background_path(i).c_str(),
                    mean, p98);
        if (w < 640 || h < 480) {
            // Seamless: the step across the wrap-around edge is no larger
            // than the largest step between neighbouring 2 x 2 blocks inside.
            long most_x = 0, edge_x = 0, most_y = 0, edge_y = 0;
            for (int x = 1; x + 1 < w; x += 2) {
                long step = 0;
                for (int y = 0; y < h; y++)
                    step += std::abs(bg.grey(x, y) - bg.grey(x + 1, y));
                most_x = std::max(most_x, step);
            }
            for (int y = 0; y < h; y++)
                edge_x += std::abs(bg.grey(w - 1, y) - bg.grey(0, y));
            for (int y = 1; y + 1 < h; y += 2) {
                long step = 0;
                for (int x = 0; x < w; x++)
                    step += std::abs(bg.grey(x, y) - bg.grey(x, y + 1));
                most_y = std::max(most_y, step);
            }
            for (int x = 0; x < w; x++)
                edge_y += std::abs(bg.grey(x, h - 1) - bg.grey(x, 0));
            EXPECT_LE(edge_x, most_x * 11 / 10 + h) << background_path(i) << ": seam down the side";
            EXPECT_LE(edge_y, most_y * 11 / 10 + w) << background_path(i) << ": seam across";
        }
    }
    EXPECT_TRUE(full) << "no full-screen background";
    EXPECT_TRUE(small) << "no small seamless background";
}

// The status line is black text with a light edge, drawn at (360, 400) on
// the background; behind it every background keeps to a calm middle grey,
// where both the black and the light edge stand out.
TEST(BackgroundPictures, StatusLineBackdropIsACalmMiddleGrey) {
    for (int i = 0; i < BACKGROUNDS; i++) {
        Loaded bg(background_path(i));
        ASSERT_EQ(bg.code, 0) << background_path(i);
        std::vector<int> greys;
        for (int y = 396; y < 432; y += 2)
            for (int x = 360; x < 640; x += 2)
                greys.push_back(bg.grey(x % bg.image.width, y % bg.image.height));
        std::sort(greys.begin(), greys.end());
        int low = greys[greys.size() / 10], median = greys[greys.size() / 2];
        int high = greys[greys.size() * 9 / 10];
        std::printf("%s: status backdrop grey %d / %d / %d\n", background_path(i).c_str(), low,
                    median, high);
        EXPECT_GE(median, 50) << background_path(i) << ": too dark for black text";
        EXPECT_LE(median, 140) << background_path(i) << ": too light for the light edge";
        EXPECT_LE(high - low, 60) << background_path(i) << ": too busy behind the text";
    }
}

// WCAG relative luminance of a pixel value as the display shows it.
double luminance(uint16_t value) {
    Uint8 rgb[3];
    SDL_GetRGB(value, work_surface->format, &rgb[0], &rgb[1], &rgb[2]);
    double linear[3];
    for (int k = 0; k < 3; k++) {
        double c = rgb[k] / 255.0;
        linear[k] = c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    }
    return 0.2126 * linear[0] + 0.7152 * linear[1] + 0.0722 * linear[2];
}

// WCAG contrast ratio of two luminances, 1 (none) to 21.
double contrast(double a, double b) {
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

double percentile(std::vector<double> values, int percent) {
    std::sort(values.begin(), values.end());
    return values[values.size() * percent / 100];
}

// Real frames of a dealt game with the status line, for every tile set on
// every background, measured against the background picture as the game
// tiles it: a pixel that still shows the picture is background, anything
// else was drawn over it. Contrast is the usual text-legibility ratio of
// relative luminances.
//  - Black status text needs 4.5:1 against the background behind it (the
//    usual floor for legible text) for at least 90 % of the background
//    pixels in the status line's box.
//  - The board stays distinct against the typical (median) background within
//    a few pixels of it: the tiles' dark frame line at 3:1 or more (the
//    usual floor for outlines of shapes), the drop shadows at 1.5:1 or more
//    (the three-quarter shading reaches that only on a middle tone or
//    lighter), and the face ground of every tile set at 1.5:1 or more, so a
//    lighter background never swallows the light tiles.
TEST(BackgroundPictures, StatusLineAndTileOutlinesStandOutOnEveryBackground) {
    const int W = WORK_WIDTH, H = WORK_HEIGHT;
    const int BOX_X0 = 356, BOX_X1 = 639, BOX_Y0 = 396, BOX_Y1 = 439; // status line
    const int NEAR = 3; // background within this many pixels of the board
    start_offscreen_display();
    ASSERT_EQ(TTF_Init(), 0);
    font = TTF_OpenFont("data/font/ariblk.ttf", 24);
    ASSERT_NE(font, nullptr);
    uint16_t frame_line = (uint16_t)SDL_MapRGB(work_surface->format, 48, 48, 48);
    std::vector<uint16_t> frame;
    for (int s = 0; s < TILESETS; s++) {
        tileset_index = s - 1;
        ASSERT_EQ(next_tile_set(), 0);
        ASSERT_EQ(tileset_index, s);
        Loaded set(tileset_path(s));
        ASSERT_EQ(set.code, 0);
        // the ground of the blank face 34, the colour most of a tile shows
        double tile_ground =
            luminance((uint16_t)set.image.palette[set.index(7 * CELL_W + 20, 3 * CELL_H + 20)]);
        for (int b = 0; b < BACKGROUNDS; b++) {
            background_index = b - 1;
            next_background();
            ASSERT_EQ(background_index, b);
            if (s == 0 && b == 0) {
                srand(1);
                deal_board();
            }
            status_text = "Click on another tile";
            invalidate_frame();
            render_board();
            capture_work_surface(frame);
            Loaded picture(background_path(b));
            ASSERT_EQ(picture.code, 0);
            int pw = picture.image.width, ph = picture.image.height;
            std::vector<uint16_t> ground(W * H);
            for (int y = 0; y < H; y++)
                for (int x = 0; x < W; x++)
                    ground[y * W + x] =
                        (uint16_t)picture.image.palette[picture.index(x % pw, y % ph)];
            auto in_box = [&](int x, int y) {
                return x >= BOX_X0 && x <= BOX_X1 && y >= BOX_Y0 && y <= BOX_Y1;
            };
            std::string where = background_path(b) + " under " + tileset_path(s);

            // Behind the status line (the same for every tile set).
            if (s == 0) {
                std::vector<double> behind;
                int drawn = 0;
                for (int y = BOX_Y0; y <= BOX_Y1; y++)
                    for (int x = BOX_X0; x <= BOX_X1; x++) {
                        int i = y * W + x;
                        if (frame[i] == ground[i])
                            behind.push_back(contrast(luminance(ground[i]), 0.0));
                        else
                            drawn++;
                    }
                ASSERT_GE(drawn, 1000) << where << ": no status line in its box";
                ASSERT_GE(behind.size(), 6000u) << where;
                double low = percentile(behind, 10);
                long readable =
                    std::count_if(behind.begin(), behind.end(), [](double c) { return c >= 4.5; });
                EXPECT_GE(low, 4.5) << where << ": black status text too faint";
                std::printf("%s: behind the status line p10 luminance %.3f -> %.2f:1, %.1f%% "
                            "of the pixels at 4.5:1 or more\n",
                            background_path(b).c_str(), low * 0.05 - 0.05, low,
                            100.0 * readable / behind.size());
            }

            // Around the board.
            std::vector<char> board(W * H, 0);
            for (int y = 0; y < H; y++)
                for (int x = 0; x < W; x++)
                    board[y * W + x] = frame[y * W + x] != ground[y * W + x] && !in_box(x, y);
            std::vector<double> nearby, shadows;
            for (int y = 0; y < H; y++)
                for (int x = 0; x < W; x++) {
                    int i = y * W + x;
                    if (in_box(x, y))
                        continue;
                    if (board[i]) {
                        Uint8 r, g, bl;
                        SDL_GetRGB(ground[i], work_surface->format, &r, &g, &bl);
                        if (frame[i] == (uint16_t)SDL_MapRGB(work_surface->format, 3 * r / 4,
                                                             3 * g / 4, 3 * bl / 4))
                            shadows.push_back(luminance(frame[i]));
                        continue;
                    }
                    bool close = false;
                    for (int dy = -NEAR; dy <= NEAR && !close; dy++)
                        for (int dx = -NEAR; dx <= NEAR && !close; dx++) {
                            int nx = x + dx, ny = y + dy;
                            close = nx >= 0 && nx < W && ny >= 0 && ny < H && board[ny * W + nx];
                        }
                    if (close)
                        nearby.push_back(luminance(ground[i]));
                }
            ASSERT_GE(nearby.size(), 2000u) << where << ": no background around the board";
            ASSERT_GE(shadows.size(), 2000u) << where << ": no shadows on the background";
            double around = percentile(nearby, 50);
            double outline = contrast(luminance(frame_line), around);
            double shade = contrast(percentile(shadows, 50), around);
            double tiles = contrast(tile_ground, around);
            EXPECT_GE(outline, 3.0) << where << ": dark tile edges hardly show";
            EXPECT_GE(shade, 1.5) << where << ": shadows hardly show";
            EXPECT_GE(tiles, 1.5) << where << ": tiles melt into the background";
            std::printf("%s: next to the board median luminance %.3f; frame line %.2f:1, "
                        "shadows %.2f:1, tile ground %.2f:1\n",
                        where.c_str(), around, outline, shade, tiles);
        }
    }
    TTF_CloseFont(font);
    font = nullptr;
}

// Palette of an 8-bit PCX file: its last 768 bytes.
std::vector<uint8_t> file_palette(const std::string &path) {
    FILE *f = std::fopen(path.c_str(), "rb");
    std::vector<uint8_t> palette(768);
    if (!f || std::fseek(f, -768, SEEK_END) != 0 || std::fread(palette.data(), 1, 768, f) != 768)
        palette.clear();
    if (f)
        std::fclose(f);
    return palette;
}

TEST(GeneratedPictures, ImageMagickDecodesTheSamePixelsAsOurLoader) {
    std::vector<std::string> paths;
    for (int i = 0; i < TILESETS; i++)
        paths.push_back(tileset_path(i));
    for (int i = 0; i < BACKGROUNDS; i++)
        paths.push_back(background_path(i));
    for (const std::string &path : paths) {
        Loaded ours(path);
        ASSERT_EQ(ours.code, 0) << path;
        RgbPicture theirs;
        ASSERT_TRUE(
            read_pnm_from("convert " + shell_quote(path) + " -depth 8 ppm:- 2>/dev/null", &theirs))
            << path;
        ASSERT_EQ(theirs.width, ours.image.width) << path;
        ASSERT_EQ(theirs.height, ours.image.height) << path;
        std::vector<uint8_t> palette = file_palette(path);
        ASSERT_EQ(palette.size(), 768u);
        int wrong = 0;
        for (int i = 0; i < theirs.width * theirs.height; i++) {
            uint8_t index = ours.image.pixels[i];
            const uint8_t *rgb = &theirs.rgb[3 * (size_t)i];
            // the same colour as the file's palette says ...
            bool same_rgb = rgb[0] == palette[3 * index] && rgb[1] == palette[3 * index + 1] &&
                            rgb[2] == palette[3 * index + 2];
            // ... and the same display pixel as our loader gives
            bool same_pixel = ours.image.palette[index] ==
                              SDL_MapRGB(work_surface->format, rgb[0], rgb[1], rgb[2]);
            if ((!same_rgb || !same_pixel) && wrong++ < 3)
                ADD_FAILURE() << path << ": pixel " << i % theirs.width << "," << i / theirs.width;
        }
        EXPECT_EQ(wrong, 0) << path;
        std::vector<uint8_t> info;
        int status = 0;
        info = run_capture("identify -format '%w %h %r' " + shell_quote(path), &status);
        EXPECT_EQ(status, 0);
        std::string text(info.begin(), info.end());
        EXPECT_EQ(text.find(std::to_string(ours.image.width) + " " +
                            std::to_string(ours.image.height) + " PseudoClass"),
                  0u)
            << path << ": identify says " << text;
    }
}

} // namespace
