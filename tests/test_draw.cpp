// Drawing primitives: the shared clipping rule at every edge, colour
// mapping, paletted copies, table remaps, the shadow mask bit layout,
// screen slots and text.
#include "assets/pcx.h"
#include "frame_setup.h"
#include "gfx/display.h"
#include "gfx/draw.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

const uint16_t GROUND = 0x1234; // pixel value the surface starts each check with

std::vector<uint16_t> snapshot() {
    std::vector<uint16_t> s(640 * 480);
    for (int y = 0; y < 480; y++)
        for (int x = 0; x < 640; x++)
            s[y * 640 + x] = work_pixel(x, y);
    return s;
}

void paint_ground() {
    for (int y = 0; y < 480; y++)
        for (int x = 0; x < 640; x++)
            const_cast<uint16_t *>(reinterpret_cast<const uint16_t *>(
                reinterpret_cast<const uint8_t *>(work_pixels) + y * work_pitch))[x] = GROUND;
}

// Checks that exactly the pixels of columns x0..x1 and rows y0..y1 changed
// (an empty span when x1 < x0).
void expect_changed_exactly(const std::vector<uint16_t> &before, int x0, int y0, int x1, int y1,
                            const std::string &what) {
    std::vector<uint16_t> after = snapshot();
    int wrong = 0;
    for (int y = 0; y < 480; y++)
        for (int x = 0; x < 640; x++) {
            bool inside = x >= x0 && x <= x1 && y >= y0 && y <= y1;
            bool changed = after[y * 640 + x] != before[y * 640 + x];
            if (inside != changed && wrong++ < 3)
                ADD_FAILURE() << what << ": pixel " << x << "," << y
                              << (inside ? " unchanged" : " changed");
        }
}

class Draw : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        start_offscreen_display();
    }
    void SetUp() override {
        paint_ground();
        mask_clear_all();
    }
};

TEST_F(Draw, RectanglesClipAtEveryEdge) {
    struct Case {
        int x, y, w, h;
        int x0, y0, x1, y1; // expected covered span (x1 < x0: nothing)
    };
    const Case cases[] = {
        {-10, -10, 20, 20, 0, 0, 9, 9},
        {630, 470, 20, 20, 630, 470, 639, 479},
        {-5, 100, 700, 1, 0, 100, 639, 100},
        {5, -3, 1, 1000, 5, 0, 5, 479},
        {640, 0, 10, 10, 0, 0, -1, -1},
        {0, 480, 10, 10, 0, 0, -1, -1},
        {-10, 0, 10, 10, 0, 0, -1, -1}, // x + w = 0
        {0, -10, 10, 10, 0, 0, -1, -1},
        {10, 10, 0, 5, 0, 0, -1, -1},
        {10, 10, 5, -5, 0, 0, -1, -1},
        {INT_MAX, 0, 10, 10, 0, 0, -1, -1},
        {INT_MIN, 0, INT_MAX, 10, 0, 0, -1, -1},
        {-5, 0, INT_MAX, 1, 0, 0, 639, 0},
        {0, 0, INT_MAX, INT_MAX, 0, 0, 639, 479},
    };
    uint16_t table[65536];
    for (int i = 0; i < 65536; i++)
        table[i] = static_cast<uint16_t>(i ^ 0x0F0F);
    PalettedImage big;
    std::memset(&big, 0, sizeof big);
    big.width = 700;
    big.height = 500;
    std::vector<uint8_t> pixels(700 * 500, 1);
    big.pixels = pixels.data();
    big.palette[1] = GROUND ^ 0xFFFF;
    ASSERT_NE(shade_table[GROUND], GROUND);
    using Op = std::function<void(const Case &)>;
    const std::pair<const char *, Op> ops[] = {
        {"fill_rect", [](const Case &c) { fill_rect(c.x, c.y, c.w, c.h, 255, 0, 0); }},
        {"clear_rect", [](const Case &c) { clear_rect(c.x, c.y, c.w, c.h); }},
        {"remap_rect", [&](const Case &c) { remap_rect(c.x, c.y, c.w, c.h, table); }},
        {"fill_rect_unmask", [](const Case &c) { fill_rect_unmask(c.x, c.y, c.w, c.h, 0x00FF00); }},
        {"blit_paletted",
         [&](const Case &c) {
             // Keep the source inside the picture whatever the destination clip does.
             blit_paletted(c.x, c.y, &big, 0, 0, c.w, c.h);
         }},
        {"shade_rect", [](const Case &c) { shade_rect(c.x, c.y, c.w, c.h); }},
        {"mask_rect",
         [](const Case &c) {
             // Made visible through the shading pass.
             mask_clear_all();
             mask_rect(c.x, c.y, c.w, c.h, 1);
             apply_shadow_mask(shadow_mask);
         }},
    };
    for (const auto &op : ops)
        for (const Case &c : cases) {
            // Keep blit's source inside its 700x500 picture.
            if (op.first == std::string("blit_paletted") && (c.w > 700 || c.h > 500))
                continue;
            paint_ground();
            std::vector<uint16_t> before = snapshot();
            op.second(c);
            expect_changed_exactly(before, c.x0, c.y0, c.x1, c.y1,
                                   std::string(op.first) + "(" + std::to_string(c.x) + "," +
                                       std::to_string(c.y) + "," + std::to_string(c.w) + "," +
                                       std::to_string(c.h) + ")");
        }
}

TEST_F(Draw, ColoursUseOnlyTheLowEightBitsOfEachComponent) {
    EXPECT_EQ(map_rgb(10, 20, 30), SDL_MapRGB(work_surface->format, 10, 20, 30));
    fill_rect(0, 0, 1, 1, 256 + 10, 512 + 20, -256 + 30);
    EXPECT_EQ(work_pixel(0, 0), static_cast<uint16_t>(map_rgb(10, 20, 30)));
    put_pixel(5, 5, 255, 255, 255);
    EXPECT_EQ(work_pixel(5, 5), static_cast<uint16_t>(map_rgb(255, 255, 255)));
    fill_rect_unmask(1, 0, 1, 1, 0xFF0A141E);
    EXPECT_EQ(work_pixel(1, 0), static_cast<uint16_t>(map_rgb(10, 20, 30)));
}

TEST_F(Draw, PutPixelAndMaskPutIgnorePointsOffTheSurface) {
    std::vector<uint16_t> before = snapshot();
    for (auto p : {std::pair<int, int>{-1, 0}, {640, 0}, {0, -1}, {0, 480}, {INT_MIN, INT_MAX}}) {
        put_pixel(p.first, p.second, 1, 2, 3);
        mask_put(p.first, p.second, 1);
    }
    expect_changed_exactly(before, 0, 0, -1, -1, "put_pixel off the surface");
    for (int i = 0; i < shadow_mask_size(); i++)
        ASSERT_EQ(shadow_mask[i], 0) << i;
    put_pixel(639, 479, 1, 2, 3);
    expect_changed_exactly(before, 639, 479, 639, 479, "put_pixel in the corner");
}

TEST_F(Draw, BlitShiftsTheSourceWithTheDestinationClip) {
    PalettedImage img;
    std::memset(&img, 0, sizeof img);
    img.width = 50;
    img.height = 60;
    std::vector<uint8_t> pixels(50 * 60);
    for (int y = 0; y < 60; y++)
        for (int x = 0; x < 50; x++)
            pixels[y * 50 + x] = static_cast<uint8_t>(x + 4 * y);
    img.pixels = pixels.data();
    for (int i = 0; i < 256; i++)
        img.palette[i] = 0xABC00000u | static_cast<uint32_t>(i * 3); // low 16 bits drawn

    std::vector<uint16_t> before = snapshot();
    blit_paletted(-5, 0, &img, 0, 0, 40, 46);
    expect_changed_exactly(before, 0, 0, 34, 45, "blit at x -5");
    for (int y = 0; y < 46; y++)
        for (int x = 0; x < 35; x++)
            ASSERT_EQ(work_pixel(x, y), static_cast<uint16_t>((x + 5 + 4 * y) * 3))
                << x << "," << y;

    paint_ground();
    before = snapshot();
    blit_paletted(620, -3, &img, 2, 1, 40, 46);
    expect_changed_exactly(before, 620, 0, 639, 42, "blit at x 620, y -3");
    EXPECT_EQ(work_pixel(620, 0), static_cast<uint16_t>((2 + 4 * 4) * 3));
    EXPECT_EQ(work_pixel(639, 42), static_cast<uint16_t>((21 + 4 * 46) * 3));

    // Index 0 is drawn like any other: there is no transparent index.
    paint_ground();
    img.palette[0] = 0;
    blit_paletted(100, 100, &img, 0, 0, 1, 1);
    EXPECT_EQ(work_pixel(100, 100), 0);

    // Nothing for a corner beyond the right or bottom edge, or an empty size.
    paint_ground();
    before = snapshot();
    blit_paletted(640, 0, &img, 0, 0, 40, 46);
    blit_paletted(0, 480, &img, 0, 0, 40, 46);
    blit_paletted(-40, 0, &img, 0, 0, 40, 46);
    blit_paletted(0, 0, &img, 0, 0, 0, 46);
    blit_paletted(0, 0, &img, 0, 0, 40, -1);
    expect_changed_exactly(before, 0, 0, -1, -1, "blit that draws nothing");
}

TEST_F(Draw, BlitNeverReadsOutsideThePicture) {
    // A picture smaller than the region asked for: only what it holds is drawn.
    PalettedImage img;
    std::memset(&img, 0, sizeof img);
    img.width = 10;
    img.height = 7;
    std::vector<uint8_t> pixels(70, 1);
    img.pixels = pixels.data();
    img.palette[1] = 0x7777;
    std::vector<uint16_t> before = snapshot();
    blit_paletted(100, 200, &img, 4, 3, 40, 46);
    expect_changed_exactly(before, 100, 200, 105, 203, "region past the right and bottom");
    paint_ground();
    blit_paletted(100, 200, &img, -3, -2, 5, 5);
    expect_changed_exactly(before, 103, 202, 104, 204, "region before the top left");
    paint_ground();
    blit_paletted(0, 0, &img, 10, 0, 5, 5);
    blit_paletted(0, 0, &img, 200, 300, 40, 46);
    PalettedImage empty;
    std::memset(&empty, 0, sizeof empty);
    blit_paletted(0, 0, &empty, 0, 0, 40, 46);
    blit_paletted(0, 0, nullptr, 0, 0, 40, 46);
    expect_changed_exactly(before, 0, 0, -1, -1, "region wholly outside the picture");
}

TEST_F(Draw, RemapsReadEachPixelOnce) {
    static uint16_t plus_one[65536];
    for (int i = 0; i < 65536; i++)
        plus_one[i] = static_cast<uint16_t>(i + 1);
    remap_rect(10, 10, 30, 20, plus_one);
    EXPECT_EQ(work_pixel(10, 10), GROUND + 1);
    EXPECT_EQ(work_pixel(39, 29), GROUND + 1);
    EXPECT_EQ(work_pixel(40, 29), GROUND);
    shade_rect(0, 0, 1, 1);
    EXPECT_EQ(work_pixel(0, 0), shade_table[GROUND]);
    light_rect(1, 0, 1, 1);
    EXPECT_EQ(work_pixel(1, 0), light_table[GROUND]);
    remap_rect(0, 0, 640, 480, nullptr); // no table: nothing happens
    EXPECT_EQ(work_pixel(2, 0), GROUND);
}

TEST_F(Draw, MaskBitLayout) {
    const int S = 80;
    EXPECT_EQ(shadow_mask_size(), 38820);
    mask_put(9, 1, 1);
    for (int i = 0; i < shadow_mask_size(); i++)
        ASSERT_EQ(shadow_mask[i], i == S + 1 ? 0x02 : 0) << i;
    uint16_t dark = shade_table[GROUND];
    ASSERT_NE(dark, GROUND);
    std::vector<uint16_t> before = snapshot();
    apply_shadow_mask(shadow_mask);
    expect_changed_exactly(before, 9, 1, 9, 1, "one mask bit");
    EXPECT_EQ(work_pixel(9, 1), dark);
    mask_put(9, 1, 0);
    EXPECT_EQ(shadow_mask[S + 1], 0);

    // A span across byte boundaries: columns 3..12 of row 2.
    mask_rect(3, 2, 10, 1, 1);
    EXPECT_EQ(shadow_mask[2 * S], 0xF8);
    EXPECT_EQ(shadow_mask[2 * S + 1], 0x1F);
    EXPECT_EQ(shadow_mask[2 * S + 2], 0);
    mask_rect(5, 2, 2, 1, 0);
    EXPECT_EQ(shadow_mask[2 * S], 0x98);
    // Clipped at the right edge: the last byte of the row only.
    mask_rect(636, 479, 100, 100, 1);
    EXPECT_EQ(shadow_mask[479 * S + 79], 0xF0);

    std::memset(shadow_mask, 0xFF, shadow_mask_size());
    mask_clear_all();
    for (int i = 0; i < shadow_mask_size(); i++)
        ASSERT_EQ(shadow_mask[i], 0) << i;
}

TEST_F(Draw, ShadowMaskDarkensExactlyTheMarkedPixels) {
    std::mt19937 rng(21);
    std::vector<uint8_t> mask(38820);
    for (auto &b : mask)
        b = static_cast<uint8_t>(rng() % 3 == 0 ? rng() : 0);
    for (int y = 0; y < 480; y++)
        for (int x = 0; x < 640; x++)
            put_pixel(x, y, x, y, x ^ y);
    std::vector<uint16_t> before = snapshot();
    apply_shadow_mask(mask.data());
    std::vector<uint16_t> after = snapshot();
    for (int y = 0; y < 480; y++)
        for (int x = 0; x < 640; x++) {
            bool set = (mask[y * 80 + x / 8] >> (x % 8)) & 1;
            uint16_t p = before[y * 640 + x];
            ASSERT_EQ(after[y * 640 + x], set ? shade_table[p] : p) << x << "," << y;
        }
}

TEST_F(Draw, FillUnmaskClearsOnlyItsOwnBits) {
    mask_rect(0, 0, 640, 480, 1);
    fill_rect_unmask(30, 40, 17, 9, 0x102030);
    for (int y = 0; y < 480; y++)
        for (int x = 0; x < 640; x++) {
            bool inside = x >= 30 && x < 47 && y >= 40 && y < 49;
            ASSERT_EQ(mask_bit(x, y), !inside) << x << "," << y;
        }
    EXPECT_EQ(work_pixel(46, 48), static_cast<uint16_t>(map_rgb(0x10, 0x20, 0x30)));
}

TEST_F(Draw, ScreenSlots) {
    save_screen(8);
    save_screen(-1);
    save_screen(INT_MIN);
    for (int i = 0; i < 8; i++)
        EXPECT_EQ(screen_slots[i], nullptr) << i;
    fill_rect(0, 0, 640, 480, 1, 2, 3);
    std::vector<uint16_t> before = snapshot();
    restore_screen(3); // never saved
    restore_screen(9);
    restore_screen(-1);
    expect_changed_exactly(before, 0, 0, -1, -1, "restore of an empty slot");

    for (int y = 0; y < 480; y++)
        for (int x = 0; x < 640; x++)
            put_pixel(x, y, x * 7, y * 3, x + y);
    before = snapshot();
    save_screen(0);
    ASSERT_NE(screen_slots[0], nullptr);
    uint16_t *storage = screen_slots[0];
    // Rows are packed 640 pixels apart whatever the surface's pitch.
    EXPECT_EQ(storage[479 * 640 + 639], before[479 * 640 + 639]);
    fill_rect(100, 100, 300, 200, 9, 9, 9);
    clear_rect(0, 0, 20, 20);
    restore_screen(0);
    EXPECT_EQ(snapshot(), before);
    save_screen(0); // later saves reuse the slot's storage
    EXPECT_EQ(screen_slots[0], storage);
}

TEST_F(Draw, TextIsDrawnAtItsCornerAndNeverOverruns) {
    TTF_Init();
    TTF_Font *f = TTF_OpenFont("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", 24);
    ASSERT_NE(f, nullptr);
    clear_rect(0, 0, 640, 480);
    std::vector<uint16_t> before = snapshot();
    draw_text(f, work_surface, 200, 300, SDL_Color{255, 255, 255, 0}, "%s %d", "Tile", 42);
    std::vector<uint16_t> after = snapshot();
    int changed = 0, min_x = 640, min_y = 480;
    for (int i = 0; i < 640 * 480; i++)
        if (after[i] != before[i]) {
            changed++;
            min_x = std::min(min_x, i % 640);
            min_y = std::min(min_y, i / 640);
        }
    EXPECT_GT(changed, 50);
    EXPECT_GE(min_x, 200);
    EXPECT_GE(min_y, 300);
    EXPECT_LT(min_x, 215);

    // A text far beyond the buffer is cut, not overrun; off-surface text and
    // a missing font draw nothing.
    std::string long_text(5000, 'W');
    draw_text(f, work_surface, 0, 0, SDL_Color{1, 2, 3, 0}, "%s", long_text.c_str());
    clear_rect(0, 0, 640, 480);
    before = snapshot();
    draw_text(nullptr, work_surface, 10, 10, SDL_Color{255, 255, 255, 0}, "x");
    draw_text(f, work_surface, 700, 10, SDL_Color{255, 255, 255, 0}, "x");
    draw_text(f, work_surface, 100000, 10, SDL_Color{255, 255, 255, 0}, "x");
    draw_text(f, work_surface, 10, 10, SDL_Color{255, 255, 255, 0}, "%s", "");
    expect_changed_exactly(before, 0, 0, -1, -1, "text that cannot show");
    TTF_CloseFont(f);
}

} // namespace

// Rectangles, banded shapes and the shading pass under a narrowed drawing
// clip, against a plain bit-per-pixel model; once with the mask on a word
// boundary (walked by words) and once one byte off it (walked by bytes).
TEST_F(Draw, MaskOperationsUnderAClipMatchAPlainModelByWordsAndByBytes) {
    const int S = 80, SIZE = 38820;
    std::vector<uint8_t> storage(SIZE + 8);
    uint8_t *saved_mask = shadow_mask;
    for (int offset : {0, 1}) {
        std::mt19937 rng(7 + offset);
        uint8_t *mask =
            storage.data() + ((8 - reinterpret_cast<uintptr_t>(storage.data()) % 8) % 8) + offset;
        std::memset(mask, 0, SIZE);
        shadow_mask = mask;
        std::vector<bool> want(640 * 480, false);
        const int cx = 37, cy = 21, cw = 515, ch = 402; // the clip: x 37..551, y 21..422
        set_draw_clip(cx, cy, cw, ch);
        auto model = [&](int x, int y, int w, int h, bool set) {
            for (int r = y; r < y + h; r++)
                for (int c = x; c < x + w; c++)
                    if (c >= cx && c < cx + cw && r >= cy && r < cy + ch)
                        want[r * 640 + c] = set;
        };
        for (int i = 0; i < 300; i++) {
            int x = static_cast<int>(rng() % 720) - 40, y = static_cast<int>(rng() % 560) - 40;
            int w = static_cast<int>(rng() % 90), h = static_cast<int>(rng() % 60);
            bool set = rng() % 3 != 0;
            if (i % 2) {
                mask_rect(x, y, w, h, set);
                model(x, y, w, h, set);
            } else {
                MaskBand bands[3] = {{0, 2, 0, static_cast<int16_t>(w)},
                                     {2, static_cast<int16_t>(h), 5, 7},
                                     {-3, 1, -9, static_cast<int16_t>(w / 2)}};
                mask_bands(x, y, bands, 3, set);
                for (const MaskBand &b : bands)
                    model(x + b.x0, y + b.y, b.x1 - b.x0, b.h, set);
            }
        }
        for (int y = 0; y < 480; y++)
            for (int x = 0; x < 640; x++)
                ASSERT_EQ((mask[y * S + x / 8] >> (x % 8)) & 1, want[y * 640 + x] ? 1 : 0)
                    << "offset " << offset << " at " << x << "," << y;
        // Bits outside the clip are set by hand; the shading pass still
        // darkens only inside it.
        for (int y = 0; y < 480; y += 7)
            mask[y * S] |= 0x01;
        std::vector<uint16_t> before = snapshot();
        apply_shadow_mask(mask);
        set_draw_clip(0, 0, 640, 480);
        std::vector<uint16_t> after = snapshot();
        for (int y = 0; y < 480; y++)
            for (int x = 0; x < 640; x++) {
                uint16_t p = before[y * 640 + x];
                bool dark = want[y * 640 + x];
                ASSERT_EQ(after[y * 640 + x], dark ? shade_table[p] : p)
                    << "offset " << offset << " at " << x << "," << y;
            }
        paint_ground();
    }
    shadow_mask = saved_mask;
}
