// The PCX loader: result codes for every refused file, the two accepted
// kinds, run-length edge cases and files that end early.
#include "assets/pcx.h"
#include "frame_setup.h"
#include "gfx/display.h"
#include "pcx_test_files.h"
#include "pcx_write.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

namespace {

// Loads run with a 32-bit 0xRRGGBB work surface so palettes can be compared exactly.
class PcxLoad : public ::testing::Test {
  protected:
    void SetUp() override {
        saved_ = work_surface;
        exact_ = SDL_CreateRGBSurface(SDL_SWSURFACE, 1, 1, 32, 0xFF0000, 0xFF00, 0xFF, 0);
        ASSERT_NE(exact_, nullptr);
        work_surface = exact_;
        std::memset(&image_, 0, sizeof image_);
    }
    void TearDown() override {
        free_image(&image_);
        work_surface = saved_;
        SDL_FreeSurface(exact_);
    }
    int load_bytes(const std::vector<uint8_t> &bytes) {
        std::string path = test_dir() + "/t.pcx";
        EXPECT_EQ(write_file_bytes(path.c_str(), bytes), 0);
        free_image(&image_);
        return load_pcx(path.c_str(), &image_);
    }
    uint8_t px(int x, int y) const {
        return image_.pixels[y * image_.width + x];
    }
    // Loads bytes expecting a refusal; the record must come back all zero.
    void expect_refused(const std::vector<uint8_t> &bytes, int code, const char *what) {
        std::string path = test_dir() + "/bad.pcx";
        ASSERT_EQ(write_file_bytes(path.c_str(), bytes), 0);
        PalettedImage img;
        std::memset(&img, 0xAB, sizeof img);
        EXPECT_EQ(load_pcx(path.c_str(), &img), code) << what;
        PalettedImage zero;
        std::memset(&zero, 0, sizeof zero);
        EXPECT_EQ(std::memcmp(&img, &zero, sizeof img), 0) << what << ": record not cleared";
        free_image(&img); // must do nothing on an empty record
        EXPECT_EQ(img.pixels, nullptr);
    }
    SDL_Surface *saved_ = nullptr;
    SDL_Surface *exact_ = nullptr;
    PalettedImage image_;
};

std::vector<uint8_t> with(std::vector<uint8_t> bytes, const std::vector<uint8_t> &tail) {
    bytes.insert(bytes.end(), tail.begin(), tail.end());
    return bytes;
}

std::vector<uint8_t> palette_block(int seed) {
    std::vector<uint8_t> p(769);
    p[0] = 12;
    for (int i = 1; i < 769; i++)
        p[i] = static_cast<uint8_t>(i * 7 + seed);
    return p;
}

TEST_F(PcxLoad, HeaderFieldsGiveTheirCodes) {
    std::vector<uint8_t> good = with(pcx_header(8, 1, 3, 1, 4), std::vector<uint8_t>(8, 1));
    good = with(good, palette_block(0));
    ASSERT_EQ(load_bytes(good), PCX_OK);

    PalettedImage img;
    EXPECT_EQ(load_pcx((test_dir() + "/missing.pcx").c_str(), &img), PCX_CANNOT_OPEN);
    EXPECT_EQ(img.pixels, nullptr);
    expect_refused({}, PCX_BAD_MANUFACTURER, "empty file");
    auto bad = good;
    bad[0] = 11;
    expect_refused(bad, PCX_BAD_MANUFACTURER, "manufacturer");
    bad = good;
    bad[1] = 3;
    expect_refused(bad, PCX_BAD_VERSION, "version 3");
    bad = good;
    bad[2] = 0;
    expect_refused(bad, PCX_BAD_ENCODING, "encoding 0");
    bad = good;
    bad[3] = 4;
    expect_refused(bad, PCX_BAD_DEPTH, "4 bits per pixel");
    bad = good;
    bad[65] = 3;
    expect_refused(bad, PCX_BAD_PLANES, "8 bits in 3 planes");
}

TEST_F(PcxLoad, HeaderCutShort) {
    std::vector<uint8_t> h8 = pcx_header(8, 1, 3, 1, 4);
    std::vector<uint8_t> h1 = pcx_header(1, 4, 7, 1, 2);
    // One to three bytes fail the test of the first missing field.
    expect_refused({10}, PCX_BAD_VERSION, "1 byte");
    expect_refused({10, 5}, PCX_BAD_ENCODING, "2 bytes");
    expect_refused({10, 5, 1}, PCX_BAD_DEPTH, "3 bytes");
    for (int length : {4, 5, 11, 40, 64, 65, 66, 67, 100, 127}) {
        expect_refused(std::vector<uint8_t>(h8.begin(), h8.begin() + length), PCX_SHORT_HEADER,
                       "8-bit header cut");
        expect_refused(std::vector<uint8_t>(h1.begin(), h1.begin() + length), PCX_SHORT_HEADER,
                       "1-bit header cut");
    }
    // A complete header with no data at all is not short: every row reads as 255.
    ASSERT_EQ(load_bytes(h1), PCX_OK);
    EXPECT_EQ(px(7, 1), 15);
}

TEST_F(PcxLoad, ImpossibleGeometryIsRefused) {
    auto pal = palette_block(1);
    auto h = pcx_header(8, 1, 3, 1, 4);
    h[4] = 5; // Xmin 5 > Xmax 3
    expect_refused(with(h, pal), PCX_EMPTY_SIZE, "width below 1");
    h = pcx_header(8, 1, 3, 1, 4);
    h[6] = 2; // Ymin 2 = Ymax + 1: height 0
    expect_refused(with(h, pal), PCX_EMPTY_SIZE, "height 0");
    expect_refused(with(pcx_header(1, 4, 4799, 0, 600), pal), PCX_LONG_LINE,
                   "4 planes of 600 bytes");
    expect_refused(with(pcx_header(8, 1, 2999, 0, 3000), pal), PCX_LONG_LINE, "8-bit 3000 bytes");
    expect_refused(with(pcx_header(8, 1, 9, 0, 8), pal), PCX_NARROW_LINE, "8-bit line short");
    expect_refused(with(pcx_header(1, 1, 16, 0, 2), pal), PCX_NARROW_PLANE, "plane of 16 px");
    expect_refused(with(pcx_header(8, 1, 65535, 65535, 65535), pal), PCX_TOO_LARGE, "4 Gi pixels");
    expect_refused(with(pcx_header(1, 1, 4095, 4096, 512), pal), PCX_TOO_LARGE, "4096 x 4097");
    // An 8-bit file needs 768 bytes to seek back over for its palette; one of
    // exactly 768 takes the palette from its own header and data.
    auto small = with(pcx_header(8, 1, 0, 0, 2), std::vector<uint8_t>(639, 0x41));
    expect_refused(small, PCX_NO_PALETTE, "767 bytes");
    small.push_back(0x41);
    ASSERT_EQ(load_bytes(small), PCX_OK);
    EXPECT_EQ(image_.palette[0], 0x0A0501u); // manufacturer, version, encoding
    EXPECT_EQ(image_.palette[1], 0x080000u); // bits per pixel, Xmin
    EXPECT_EQ(image_.palette[255], 0x414141u);
    EXPECT_EQ(px(0, 0), 0x41);
    // A scan line of exactly 2048 bytes fits.
    ASSERT_EQ(load_bytes(pcx_header(1, 8, 2047, 0, 256)), PCX_OK);
    EXPECT_EQ(image_.width, 2048);
}

TEST_F(PcxLoad, EightBitRowsTakeWidthBytesAndPaletteFromTheEnd) {
    // Width 3 in lines of 6 bytes: the last three bytes of each line are dropped.
    std::vector<uint8_t> data = {1, 2, 3, 200 - 9, 100, 101, 4, 5, 6, 102, 103, 104};
    auto pal = palette_block(5);
    pal[0] = 99; // the marker byte is not tested
    ASSERT_EQ(load_bytes(with(with(pcx_header(8, 1, 2, 1, 6), data), pal)), PCX_OK);
    ASSERT_EQ(image_.width, 3);
    ASSERT_EQ(image_.height, 2);
    const uint8_t want[6] = {1, 2, 3, 4, 5, 6};
    EXPECT_EQ(std::memcmp(image_.pixels, want, 6), 0);
    for (int i = 0; i < 256; i++) {
        uint32_t rgb = (pal[1 + 3 * i] << 16) | (pal[2 + 3 * i] << 8) | pal[3 + 3 * i];
        ASSERT_EQ(image_.palette[i], rgb) << i;
    }
}

TEST_F(PcxLoad, RunsStopAtTheLineEndAndCode192WritesNothing) {
    // Line 0: a run of 6 sevens cut at 4; line 1 starts with the next byte.
    // Line 2: code 192 swallows 0x55; then four literals.
    // Line 3: a run of 200s (value >= 192 only as a run) of 2, then 0xC1 0xC8 = one 200.
    std::vector<uint8_t> data = {0xC6, 7, 1, 2,    3,   4,    0xC0, 0x55, 9,
                                 8,    7, 6, 0xC2, 200, 0xC1, 200,  0xC1, 0};
    ASSERT_EQ(load_bytes(with(with(pcx_header(8, 1, 3, 3, 4), data), palette_block(0))), PCX_OK);
    const uint8_t want[16] = {7, 7, 7, 7, 1, 2, 3, 4, 9, 8, 7, 6, 200, 200, 200, 0};
    EXPECT_EQ(std::memcmp(image_.pixels, want, 16), 0);
}

TEST_F(PcxLoad, PlanarPicturesBuildIndicesFromPlanes) {
    uint8_t map[48];
    for (int i = 0; i < 48; i++)
        map[i] = static_cast<uint8_t>(255 - i * 3);
    // 16 pixels in 4 planes of 2 bytes: pixel x has index x.
    std::vector<uint8_t> line;
    for (int p = 0; p < 4; p++) {
        uint16_t bits = 0;
        for (int x = 0; x < 16; x++)
            if (x & (1 << p))
                bits |= static_cast<uint16_t>(0x8000 >> x);
        line.push_back(static_cast<uint8_t>(bits >> 8));
        line.push_back(static_cast<uint8_t>(bits & 255));
    }
    std::vector<uint8_t> data;
    pcx_encode_line(line.data(), 8, data);
    ASSERT_EQ(load_bytes(with(pcx_header(1, 4, 15, 0, 2, map), data)), PCX_OK);
    for (int x = 0; x < 16; x++)
        EXPECT_EQ(px(x, 0), x);
    for (int i = 0; i < 16; i++)
        EXPECT_EQ(image_.palette[i],
                  static_cast<uint32_t>(map[3 * i] << 16 | map[3 * i + 1] << 8 | map[3 * i + 2]));
    for (int i = 16; i < 256; i++)
        ASSERT_EQ(image_.palette[i], 0u);

    // One plane, 10 pixels wide in 2 bytes: the most significant bit is leftmost.
    std::vector<uint8_t> one = {0xA5, 0xC0};
    ASSERT_EQ(load_bytes(with(pcx_header(1, 1, 9, 0, 2, map), one)), PCX_OK);
    const int want[10] = {1, 0, 1, 0, 0, 1, 0, 1, 1, 1};
    for (int x = 0; x < 10; x++)
        EXPECT_EQ(px(x, 0), want[x]) << x;

    // Planes past the eighth contribute nothing to the 8-bit index.
    std::vector<uint8_t> nine(18, 0);
    nine[16] = nine[17] = 0xFF; // plane 8 all set
    nine[0] = 0x80;             // plane 0: first pixel
    nine[14] = 0x80;            // plane 7: first pixel
    std::vector<uint8_t> enc;
    pcx_encode_line(nine.data(), 18, enc);
    ASSERT_EQ(load_bytes(with(pcx_header(1, 9, 15, 0, 2), enc)), PCX_OK);
    EXPECT_EQ(px(0, 0), 0x81);
    EXPECT_EQ(px(1, 0), 0);
}

TEST_F(PcxLoad, FileEndingInsideTheDataStillLoads) {
    // 64 x 40 literal bytes (all below 192), cut 10 bytes into row 20.
    std::mt19937 rng(5);
    std::vector<uint8_t> data(64 * 40);
    for (auto &b : data)
        b = static_cast<uint8_t>(rng() % 192);
    auto file = with(pcx_header(8, 1, 63, 39, 64), data);
    file.resize(128 + 64 * 20 + 10);
    ASSERT_EQ(load_bytes(file), PCX_OK);
    for (int y = 0; y < 40; y++)
        for (int x = 0; x < 64; x++) {
            int i = y * 64 + x;
            ASSERT_EQ(px(x, y), i < 64 * 20 + 10 ? data[i] : 255) << x << "," << y;
        }
    // The palette is the last 768 bytes the file holds.
    size_t base = file.size() - 768;
    for (int i = 0; i < 256; i++)
        ASSERT_EQ(image_.palette[i],
                  static_cast<uint32_t>(file[base + 3 * i] << 16 | file[base + 3 * i + 1] << 8 |
                                        file[base + 3 * i + 2]));

    // A 1-bit file cut after its first line: every plane bit of the rest is set.
    std::vector<uint8_t> first = {0xC8, 0};
    ASSERT_EQ(load_bytes(with(pcx_header(1, 4, 9, 2, 2), first)), PCX_OK);
    EXPECT_EQ(px(0, 0), 0);
    EXPECT_EQ(px(9, 0), 0);
    EXPECT_EQ(px(0, 1), 15);
    EXPECT_EQ(px(9, 2), 15);
}

TEST_F(PcxLoad, CutOffFileClaimingALargePictureLoadsQuickly) {
    // 4096 x 4096 in 4 planes with no data: every missing byte reads as 255
    // without going back to the file for each one.
    Uint32 start = SDL_GetTicks();
    ASSERT_EQ(load_bytes(pcx_header(1, 4, 4095, 4095, 512)), PCX_OK);
    EXPECT_LT(SDL_GetTicks() - start, 3000u);
    EXPECT_EQ(px(4095, 4095), 15);
    EXPECT_EQ(px(0, 0), 15);
}

TEST_F(PcxLoad, LargePictureSpanningManyReadBlocks) {
    const int w = 640, h = 480;
    std::mt19937 rng(9);
    std::vector<uint8_t> pixels(w * h);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++)
            pixels[y * w + x] = static_cast<uint8_t>((x / 5 + y / 3) % 7 == 0 ? rng() : y);
    uint8_t pal[768];
    for (int i = 0; i < 768; i++)
        pal[i] = static_cast<uint8_t>(rng());
    ASSERT_EQ(load_bytes(encode_pcx8(w, h, pixels.data(), pal)), PCX_OK);
    ASSERT_EQ(image_.width, w);
    ASSERT_EQ(image_.height, h);
    EXPECT_EQ(std::memcmp(image_.pixels, pixels.data(), w * h), 0);
    for (int i = 0; i < 256; i++)
        ASSERT_EQ(image_.palette[i],
                  static_cast<uint32_t>(pal[3 * i] << 16 | pal[3 * i + 1] << 8 | pal[3 * i + 2]));
}

TEST(PcxLoadDisplay, PaletteHoldsTheDisplaysPixelValues) {
    start_offscreen_display();
    uint8_t pal[768];
    for (int i = 0; i < 768; i++)
        pal[i] = static_cast<uint8_t>(i * 13);
    uint8_t pixels[6] = {0, 1, 2, 253, 254, 255};
    std::string path = test_dir() + "/display.pcx";
    ASSERT_EQ(write_pcx8(path.c_str(), 3, 2, pixels, pal), 0);
    PalettedImage img;
    ASSERT_EQ(load_pcx(path.c_str(), &img), PCX_OK);
    for (int i = 0; i < 256; i++)
        ASSERT_EQ(img.palette[i],
                  SDL_MapRGB(work_surface->format, pal[3 * i], pal[3 * i + 1], pal[3 * i + 2]));
    free_image(&img);
    EXPECT_EQ(img.pixels, nullptr);
    EXPECT_EQ(img.width, 3); // free_image leaves the size alone
}

} // namespace
