// The PNG writer's output decodes (through netpbm) to the colours written.
#include "png_write.h"
#include "pnm_read.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <unistd.h>

namespace {

std::string temp_path(const char *name) {
    return temp_file("png", name);
}

TEST(PngWrite, RgbBufferRoundTrip) {
    const int w = 77, h = 31;
    std::vector<uint8_t> rgb(w * h * 3);
    std::mt19937 rng(3);
    for (auto &b : rgb)
        b = static_cast<uint8_t>(rng());
    std::string path = temp_path("rgb.png");
    ASSERT_EQ(write_png_rgb(path.c_str(), w, h, rgb.data()), 0);
    RgbPicture pic;
    ASSERT_TRUE(read_pnm_from("pngtopnm " + shell_quote(path) + " 2>/dev/null", &pic));
    EXPECT_EQ(pic.width, w);
    EXPECT_EQ(pic.height, h);
    EXPECT_EQ(pic.rgb, rgb);
}

TEST(PngWrite, SixteenBitSurfaceUsesItsFormat) {
    SDL_Surface *s = SDL_CreateRGBSurface(SDL_SWSURFACE, 5, 3, 16, 0xF800, 0x07E0, 0x001F, 0);
    ASSERT_NE(s, nullptr);
    std::vector<uint8_t> want;
    for (int y = 0; y < 3; y++)
        for (int x = 0; x < 5; x++) {
            Uint16 v = static_cast<Uint16>(0x1234 * (x + 1) + 0x0F0F * y);
            reinterpret_cast<Uint16 *>(static_cast<uint8_t *>(s->pixels) + y * s->pitch)[x] = v;
            Uint8 r, g, b;
            SDL_GetRGB(v, s->format, &r, &g, &b);
            want.insert(want.end(), {r, g, b});
        }
    std::string path = temp_path("s16.png");
    ASSERT_EQ(write_png_surface(path.c_str(), s), 0);
    SDL_FreeSurface(s);
    RgbPicture pic;
    ASSERT_TRUE(read_pnm_from("pngtopnm " + shell_quote(path) + " 2>/dev/null", &pic));
    EXPECT_EQ(pic.rgb, want);
}

TEST(PngWrite, RefusesEmptyPictureAndBadPath) {
    uint8_t px[3] = {1, 2, 3};
    EXPECT_NE(write_png_rgb(temp_path("empty.png").c_str(), 0, 1, px), 0);
    EXPECT_NE(write_png_rgb("/nonexistent-dir/x.png", 1, 1, px), 0);
}

} // namespace
