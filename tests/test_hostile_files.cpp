// Asset files made hostile: pipes, folders and devices in place of every kind
// of asset, and effect files whose headers the mixer cannot convert. Each
// must be refused at once, as a missing file is (a folder reads as an empty
// file), or played without fault.
#include "app/app.h"
#include "assets/pcx.h"
#include "gfx/display.h"
#include "gfx/geometry.h"
#include "sound/sound.h"
#include "temp_dir.h"
#include "test_assets.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <SDL_ttf.h>
#include <gtest/gtest.h>

#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <functional>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace {

// A case that blocks in open() ends the whole program instead of hanging
// the suite; the limit leaves room for slow emulation.
const unsigned HANG_LIMIT_S = 20;
// Longest time a refusal may take.
const double PROMPT_S = 2.0;

std::string folder;

// Arms the hang limit with a handler of its own: SIGALRM may come ignored
// from the parent, and an ignored alarm would let the hang go on.
void arm_hang_limit() {
    signal(SIGALRM, [](int) {
        const char message[] = "hostile files: a refusal hung\n";
        ssize_t ignored = write(2, message, sizeof message - 1);
        (void)ignored;
        _exit(3);
    });
    alarm(HANG_LIMIT_S);
}

double seconds_since(const timespec &start) {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (now.tv_sec - start.tv_sec) + (now.tv_nsec - start.tv_nsec) / 1e9;
}

class HostileFiles : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        folder = make_temp_dir("hostile");
        ASSERT_NE(folder, "");
        TestAssets assets = {1, 1, -1, find_test_font()};
        ASSERT_EQ(write_test_assets(folder.c_str(), &assets), 0);
        ASSERT_EQ(chdir(folder.c_str()), 0);
        mkdir("data/sound", 0755);
        mkdir("data/sound/music", 0755);
        init_video(WORK_WIDTH, WORK_HEIGHT);
        TTF_Init();
    }
    static void TearDownTestSuite() {
        remove_tree(folder);
    }
};

enum Kind { FIFO, DIRECTORY, DEVICE_LINK, SOCKET };

// Puts a non-regular file of the given kind at path (nothing there before).
void make_hostile(Kind kind, const std::string &path) {
    unlink(path.c_str());
    rmdir(path.c_str());
    switch (kind) {
    case FIFO:
        ASSERT_EQ(mkfifo(path.c_str(), 0644), 0);
        break;
    case DIRECTORY:
        ASSERT_EQ(mkdir(path.c_str(), 0755), 0);
        break;
    case DEVICE_LINK:
        ASSERT_EQ(symlink("/dev/zero", path.c_str()), 0);
        break;
    case SOCKET: {
        int s = socket(AF_UNIX, SOCK_STREAM, 0);
        ASSERT_GE(s, 0);
        sockaddr_un address = {};
        address.sun_family = AF_UNIX;
        ASSERT_LT(path.size(), sizeof address.sun_path);
        snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
        ASSERT_EQ(bind(s, (sockaddr *)&address, sizeof address), 0);
        close(s);
        break;
    }
    }
}

void remove_hostile(const std::string &path) {
    unlink(path.c_str());
    rmdir(path.c_str());
}

// What one kind of asset does with its file: the observable outcome as text.
struct Asset {
    const char *what;
    std::string path;
    std::function<std::string()> load;
    std::string missing; // the outcome for a missing file
    std::string folder;  // the outcome for a folder: an empty file, whose read fails
};

} // namespace

// Every kind of asset, with a pipe, a link to a device or a socket in its
// place, returns at once with exactly what a missing file gives, and keeps no
// file open; a folder, which cannot block, returns at once as an empty file.
TEST_F(HostileFiles, NonRegularPathsAreRefusedAtOnceAndFoldersReadEmpty) {
    arm_hang_limit();
    auto pcx = [](const char *path) {
        return [path]() {
            PalettedImage image;
            int code = load_pcx(path, &image);
            free_image(&image);
            return "code " + std::to_string(code);
        };
    };
    const std::vector<Asset> assets = {
        {"tile set", "data/image/tiles0.pcx", pcx("data/image/tiles0.pcx"), "code 1", "code 2"},
        {"background", "data/image/background/bg0.pcx", pcx("data/image/background/bg0.pcx"),
         "code 1", "code 2"},
        {"effect", "data/sound/snd0.wav",
         [] {
             play_effect("snd0.wav");
             return "channel " + std::to_string(channel) +
                    (effect_chunk ? " with a chunk" : " without a chunk");
         },
         "channel -1 without a chunk", "channel -1 without a chunk"},
        {"music", "data/sound/music/bgm0.mid",
         [] {
             play_music("bgm0.mid");
             return std::string(current_music ? "music" : "no music") +
                    (Mix_PlayingMusic() ? " playing" : " silent");
         },
         "no music silent", "no music silent"},
        {"font", "data/font/ariblk.ttf",
         [] {
             testing::internal::CaptureStderr();
             open_font();
             std::string said = testing::internal::GetCapturedStderr();
             std::string result = (font ? "font; " : "no font; ") + said;
             if (font)
                 TTF_CloseFont(font);
             font = nullptr;
             return result;
         },
         "no font; Couldn't open font: Couldn't open data/font/ariblk.ttf\n",
         "no font; Couldn't open font: Couldn't load font file\n"},
    };
    const struct {
        Kind kind;
        const char *name;
    } kinds[] = {{FIFO, "named pipe"},
                 {DIRECTORY, "folder"},
                 {DEVICE_LINK, "link to /dev/zero"},
                 {SOCKET, "socket"}};

    for (const Asset &asset : assets) {
        // The file (if any) is moved out of the way while its place is taken.
        std::string saved = asset.path + ".saved";
        rename(asset.path.c_str(), saved.c_str());
        EXPECT_EQ(asset.load(), asset.missing) << asset.what << " missing";
        for (const auto &kind : kinds) {
            SCOPED_TRACE(std::string(asset.what) + " as a " + kind.name);
            make_hostile(kind.kind, asset.path);
            int fd_before = lowest_free_fd();
            timespec start;
            clock_gettime(CLOCK_MONOTONIC, &start);
            std::string got = asset.load();
            EXPECT_LT(seconds_since(start), PROMPT_S);
            EXPECT_EQ(got, kind.kind == DIRECTORY ? asset.folder : asset.missing);
            EXPECT_EQ(lowest_free_fd(), fd_before) << "a file was left open";
            remove_hostile(asset.path);
        }
        rename(saved.c_str(), asset.path.c_str());
    }
    alarm(0);
}

namespace {

std::string le(uint32_t v, int bytes) {
    std::string s;
    for (int i = 0; i < bytes; i++)
        s += (char)(v >> (8 * i) & 0xFF);
    return s;
}

// One chunk; its declared length is the body's unless given.
std::string chunk(const char *id, const std::string &body, int64_t declared = -1) {
    return std::string(id, 4) + le(declared < 0 ? (uint32_t)body.size() : (uint32_t)declared, 4) +
           body;
}

std::string format_chunk(int tag, int channels, uint32_t rate, int bits) {
    int block = channels * bits / 8;
    return chunk("fmt ", le(tag, 2) + le(channels, 2) + le(rate, 4) + le(rate * block, 4) +
                             le(block, 2) + le(bits, 2));
}

std::string riff(const std::string &chunks) {
    return "RIFF" + le((uint32_t)chunks.size() + 4, 4) + "WAVE" + chunks;
}

std::string samples(size_t bytes) {
    std::string s(bytes, '\0');
    for (size_t i = 0; i < bytes; i++)
        s[i] = (char)(i * 37 + 11);
    return s;
}

// A short effect with the given format fields and 400 bytes of samples.
std::string effect(int tag, int channels, uint32_t rate, int bits) {
    return riff(format_chunk(tag, channels, rate, bits) + chunk("data", samples(400)));
}

// An ADPCM effect (tag 2, Microsoft's with its seven coefficient pairs, or
// 0x11, IMA's) of blocks blocks of align bytes, each a header per channel and
// samples; per_block defaults to the samples such a block holds.
std::string adpcm(int tag, int channels, uint32_t rate, int align, int blocks, int per_block = 0) {
    int head = (tag == 2 ? 7 : 4) * channels;
    if (per_block == 0)
        per_block = (tag == 2 ? 2 : 1) + 2 * (align - head) / channels;
    std::string extra = le(per_block, 2);
    if (tag == 2)
        for (int v : {7, 256, 0, 512, -256, 0, 0, 192, 64, 240, 0, 460, -208, 392, -232})
            extra += le((uint16_t)v, 2);
    std::string block = std::string(head, '\0') + samples(align - head);
    if (tag == 2) // predictor 0 and a step of 16 for each channel
        for (int c = 0; c < channels; c++)
            block[channels + 2 * c] = 16;
    std::string data;
    for (int i = 0; i < blocks; i++)
        data += block;
    return riff(chunk("fmt ", le(tag, 2) + le(channels, 2) + le(rate, 4) + le(rate * 2, 4) +
                                  le(align, 2) + le(4, 2) + le(extra.size(), 2) + extra) +
                chunk("data", data));
}

} // namespace

// Effect files with headers the mixer's loader or conversion cannot take
// (rates far from the device's, no or many channels, other depths and
// encodings, ADPCM blocks of 0 bytes or holding other than the samples
// claimed, chunks cut short or claiming more than the file holds) are refused
// as a missing file is; plain PCM and ADPCM within the limits play.
TEST_F(HostileFiles, HostileEffectHeadersAreRefusedAndPlainOnesPlay) {
    arm_hang_limit();
    const std::string good = effect(1, 1, 22050, 16);
    const struct {
        const char *what;
        std::string bytes;
        bool plays;
    } cases[] = {
        {"16-bit mono at 22050 Hz", good, true},
        {"8-bit stereo at 11025 Hz", effect(1, 2, 11025, 8), true},
        {"lowest rate, 4000 Hz", effect(1, 1, 4000, 8), true},
        {"highest rate, 192000 Hz", effect(1, 2, 192000, 16), true},
        {"a LIST chunk before the format",
         riff(chunk("LIST", "INFOabcd") + format_chunk(1, 1, 22050, 16) +
              chunk("data", samples(400))),
         true},
        {"0 Hz", effect(1, 1, 0, 16), false},
        {"1 Hz", effect(1, 1, 1, 16), false},
        {"43 Hz", effect(1, 2, 43, 8), false},
        {"3999 Hz", effect(1, 1, 3999, 16), false},
        {"192001 Hz", effect(1, 1, 192001, 16), false},
        {"1000000 Hz", effect(1, 1, 1000000, 8), false},
        {"4294967295 Hz", effect(1, 1, 0xFFFFFFFFu, 16), false},
        {"0 channels", effect(1, 0, 22050, 16), false},
        {"0 channels, no samples", riff(format_chunk(1, 0, 22050, 16) + chunk("data", "")), false},
        {"0 Hz, no samples", riff(format_chunk(1, 1, 0, 16) + chunk("data", "")), false},
        {"9 channels", effect(1, 9, 22050, 16), false},
        {"24-bit", effect(1, 2, 22050, 24), false},
        {"32-bit", effect(1, 1, 22050, 32), false},
        {"0-bit", effect(1, 1, 22050, 0), false},
        {"MS ADPCM, mono", adpcm(2, 1, 22050, 256, 2), true},
        {"IMA ADPCM, stereo", adpcm(0x11, 2, 44100, 1024, 2), true},
        {"MS ADPCM without its block fields", effect(2, 1, 22050, 4), false},
        {"IMA ADPCM without its block fields", effect(0x11, 1, 22050, 4), false},
        {"IMA ADPCM in blocks of 0 bytes", adpcm(0x11, 1, 22050, 256, 1).replace(32, 2, 2, 0),
         false},
        {"IMA ADPCM, more samples than a block holds", adpcm(0x11, 1, 22050, 256, 2, 513), false},
        {"MS ADPCM naming an eighth coefficient pair in its last block",
         [] {
             std::string s = adpcm(2, 1, 22050, 256, 2);
             s[s.size() - 256] = 7;
             return s;
         }(),
         false},
        {"MS ADPCM, 3 channels", adpcm(2, 3, 22050, 256, 2), false},
        {"MS ADPCM at 43 Hz", adpcm(2, 1, 43, 256, 2), false},
        {"MS ADPCM 11 s long", adpcm(2, 1, 4000, 256, 88), false},
        {"float", effect(3, 1, 22050, 32), false},
        {"extensible", effect(0xFFFE, 2, 22050, 16), false},
        {"cut inside the format chunk", good.substr(0, 30), false},
        {"cut inside the samples", good.substr(0, good.size() - 1), false},
        {"data chunk claiming 4 GiB",
         riff(format_chunk(1, 1, 22050, 16) + chunk("data", samples(400), 0xFFFFFFFFu)), false},
        {"format chunk claiming 2 GiB",
         riff(chunk("fmt ", format_chunk(1, 1, 22050, 16).substr(8), 0x7FFFFFF0) +
              chunk("data", samples(400))),
         false},
        {"format chunk of 14 bytes",
         riff(chunk("fmt ", format_chunk(1, 1, 22050, 16).substr(8, 14)) +
              chunk("data", samples(400))),
         false},
        {"no data chunk", riff(format_chunk(1, 1, 22050, 16)), false},
        {"data before the format",
         riff(chunk("data", samples(400)) + format_chunk(1, 1, 22050, 16)), false},
        {"11 s long", riff(format_chunk(1, 1, 4000, 8) + chunk("data", samples(44000))), false},
        {"another format renamed", "FORM" + good.substr(4), false},
        {"empty", "", false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        FILE *f = fopen("data/sound/snd1.wav", "wb");
        ASSERT_NE(f, nullptr);
        fwrite(c.bytes.data(), 1, c.bytes.size(), f);
        fclose(f);
        int fd_before = lowest_free_fd();
        play_effect("snd1.wav");
        EXPECT_EQ(channel >= 0, c.plays) << "channel " << channel;
        EXPECT_EQ(effect_chunk, nullptr);
        EXPECT_EQ(lowest_free_fd(), fd_before);
    }
    unlink("data/sound/snd1.wav");
    alarm(0);
}
