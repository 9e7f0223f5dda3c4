// Display set-up, colour tables, presentation and start-up failures.
#include "assets/cycle.h"
#include "gfx/display.h"
#include "input/input_internal.h"
#include "gfx/geometry.h"
#include "sound/sound.h"
#include "temp_dir.h"
#include <gtest/gtest.h>
#include <SDL_mixer.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

class Display : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        if (!screen)
            init_video(WORK_WIDTH, WORK_HEIGHT);
    }
};

uint16_t work_at(int x, int y) {
    return *(const uint16_t *)((const uint8_t *)work_pixels + y * work_pitch + 2 * x);
}

void set_work(int x, int y, uint16_t v) {
    *(uint16_t *)((uint8_t *)work_pixels + y * work_pitch + 2 * x) = v;
}

uint16_t display_at(int x, int y) {
    return *(const uint16_t *)((const uint8_t *)screen->pixels + y * screen->pitch + 2 * x);
}

void fill_work(uint16_t v) {
    for (int y = 0; y < work_height; ++y)
        for (int x = 0; x < work_width; ++x)
            set_work(x, y, v);
}

// The 5-6-5 split of a pixel value into 8-bit components, the top bits
// repeated into the low ones so that the brightest value gives 255.
void split565(int v, int *r, int *g, int *b) {
    int r5 = (v >> 11) & 31, g6 = (v >> 5) & 63, b5 = v & 31;
    *r = (r5 << 3) | (r5 >> 2);
    *g = (g6 << 2) | (g6 >> 4);
    *b = (b5 << 3) | (b5 >> 2);
}

int pack565(int r, int g, int b) {
    return ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3);
}

} // namespace

TEST_F(Display, SurfacesHaveTheirSizesAndOneFormat) {
    EXPECT_EQ(screen->w, 320);
    EXPECT_EQ(screen->h, 240);
    EXPECT_EQ(screen->format->BitsPerPixel, 16);
    EXPECT_EQ(work_surface->w, 640);
    EXPECT_EQ(work_surface->h, 480);
    EXPECT_EQ(work_width, 640);
    EXPECT_EQ(work_height, 480);
    EXPECT_EQ(work_pitch, work_surface->pitch);
    EXPECT_EQ((void *)work_pixels, work_surface->pixels);
    EXPECT_EQ(work_surface->format->Rmask, screen->format->Rmask);
    EXPECT_EQ(work_surface->format->Gmask, screen->format->Gmask);
    EXPECT_EQ(work_surface->format->Bmask, screen->format->Bmask);
    EXPECT_EQ(queue_head, 0);
    EXPECT_EQ(queue_tail, 0);
    EXPECT_EQ(surface_locked, 0);
}

TEST_F(Display, ColourTablesOverEveryPixelValue) {
    const SDL_PixelFormat *f = work_surface->format;
    ASSERT_EQ(f->Rmask, 0xF800u) << "the check below assumes the 5-6-5 format";
    ASSERT_EQ(f->Gmask, 0x07E0u);
    ASSERT_EQ(f->Bmask, 0x001Fu);
    for (int v = 0; v < 65536; ++v) {
        int r, g, b;
        split565(v, &r, &g, &b);
        ASSERT_EQ(shade_table[v], pack565(3 * r / 4, 3 * g / 4, 3 * b / 4)) << v;
        int light = r > 128 && g > 128 && b > 128
                        ? pack565((r + 255) / 2, (g + 255) / 2, (b + 255) / 2)
                        : v;
        ASSERT_EQ(light_table[v], light) << v;
    }
}

TEST_F(Display, ColourTableEdgeValues) {
    SDL_PixelFormat *f = work_surface->format;
    auto rgb = [f](Uint32 v) {
        Uint8 r, g, b;
        SDL_GetRGB(v, f, &r, &g, &b);
        return (r << 16) | (g << 8) | b;
    };
    Uint32 black = SDL_MapRGB(f, 0, 0, 0);
    EXPECT_EQ(shade_table[black], black);
    EXPECT_EQ(light_table[black], black);

    // In 5-6-5 the components nearest 128 are red and blue 123 and 132, green
    // 125 and 130. One component at or below 128 keeps a colour as it is.
    Uint32 red_low = (15 << 11) | (63 << 5) | 31, green_low = (31 << 11) | (31 << 5) | 31;
    ASSERT_EQ(rgb(red_low), 0x7BFFFF);
    ASSERT_EQ(rgb(green_low), 0xFF7DFF);
    EXPECT_EQ(light_table[red_low], red_low);
    EXPECT_EQ(light_table[green_low], green_low);
    // The darkest light colour is lifted halfway to white.
    Uint32 light = (16 << 11) | (32 << 5) | 16;
    ASSERT_EQ(rgb(light), 0x848284);
    EXPECT_EQ(rgb(light_table[light]), rgb(SDL_MapRGB(f, 193, 192, 193)));
    EXPECT_NE(light_table[light], light);
    // The brightest value stays where it is.
    Uint32 white = SDL_MapRGB(f, 255, 255, 255);
    EXPECT_EQ(light_table[white], white);
    EXPECT_EQ(rgb(white), 0xFFFFFF);
    // Three quarters of the brightest red: 191, kept as 184 in five bits.
    Uint32 red = SDL_MapRGB(f, 255, 0, 0);
    EXPECT_EQ(rgb(shade_table[red]), rgb(SDL_MapRGB(f, 191, 0, 0)));
    EXPECT_EQ(rgb(shade_table[red]) >> 16, 189);
}

TEST_F(Display, PresentSamplesEveryOtherPixelOfEveryOtherRow) {
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x)
            set_work(x, y, (uint16_t)(x * 97 + y * 31 + (x ^ y)));
    memset(screen->pixels, 0xEE, screen->h * screen->pitch);
    present_frame();
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x)
            ASSERT_EQ(display_at(x, y), work_at(2 * x, 2 * y)) << x << "," << y;
}

// Rows are found through the pitches the surfaces report; a display row that
// starts half-way into a 32-bit word is still written correctly.
TEST_F(Display, PresentFollowsReportedPitches) {
    const int work_stride = 1300, display_stride = 642;
    std::vector<uint16_t> work(work_stride / 2 * 480), shown(display_stride / 2 * 240 + 2, 0xEEEE);
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 650; ++x)
            work[y * work_stride / 2 + x] = (uint16_t)(x * 131 + y * 7 + 1);
    SDL_Surface *real_screen = screen;
    uint16_t *real_pixels = work_pixels;
    int real_pitch = work_pitch;
    screen = SDL_CreateRGBSurfaceFrom(shown.data(), 320, 240, 16, display_stride, 0xF800, 0x07E0,
                                      0x001F, 0);
    ASSERT_NE(screen, nullptr);
    work_pixels = work.data();
    work_pitch = work_stride;
    present_frame();
    SDL_FreeSurface(screen);
    screen = real_screen;
    work_pixels = real_pixels;
    work_pitch = real_pitch;

    for (int y = 0; y < 240; ++y) {
        for (int x = 0; x < 320; ++x)
            ASSERT_EQ(shown[y * display_stride / 2 + x], work[2 * y * work_stride / 2 + 2 * x])
                << x << "," << y;
        ASSERT_EQ(shown[y * display_stride / 2 + 320], 0xEEEE) << "row padding untouched";
    }
}

TEST_F(Display, OddRowsAndColumnsNeverReachTheDisplay) {
    fill_work(0);
    for (int y = 0; y < 480; ++y)
        for (int x = 1; x < 640; x += 2)
            set_work(x, y, 0xFFFF);
    present_frame();
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x)
            ASSERT_EQ(display_at(x, y), 0) << x << "," << y;

    fill_work(0);
    for (int y = 1; y < 480; y += 2)
        for (int x = 0; x < 640; ++x)
            set_work(x, y, 0xFFFF);
    set_work(638, 478, 0x1234); // the last sampled pixel
    present_frame();
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x)
            ASSERT_EQ(display_at(x, y), x == 319 && y == 239 ? 0x1234 : 0) << x << "," << y;
}

TEST_F(Display, LockFlagIsClearAfterPresenting) {
    lock_work_surface();
    EXPECT_EQ(surface_locked, 1);
    present_frame();
    EXPECT_EQ(surface_locked, 0);
    lock_work_surface();
    unlock_work_surface();
    EXPECT_EQ(surface_locked, 0);
    EXPECT_EQ(work_surface->locked, 0) << "a software surface is never locked with SDL";
}

// A surface with a pixel offset must be locked: the lock is taken once, however
// often it is asked for, and presenting gives it back.
TEST_F(Display, SurfaceThatNeedsLockingIsLockedOnce) {
    work_surface->offset = 4;
    void *pixels = work_surface->pixels;
    lock_work_surface();
    lock_work_surface();
    EXPECT_EQ(work_surface->locked, 1);
    EXPECT_EQ(surface_locked, 1);
    present_frame();
    EXPECT_EQ(work_surface->locked, 0);
    EXPECT_EQ(surface_locked, 0);
    EXPECT_EQ(work_surface->pixels, pixels);
    lock_work_surface();
    unlock_work_surface();
    unlock_work_surface();
    EXPECT_EQ(work_surface->locked, 0);
    work_surface->offset = 0;
}

// Each death test re-runs this program for its child, the safe style once SDL
// has threads. Where the program cannot be re-run directly (the ARM build
// under user-mode emulation, which sets GTEST_DEATH_TEST_STYLE), the style
// named there is used instead.
static void choose_death_test_style() {
    if (!getenv("GTEST_DEATH_TEST_STYLE"))
        GTEST_FLAG_SET(death_test_style, "threadsafe");
}

TEST(DisplayDeathTest, DriverThatCannotStartEndsWithStatus1) {
    choose_death_test_style();
    EXPECT_EXIT(
        {
            setenv("SDL_VIDEODRIVER", "no-such-driver", 1);
            init_video(WORK_WIDTH, WORK_HEIGHT);
        },
        testing::ExitedWithCode(1), "^Couldn't initialize SDL: [^\n]+\n$");
}

TEST(DisplayDeathTest, NoWorkSurfaceEndsWithStatus5) {
    choose_death_test_style();
    // A work surface that cannot be allocated stands for a display that cannot be set up.
    EXPECT_EXIT(init_video(640, -480), testing::ExitedWithCode(5),
                "Couldn't set display mode: [^\n]+\n$");
}

TEST(DisplayDeathTest, NoAudioDeviceOrJoystickIsNotFatal) {
    choose_death_test_style();
    struct stat st;
    bool has_joystick = stat("/dev/input/js0", &st) == 0 || stat("/dev/js0", &st) == 0;
    const char *expected = has_joystick ? "Couldn't initialize audio: [^\n]+\nstarted\n"
                                        : "Couldn't initialize audio: [^\n]+\n"
                                          "Couldn't open joystick: [^\n]+\nstarted\n";
    EXPECT_EXIT(
        {
            setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
            init_video(WORK_WIDTH, WORK_HEIGHT);
            // Sound calls then return at once, play nothing and open none of
            // the build's effects and music, nor leave anything open.
            int opens = inotify_init1(IN_NONBLOCK);
            bool watched = inotify_add_watch(opens, "data/sound", IN_OPEN) >= 0 &&
                           inotify_add_watch(opens, "data/sound/music", IN_OPEN) >= 0;
            int fd_before = lowest_free_fd();
            play_effect("snd0.wav");
            play_music("bgm0.mid");
            next_background();
            char event[4096];
            bool opened = read(opens, event, sizeof event) > 0;
            fprintf(stderr, "started\n");
            exit(screen && work_surface && channel == -1 && !current_music && watched && !opened &&
                         lowest_free_fd() == fd_before
                     ? 0
                     : 3);
        },
        testing::ExitedWithCode(0), expected);
}
