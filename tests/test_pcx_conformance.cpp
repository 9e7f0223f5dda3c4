// The loader decodes PCX files written by ImageMagick and netpbm to the same
// colours those tools decode them to. The files are made here, at test time,
// with the real tools from generated source pictures.
#include "assets/pcx.h"
#include "gfx/display.h"
#include "pcx_test_files.h"
#include "pcx_write.h"
#include "pnm_read.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>

namespace {

std::string in_dir(const std::string &name) {
    return test_dir() + "/" + name;
}

// Writes a P6 picture whose pixels come from a palette of the given size.
void write_ppm(const std::string &name, int w, int h, int colours, unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> pal(colours * 3);
    for (auto &c : pal)
        c = static_cast<uint8_t>(rng());
    // Make the colours distinct so no tool merges two of them.
    for (int i = 0; i < colours; i++)
        pal[3 * i] = static_cast<uint8_t>(i);
    std::string head = "P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
    std::vector<uint8_t> bytes(head.begin(), head.end());
    for (int i = 0; i < w * h; i++) {
        int c = static_cast<int>(rng() % colours);
        bytes.insert(bytes.end(), pal.begin() + 3 * c, pal.begin() + 3 * c + 3);
    }
    ASSERT_EQ(write_file_bytes(in_dir(name).c_str(), bytes), 0);
}

void write_pbm(const std::string &name, int w, int h, unsigned seed) {
    std::mt19937 rng(seed);
    std::string head = "P4\n" + std::to_string(w) + " " + std::to_string(h) + "\n";
    std::vector<uint8_t> bytes(head.begin(), head.end());
    for (int i = 0; i < (w + 7) / 8 * h; i++)
        bytes.push_back(static_cast<uint8_t>(rng()));
    ASSERT_EQ(write_file_bytes(in_dir(name).c_str(), bytes), 0);
}

void run(const std::string &command) {
    int status;
    run_capture("(" + command + ") >/dev/null 2>&1", &status);
    ASSERT_EQ(status, 0) << command;
}

class PcxConformance : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        write_ppm("c200.ppm", 37, 23, 200, 1);
        write_ppm("c256big.ppm", 640, 480, 256, 2);
        write_ppm("one.ppm", 1, 1, 1, 3);
        write_ppm("c16.ppm", 41, 19, 16, 4);
        write_ppm("c16big.ppm", 640, 480, 16, 5);
        write_pbm("bw.pbm", 37, 23, 6);
        write_pbm("one.pbm", 1, 1, 7);
        write_pbm("bwbig.pbm", 640, 480, 8);
    }
    void SetUp() override {
        saved_ = work_surface;
        exact_ = SDL_CreateRGBSurface(SDL_SWSURFACE, 1, 1, 32, 0xFF0000, 0xFF00, 0xFF, 0);
        ASSERT_NE(exact_, nullptr);
        work_surface = exact_;
    }
    void TearDown() override {
        work_surface = saved_;
        SDL_FreeSurface(exact_);
    }

    // Makes pcx_name with command (run in the test directory), checks that the
    // tool wrote the kind of file the case is about, and compares the loaded
    // picture with what netpbm decodes from the file and, unless told not to,
    // with what ImageMagick decodes.
    void check(const std::string &command, const std::string &pcx_name, int bits, int planes,
               bool ask_magick = true) {
        run("cd " + shell_quote(test_dir()) + " && " + command);
        std::string path = in_dir(pcx_name);
        FILE *f = fopen(path.c_str(), "rb");
        ASSERT_NE(f, nullptr);
        uint8_t header[128];
        ASSERT_EQ(fread(header, 1, 128, f), 128u);
        fclose(f);
        ASSERT_EQ(header[3], bits) << command << " wrote another kind of file";
        ASSERT_EQ(header[65], planes) << command << " wrote another kind of file";

        PalettedImage image;
        ASSERT_EQ(load_pcx(path.c_str(), &image), PCX_OK);
        RgbPicture by_netpbm, by_magick;
        ASSERT_TRUE(read_pnm_from("pcxtoppm " + shell_quote(path) + " 2>/dev/null", &by_netpbm));
        ASSERT_TRUE(read_pnm_from("convert " + shell_quote(path) + " -depth 8 ppm:- 2>/dev/null",
                                  &by_magick));
        for (const RgbPicture *ref : {&by_netpbm, &by_magick}) {
            if (ref == &by_magick && !ask_magick)
                continue;
            const char *who = ref == &by_netpbm ? "pcxtoppm" : "convert";
            ASSERT_EQ(image.width, ref->width) << who;
            ASSERT_EQ(image.height, ref->height) << who;
            int wrong = 0;
            for (int i = 0; i < image.width * image.height; i++) {
                uint32_t c = image.palette[image.pixels[i]];
                uint32_t want =
                    ref->rgb[3 * i] << 16 | ref->rgb[3 * i + 1] << 8 | ref->rgb[3 * i + 2];
                if (c != want && wrong++ < 5)
                    ADD_FAILURE() << who << ": pixel " << i % image.width << "," << i / image.width
                                  << " is " << std::hex << c << ", decoded as " << want;
            }
            EXPECT_EQ(wrong, 0) << who;
        }
        free_image(&image);
    }

    SDL_Surface *saved_ = nullptr;
    SDL_Surface *exact_ = nullptr;
};

TEST_F(PcxConformance, MagickEightBitOddWidth) {
    check("convert c200.ppm -type Palette im8.pcx", "im8.pcx", 8, 1);
}

TEST_F(PcxConformance, MagickEightBitOnePixel) {
    check("convert one.ppm -type Palette im1x1.pcx", "im1x1.pcx", 8, 1);
}

TEST_F(PcxConformance, MagickEightBitFullScreen) {
    check("convert c256big.ppm -type Palette im640.pcx", "im640.pcx", 8, 1);
}

// ImageMagick does not decode a one-plane 1-bit file through its header
// palette (it shows set bits as black even where the header makes index 1
// white, as in the files it writes itself), so for these netpbm, which uses
// the header palette as the loader does, is the reference.
TEST_F(PcxConformance, MagickOneBitOnePlane) {
    // ImageMagick writes a 1-bit file for a two-colour palette picture.
    check("convert bw.pbm bw.gif && convert bw.gif imbw.pcx", "imbw.pcx", 1, 1, false);
}

TEST_F(PcxConformance, NetpbmEightBitOddWidth) {
    check("ppmtopcx -8bit c200.ppm > nb8.pcx", "nb8.pcx", 8, 1);
}

TEST_F(PcxConformance, NetpbmEightBitOnePixel) {
    check("ppmtopcx -8bit one.ppm > nb1x1.pcx", "nb1x1.pcx", 8, 1);
}

TEST_F(PcxConformance, NetpbmEightBitFullScreen) {
    check("ppmtopcx -8bit c256big.ppm > nb640.pcx", "nb640.pcx", 8, 1);
}

TEST_F(PcxConformance, NetpbmOneBitOnePlane) {
    check("ppmtopcx bw.pbm > nbbw.pcx", "nbbw.pcx", 1, 1, false);
    check("ppmtopcx one.pbm > nbbw1x1.pcx", "nbbw1x1.pcx", 1, 1, false);
    check("ppmtopcx bwbig.pbm > nbbw640.pcx", "nbbw640.pcx", 1, 1, false);
}

TEST_F(PcxConformance, NetpbmOneBitFourPlanes) {
    check("ppmtopcx -planes 4 c16.ppm > nb16.pcx", "nb16.pcx", 1, 4);
    check("ppmtopcx -planes 4 c16big.ppm > nb16big.pcx", "nb16big.pcx", 1, 4);
}

} // namespace
