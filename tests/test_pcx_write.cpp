// The PCX writers produce files that netpbm's reader decodes to the exact
// colours written, for odd widths, long runs, high byte values and planes.
#include "pcx_write.h"
#include "pnm_read.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#include <unistd.h>

namespace {

std::string temp_path(const char *name) {
    return temp_file("pcxw", name);
}

// Decodes with pcxtoppm and compares to palette[pixels].
void expect_decodes_to(const std::string &path, int w, int h, const uint8_t *pixels,
                       const uint8_t *palette) {
    RgbPicture pic;
    ASSERT_TRUE(read_pnm_from("pcxtoppm " + shell_quote(path) + " 2>/dev/null", &pic));
    ASSERT_EQ(pic.width, w);
    ASSERT_EQ(pic.height, h);
    for (int i = 0; i < w * h; i++)
        for (int c = 0; c < 3; c++)
            ASSERT_EQ(pic.rgb[i * 3 + c], palette[pixels[i] * 3 + c]) << "pixel " << i;
}

TEST(PcxWrite, EightBitOddWidthRunsAndHighBytes) {
    std::mt19937 rng(7);
    uint8_t palette[768];
    for (int i = 0; i < 768; i++)
        palette[i] = static_cast<uint8_t>(rng());
    const int w = 131, h = 9;
    std::vector<uint8_t> pixels(w * h);
    for (int i = 0; i < w * h; i++)
        pixels[i] = static_cast<uint8_t>(rng());
    // A run longer than 63 of a value that needs a run code, and a row of one value.
    for (int x = 0; x < 100; x++)
        pixels[2 * w + x] = 200;
    for (int x = 0; x < w; x++)
        pixels[5 * w + x] = 7;
    std::string path = temp_path("odd8.pcx");
    ASSERT_EQ(write_pcx8(path.c_str(), w, h, pixels.data(), palette), 0);
    expect_decodes_to(path, w, h, pixels.data(), palette);

    std::vector<uint8_t> bytes = encode_pcx8(w, h, pixels.data(), palette);
    EXPECT_EQ(bytes[66] | (bytes[67] << 8), 132); // BytesPerLine padded to even
    EXPECT_EQ(bytes[bytes.size() - 769], 12);
}

TEST(PcxWrite, PlanarOneAndFourPlanes) {
    uint8_t palette[48];
    for (int i = 0; i < 48; i++)
        palette[i] = static_cast<uint8_t>(i * 5 + 3);
    std::mt19937 rng(11);
    const int w = 23, h = 6;
    std::vector<uint8_t> pixels(w * h);
    for (int planes : {1, 4}) {
        for (auto &p : pixels)
            p = static_cast<uint8_t>(rng() % (1u << planes));
        std::string path = temp_path(planes == 1 ? "p1.pcx" : "p4.pcx");
        ASSERT_EQ(write_pcx_planar(path.c_str(), w, h, planes, pixels.data(), palette), 0);
        std::vector<uint8_t> bytes = encode_pcx_planar(w, h, planes, pixels.data(), palette);
        EXPECT_EQ(bytes[3], 1);
        EXPECT_EQ(bytes[65], planes);
        expect_decodes_to(path, w, h, pixels.data(), palette);
    }
}

TEST(PcxWrite, LineEncodingSplitsLongRunsAndEscapesHighBytes) {
    std::vector<uint8_t> line(130, 5);
    line[129] = 250;
    std::vector<uint8_t> out;
    pcx_encode_line(line.data(), static_cast<int>(line.size()), out);
    std::vector<uint8_t> want = {192 | 63, 5, 192 | 63, 5, 192 | 3, 5, 193, 250};
    EXPECT_EQ(out, want);
}

TEST(PcxWrite, UnwritablePathFails) {
    uint8_t palette[768] = {};
    uint8_t px = 0;
    EXPECT_NE(write_pcx8("/nonexistent-dir/x.pcx", 1, 1, &px, palette), 0);
}

} // namespace
