// The render_frame tool, run from the build directory on the generated data:
// the 320x240 picture is the 640x480 frame halved as the display shows it,
// the same seed gives the same picture, and bad requests are refused.
#include <cstdlib>
#include "pnm_read.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <sstream>
#include <string>
#include <unistd.h>

namespace {

const std::string TOOL = "./tools/render_frame";

std::string out_path(const std::string &name) {
    return temp_file("rf", name);
}

int run_tool(const std::string &args, std::string *output = nullptr) {
    int status;
    // A cross-built tool runs under the emulator the test environment names.
    const char *prefix = getenv("JT_RUN_PREFIX");
    std::string command = (prefix && *prefix ? std::string(prefix) + " " : std::string()) + TOOL;
    std::vector<uint8_t> out = run_capture(command + " " + args + " 2>/dev/null", &status);
    if (output)
        output->assign(out.begin(), out.end());
    return status;
}

RgbPicture read_png(const std::string &path) {
    RgbPicture pic;
    EXPECT_TRUE(read_pnm_from("pngtopnm " + shell_quote(path) + " 2>/dev/null", &pic)) << path;
    return pic;
}

TEST(RenderFrameTool, SmallPictureIsTheLargeOneHalved) {
    std::string small = out_path("s.png"), large = out_path("l.png");
    ASSERT_EQ(run_tool("--large " + large + " 42 " + small), 0);
    RgbPicture s = read_png(small), l = read_png(large);
    ASSERT_EQ(s.width, 320);
    ASSERT_EQ(s.height, 240);
    ASSERT_EQ(l.width, 640);
    ASSERT_EQ(l.height, 480);
    for (int y = 0; y < 240; y++)
        for (int x = 0; x < 320; x++)
            for (int c = 0; c < 3; c++)
                ASSERT_EQ(s.rgb[(y * 320 + x) * 3 + c], l.rgb[(2 * y * 640 + 2 * x) * 3 + c])
                    << x << "," << y;
}

TEST(RenderFrameTool, SeedDecidesThePicture) {
    ASSERT_EQ(run_tool("7 " + out_path("a.png")), 0);
    ASSERT_EQ(run_tool("7 " + out_path("b.png")), 0);
    ASSERT_EQ(run_tool("8 " + out_path("c.png")), 0);
    EXPECT_EQ(read_png(out_path("a.png")).rgb, read_png(out_path("b.png")).rgb);
    EXPECT_NE(read_png(out_path("a.png")).rgb, read_png(out_path("c.png")).rgb);
}

TEST(RenderFrameTool, RemovesPairsSelectsAndRefusesBadRequests) {
    std::string list;
    ASSERT_EQ(run_tool("--list 42 " + out_path("list.png"), &list), 0);
    // Two free tiles with the same face, and a free tile of another face.
    std::istringstream in(list);
    std::string header;
    std::getline(in, header);
    std::map<int, int> free_by_face;
    int a = -1, b = -1, other = -1;
    int index, col, row, layer, face, is_free;
    while (in >> index >> col >> row >> layer >> face >> is_free) {
        if (!is_free)
            continue;
        if (a < 0 && free_by_face.count(face)) {
            a = free_by_face[face];
            b = index;
        } else if (!free_by_face.count(face)) {
            free_by_face[face] = index;
        }
    }
    ASSERT_GE(a, 0) << list;
    for (auto &entry : free_by_face)
        if (entry.second != a)
            other = entry.second;
    ASSERT_GE(other, 0);
    std::string pair = std::to_string(a) + "," + std::to_string(b);
    ASSERT_EQ(run_tool("--remove " + pair + " 42 " + out_path("r.png")), 0);
    ASSERT_EQ(run_tool("--select " + std::to_string(other) + " 42 " + out_path("sel.png")), 0);
    RgbPicture full = read_png(out_path("list.png"));
    EXPECT_NE(read_png(out_path("r.png")).rgb, full.rgb);
    EXPECT_NE(read_png(out_path("sel.png")).rgb, full.rgb);

    EXPECT_EQ(run_tool("42"), 2);
    EXPECT_EQ(run_tool("--bogus 42 " + out_path("x.png")), 2);
    EXPECT_EQ(run_tool("--remove 1 42 " + out_path("x.png")), 2);
    EXPECT_EQ(run_tool("--remove " + pair + " --remove " + pair + " 42 " + out_path("x.png")), 1);
    EXPECT_EQ(run_tool("--remove 0,500 42 " + out_path("x.png")), 1);
    EXPECT_EQ(run_tool("--select 144 42 " + out_path("x.png")), 1);
    EXPECT_EQ(run_tool("--tileset 99 42 " + out_path("x.png")), 1);
    EXPECT_EQ(run_tool("42 /nonexistent-dir/x.png"), 1);
}

} // namespace
