// Files that end long before the picture they declare: the loader must fill
// the rest quickly, without asking the system for every missing byte, and
// must still find an 8-bit palette at the end of such a file.
#include "assets/pcx.h"
#include "frame_setup.h"
#include "gfx/display.h"
#include "pcx_test_files.h"
#include "pcx_write.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

namespace {

// Read calls this process has made so far, or -1 where the kernel does not
// count them.
long read_calls() {
    FILE *f = fopen("/proc/self/io", "r");
    if (!f)
        return -1;
    char line[128];
    long count = -1;
    while (fgets(line, sizeof line, f))
        if (sscanf(line, "syscr: %ld", &count) == 1)
            break;
    fclose(f);
    return count;
}

class PcxShortFile : public ::testing::Test {
  protected:
    void SetUp() override {
        start_offscreen_display();
        std::memset(&image_, 0, sizeof image_);
    }
    void TearDown() override {
        free_image(&image_);
    }
    int load(const std::vector<uint8_t> &bytes) {
        std::string path = test_dir() + "/short.pcx";
        EXPECT_EQ(write_file_bytes(path.c_str(), bytes), 0);
        return load_pcx(path.c_str(), &image_);
    }
    PalettedImage image_;
};

TEST_F(PcxShortFile, HeaderOnlyTallPictureAsksForTheEndOnce) {
    // 8 planes of 256 bytes: 2048 bytes per line, 8192 lines, none present.
    std::vector<uint8_t> bytes = pcx_header(1, 8, 255, 8191, 256);
    long before = read_calls();
    ASSERT_EQ(load(bytes), 0);
    long after = read_calls();
    ASSERT_EQ(image_.width, 256);
    ASSERT_EQ(image_.height, 8192);
    // Every missing byte reads as 255, so every plane bit is set.
    for (int i = 0; i < image_.width * image_.height; i += 997)
        ASSERT_EQ(image_.pixels[i], 0xFF) << "pixel " << i;
    if (before < 0 || after < 0)
        GTEST_SKIP() << "no read-call counts in /proc/self/io";
    // A few reads for the header and the end, not one per missing byte
    // (16 million of them).
    EXPECT_LT(after - before, 64);
}

TEST_F(PcxShortFile, PaletteIsReadAfterTheDataRanOut) {
    // 8-bit, 1000 x 100, but only a palette block follows the header: the
    // decoder swallows it as pixel data and meets the end; the palette must
    // still come from the last 768 bytes.
    std::vector<uint8_t> bytes = pcx_header(8, 1, 999, 99, 1000);
    bytes.push_back(12);
    for (int i = 0; i < 768; i++)
        bytes.push_back(static_cast<uint8_t>(i % 3 == 0 ? 0xF8 : 0));
    ASSERT_EQ(load(bytes), 0);
    // Pure red for every entry; a palette read at the end of the file would
    // give white (255, 255, 255) instead.
    Uint32 red = SDL_MapRGB(work_surface->format, 0xF8, 0, 0);
    for (int i = 0; i < 256; i++)
        ASSERT_EQ(image_.palette[i], red) << "entry " << i;
    // The data ran out in the first line: the rest is index 255.
    EXPECT_EQ(image_.pixels[999 * 100 - 1], 255);
}

} // namespace
