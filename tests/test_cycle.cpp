// Cycling through tile sets and backgrounds in temporary asset folders:
// wrap-around, gaps in the numbering, a missing background 0, tiling of
// small backgrounds, and the effects and music of every attempt.
#include "assets/cycle.h"
#include "frame_setup.h"
#include "gfx/display.h"
#include "gfx/draw.h"
#include "pcx_write.h"
#include "sound/sound.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

struct Effect {
    std::string name;
    std::string music; // music_name when the effect played
};
std::vector<Effect> effects;

void record_effect(const char *name) {
    effects.push_back({name, music_name});
}

// Palette whose entry i is (i, 255 - i, 7i).
void test_palette(uint8_t pal[768]) {
    for (int i = 0; i < 256; i++) {
        pal[3 * i] = static_cast<uint8_t>(i);
        pal[3 * i + 1] = static_cast<uint8_t>(255 - i);
        pal[3 * i + 2] = static_cast<uint8_t>(i * 7);
    }
}

// Index of picture pixel (x, y) in pictures made by write_picture, with a mark
// that tells pictures apart.
uint8_t picture_index(int x, int y, int mark) {
    return static_cast<uint8_t>(x * 3 + y * 5 + mark * 40);
}

void write_picture(const std::string &path, int w, int h, int mark) {
    std::vector<uint8_t> px(w * h);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++)
            px[y * w + x] = picture_index(x, y, mark);
    uint8_t pal[768];
    test_palette(pal);
    ASSERT_EQ(write_pcx8(path.c_str(), w, h, px.data(), pal), 0);
}

uint16_t display_colour(uint8_t index) {
    return static_cast<uint16_t>(map_rgb(index, 255 - index, index * 7));
}

std::string tiles_path(int n) {
    return "data/image/tiles" + std::to_string(n) + ".pcx";
}
std::string background_path(int n) {
    return "data/image/background/bg" + std::to_string(n) + ".pcx";
}

class Cycle : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        start_offscreen_display();
    }
    void SetUp() override {
        ASSERT_NE(getcwd(old_dir_, sizeof old_dir_), nullptr);
        dir_ = make_temp_dir("cycle");
        ASSERT_FALSE(dir_.empty());
        ASSERT_EQ(chdir(dir_.c_str()), 0);
        mkdir("data", 0755);
        mkdir("data/image", 0755);
        mkdir("data/image/background", 0755);
        effects.clear();
        effect_hook = record_effect;
        free_image(&tile_image);
        tileset_index = -1;
        background_index = -1;
        music_name[0] = '\0';
    }
    void TearDown() override {
        effect_hook = nullptr;
        free_image(&tile_image);
        ASSERT_EQ(chdir(old_dir_), 0);
        remove_tree(dir_);
    }
    // Checks that the work surface shows picture (w x h, mark) repeated from
    // the top-left corner.
    void expect_tiled(int w, int h, int mark) {
        int wrong = 0;
        for (int y = 0; y < 480; y++)
            for (int x = 0; x < 640; x++) {
                uint16_t want = display_colour(picture_index(x % w, y % h, mark));
                if (work_pixel(x, y) != want && wrong++ < 3)
                    ADD_FAILURE() << "pixel " << x << "," << y;
            }
        EXPECT_EQ(wrong, 0);
    }
    char old_dir_[4096];
    std::string dir_;
};

TEST_F(Cycle, TileSetsWrapAtTheFirstGap) {
    write_picture(tiles_path(0), 376, 238, 0);
    write_picture(tiles_path(1), 377, 238, 1);
    write_picture(tiles_path(3), 378, 238, 3);
    const int want_index[] = {0, 1, 0, 1, 0};
    const size_t want_effects[] = {1, 1, 2, 1, 2};
    for (int step = 0; step < 5; step++) {
        effects.clear();
        ASSERT_EQ(next_tile_set(), 0);
        EXPECT_EQ(tileset_index, want_index[step]) << step;
        EXPECT_EQ(tile_image.width, 376 + want_index[step]) << step;
        EXPECT_EQ(tile_image.pixels[1], picture_index(1, 0, want_index[step]));
        EXPECT_EQ(effects.size(), want_effects[step]) << step;
        for (const Effect &e : effects)
            EXPECT_EQ(e.name, "snd1.wav");
    }
}

TEST_F(Cycle, NoTileSetReturnsTheCodeOfTileSetZero) {
    EXPECT_EQ(next_tile_set(), 1); // cannot be opened
    EXPECT_EQ(tileset_index, 0);
    EXPECT_EQ(tile_image.pixels, nullptr);
    EXPECT_EQ(effects.size(), 1u);

    // From a later number: one attempt past it, then tile set 0.
    FILE *f = fopen(tiles_path(0).c_str(), "wb");
    fputs("not a picture", f);
    fclose(f);
    tileset_index = 3;
    effects.clear();
    EXPECT_EQ(next_tile_set(), 2);
    EXPECT_EQ(tileset_index, 0);
    EXPECT_EQ(effects.size(), 2u);
    EXPECT_EQ(tile_image.pixels, nullptr);
    EXPECT_EQ(tile_image.width, 0);
}

TEST_F(Cycle, BackgroundWrapPlaysTwiceAndSwitchesMusicTwice) {
    write_picture(background_path(0), 640, 480, 0);
    write_picture(background_path(1), 640, 480, 1);
    next_background();
    EXPECT_EQ(background_index, 0);
    expect_tiled(640, 480, 0);
    next_background();
    EXPECT_EQ(background_index, 1);
    EXPECT_STREQ(music_name, "bgm1.mid");
    effects.clear();
    next_background();
    EXPECT_EQ(background_index, 0);
    ASSERT_EQ(effects.size(), 2u);
    EXPECT_EQ(effects[0].music, "bgm1.mid"); // before the attempt at 2
    EXPECT_EQ(effects[1].music, "bgm2.mid"); // the missing number's music came first
    EXPECT_STREQ(music_name, "bgm0.mid");
    expect_tiled(640, 480, 0);
    // Slot 0 holds the painted background.
    fill_rect(0, 0, 640, 480, 0, 0, 0);
    restore_screen(0);
    expect_tiled(640, 480, 0);
}

TEST_F(Cycle, MissingBackgroundZeroChangesNothingUntilTheNextSwitch) {
    write_picture(background_path(1), 640, 480, 1);
    fill_rect(0, 0, 640, 480, 60, 84, 12);
    save_screen(0);
    uint16_t plain = work_pixel(0, 0);
    next_background();
    EXPECT_EQ(background_index, 0);
    EXPECT_EQ(effects.size(), 1u);
    EXPECT_STREQ(music_name, "bgm0.mid");
    for (int y = 0; y < 480; y += 7)
        for (int x = 0; x < 640; x += 7)
            ASSERT_EQ(work_pixel(x, y), plain);
    restore_screen(0);
    EXPECT_EQ(work_pixel(320, 240), plain);
    next_background();
    EXPECT_EQ(background_index, 1);
    expect_tiled(640, 480, 1);
}

TEST_F(Cycle, OnlyBackgroundZeroIsRepaintedEveryTime) {
    write_picture(background_path(0), 640, 480, 2);
    for (int i = 0; i < 3; i++) {
        fill_rect(0, 0, 640, 480, 1, 2, 3);
        effects.clear();
        next_background();
        EXPECT_EQ(background_index, 0);
        EXPECT_EQ(effects.size(), i == 0 ? 1u : 2u);
        EXPECT_STREQ(music_name, "bgm0.mid");
        expect_tiled(640, 480, 2);
    }
}

TEST_F(Cycle, SmallBackgroundIsTiledInBands) {
    // 300 x 200: bands of 200, 200 and 80 rows, tiles of 300, 300 and 40 columns.
    write_picture(background_path(0), 300, 200, 0);
    next_background();
    expect_tiled(300, 200, 0);
    fill_rect(0, 0, 640, 480, 0, 0, 0);
    restore_screen(0);
    expect_tiled(300, 200, 0);
    // A picture larger than the surface shows its top-left part once.
    write_picture(background_path(1), 700, 500, 1);
    next_background();
    expect_tiled(700, 500, 1);
    // A single pixel fills the surface.
    write_picture(background_path(2), 1, 1, 2);
    next_background();
    expect_tiled(1, 1, 2);
}

TEST_F(Cycle, EmptyBackgroundCountsAsFailedLoad) {
    write_picture(background_path(0), 640, 480, 0);
    // Xmin 1 and Xmax 0: width 0.
    uint8_t pal[768];
    test_palette(pal);
    uint8_t px = 0;
    std::vector<uint8_t> empty = encode_pcx8(1, 1, &px, pal);
    empty[4] = 1; // Xmin 1 > Xmax 0
    ASSERT_EQ(write_file_bytes(background_path(1).c_str(), empty), 0);
    next_background();
    fill_rect(0, 0, 640, 480, 0, 0, 0);
    next_background(); // 1 is refused: back to 0, which repaints
    EXPECT_EQ(background_index, 0);
    expect_tiled(640, 480, 0);
}

} // namespace
