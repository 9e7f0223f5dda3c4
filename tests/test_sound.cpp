// Sound effects and music, played into a file through SDL's disk audio driver.
#include "gfx/display.h"
#include "gfx/geometry.h"
#include "sound/sound.h"
#include "temp_dir.h"
#include "wav_write.h"
#include <gtest/gtest.h>
#include <SDL_mixer.h>
#include <malloc.h>
#include <csignal>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

const int RATE = 22050;
const int FRAME_BYTES = 4;                    // 16-bit stereo output
const long BUFFER_BYTES = 4096 * FRAME_BYTES; // one mixer buffer
std::string work_dir;
std::string output_path;

void write_file(const std::string &path, const std::string &bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), (std::streamsize)bytes.size());
}

// A mono 16-bit WAV file at the mixer's rate.
void write_wav(const std::string &path, const std::vector<int16_t> &samples) {
    ASSERT_EQ(::write_wav(path.c_str(), RATE, 1, samples), 0) << path;
}

// A recognisable waveform that never starts with silence.
std::vector<int16_t> test_samples(int count) {
    std::vector<int16_t> v(count);
    for (int i = 0; i < count; ++i)
        v[i] = (int16_t)(1 + (i * 7919) % 20000 - 10000 + (i % 3 == 0 ? 0 : 11));
    v[0] = 1234;
    return v;
}

// A one-track MIDI file (format 0, 96 ticks to the beat) of the given
// events, shorter than 256 bytes.
void write_midi(const std::string &path, const std::vector<unsigned char> &events) {
    std::string track(events.begin(), events.end());
    std::string s = "MThd";
    s += std::string("\0\0\0\6\0\0\0\1\0\x60", 10); // format 0, one track, 96 ticks
    s += "MTrk";
    s += (char)0;
    s += (char)0;
    s += (char)0;
    s += (char)track.size();
    s += track;
    write_file(path, s);
}

long output_size() {
    struct stat st;
    return stat(output_path.c_str(), &st) == 0 ? (long)st.st_size : -1;
}

// The stereo frames written since byte offset from.
std::vector<int16_t> output_since(long from) {
    std::ifstream in(output_path, std::ios::binary);
    in.seekg(from);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<int16_t> samples(bytes.size() / 2);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = (int16_t)((uint8_t)bytes[2 * i] | ((uint8_t)bytes[2 * i + 1] << 8));
    return samples;
}

// Waits until the output has grown by at least bytes past from.
void wait_for_output(long from, long bytes) {
    for (int i = 0; i < 500 && output_size() < from + bytes; ++i)
        SDL_Delay(10);
}

size_t heap_in_use() {
    struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

class Sound : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        work_dir = make_temp_dir("sound");
        ASSERT_FALSE(work_dir.empty());
        output_path = work_dir + "/output.raw";
        ASSERT_EQ(chdir(work_dir.c_str()), 0);
        std::filesystem::create_directories("data/sound/music");
        write_wav("data/sound/long.wav", test_samples(RATE));
        write_wav("data/sound/short.wav", test_samples(RATE / 4));
        write_wav("data/sound/" + std::string(16, 'n') + ".wav", test_samples(RATE / 10));
        // A piano chord held for one second.
        write_midi("data/sound/music/tune.mid",
                   {0x00, 0xC0, 0x00,                                 // piano
                    0x00, 0x90, 60,   100, 0x00, 0x90, 64,   100,     // notes on
                    0x00, 0x90, 67,   100, 0x81, 0x40, 0x80, 60,  64, // 192 ticks later, off
                    0x00, 0x80, 64,   64,  0x00, 0x80, 67,   64,  0x00, 0xFF, 0x2F, 0x00});
        // A short loud chord, then 20 seconds of silence before the end.
        write_midi("data/sound/music/blip.mid",
                   {0x00, 0xC0, 0x00, 0x00, 0x90, 60, 127, 0x00, 0x90, 64,   127,  0x30,
                    0x80, 60,   64,   0x00, 0x80, 64, 64,  0x9E, 0x00, 0xFF, 0x2F, 0x00});
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", output_path.c_str(), 1);
        setenv("SDL_DISKAUDIODELAY", "100", 1); // ms per buffer of 186 ms
        init_video(WORK_WIDTH, WORK_HEIGHT);
    }
    static void TearDownTestSuite() {
        Mix_HaltMusic();
        Mix_CloseAudio();
        remove_tree(work_dir);
    }
    void SetUp() override {
        int frequency = 0, channels = 0;
        Uint16 format = 0;
        ASSERT_EQ(Mix_QuerySpec(&frequency, &format, &channels), 1) << Mix_GetError();
        ASSERT_EQ(frequency, RATE);
        ASSERT_EQ(format, AUDIO_S16LSB);
        ASSERT_EQ(channels, 2);
    }
};

} // namespace

TEST_F(Sound, EffectReachesTheOutputAndPlayEffectWaitsForItsEnd) {
    const std::vector<int16_t> effect = test_samples(RATE);
    const long effect_bytes = (long)effect.size() * FRAME_BYTES;
    long before = output_size();
    std::vector<std::string> heard;
    static std::vector<std::string> *hook_log;
    hook_log = &heard;
    effect_hook = [](const char *name) { hook_log->push_back(name); };
    timespec cpu_start, cpu_end, wall_start, wall_end;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpu_start);
    clock_gettime(CLOCK_MONOTONIC, &wall_start);
    play_effect("long.wav");
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpu_end);
    clock_gettime(CLOCK_MONOTONIC, &wall_end);
    effect_hook = nullptr;
    long at_return = output_size();
    // The wait sleeps: the game's thread uses a small part of the effect's
    // length (spinning on the mixer would use all of it).
    auto ms = [](const timespec &a, const timespec &b) {
        return (b.tv_sec - a.tv_sec) * 1000.0 + (b.tv_nsec - a.tv_nsec) / 1e6;
    };
    EXPECT_GT(ms(wall_start, wall_end), 500.0);
    EXPECT_LT(ms(cpu_start, cpu_end), ms(wall_start, wall_end) / 4);

    EXPECT_EQ(heard, std::vector<std::string>{"long.wav"});
    EXPECT_GE(channel, 0);
    EXPECT_EQ(Mix_Playing(-1), 0);
    EXPECT_EQ(effect_chunk, nullptr) << "the finished chunk is released";
    // All but the last buffer of the effect was written before the call returned,
    // and the call did not linger for long after it.
    EXPECT_GE(at_return - before, effect_bytes - BUFFER_BYTES - 4096);
    EXPECT_LE(at_return - before, effect_bytes + 4 * BUFFER_BYTES);

    wait_for_output(at_return, 2 * BUFFER_BYTES);
    std::vector<int16_t> out = output_since(before);
    size_t start = 0;
    while (start < out.size() && out[start] == 0)
        ++start;
    ASSERT_LT(start + 2 * effect.size(), out.size()) << "effect not found in the output";
    for (size_t i = 0; i < effect.size(); ++i) {
        ASSERT_EQ(out[start + 2 * i], effect[i]) << "left sample " << i;
        ASSERT_EQ(out[start + 2 * i + 1], effect[i]) << "right sample " << i;
    }
    for (size_t i = start + 2 * effect.size(); i < out.size(); ++i)
        ASSERT_EQ(out[i], 0) << "silence after the effect";
}

// The disk driver writes each mixed buffer whole as it comes, so the file
// grows by the device's buffer: 4096 stereo 16-bit frames at a time.
TEST_F(Sound, DeviceMixesInBuffersOf4096Frames) {
    std::vector<long> steps;
    long last = output_size();
    for (int i = 0; i < 400 && steps.size() < 4; ++i) {
        SDL_Delay(5);
        long now = output_size();
        if (now != last)
            steps.push_back(now - last);
        last = now;
    }
    ASSERT_GE(steps.size(), 4u) << "the device wrote nothing for two seconds";
    // A slow look may find two buffers written since the last one.
    for (long step : steps)
        EXPECT_EQ(step % (4096 * FRAME_BYTES), 0) << step;
    EXPECT_EQ(*std::min_element(steps.begin(), steps.end()), 4096 * FRAME_BYTES);
}

// Counts the output samples louder than a faint hum, over the buffer that
// starts at byte offset from once it has been written whole.
size_t loud_samples_in_buffer(long from) {
    wait_for_output(from, BUFFER_BYTES);
    std::vector<int16_t> out = output_since(from);
    size_t loud = 0;
    for (size_t i = 0; i < out.size() && i < (size_t)BUFFER_BYTES / 2; ++i)
        loud += out[i] > 200 || out[i] < -200;
    return loud;
}

// Choosing the music that already plays starts it again from its beginning:
// the chord at the start of the piece is heard again.
TEST_F(Sound, SameMusicChosenAgainStartsFromItsBeginning) {
    play_music("blip.mid");
    ASSERT_NE(current_music, nullptr) << "no MIDI support: " << Mix_GetError();
    // The chord, then two whole buffers of silence: the piece is in its long rest.
    long at = output_size();
    int buffers = 0, quiet = 0;
    bool heard = false;
    for (; buffers < 40 && quiet < 2; ++buffers, at += BUFFER_BYTES) {
        bool loud = loud_samples_in_buffer(at) > 100;
        heard = heard || loud;
        quiet = heard && !loud ? quiet + 1 : 0;
    }
    ASSERT_TRUE(heard) << "the chord was never heard";
    ASSERT_EQ(quiet, 2) << "the chord never ended";

    play_music("blip.mid");
    EXPECT_EQ(Mix_PlayingMusic(), 1);
    // The buffer being mixed at the call is already settled; the chord must
    // come back within the few buffers after it.
    at = output_size() + BUFFER_BYTES;
    bool again = false;
    for (int i = 0; i < 4 && !again; ++i, at += BUFFER_BYTES)
        again = loud_samples_in_buffer(at) > 100;
    EXPECT_TRUE(again) << "the music went on with its rest instead of starting again";
    play_music("missing.mid");
}

TEST_F(Sound, MissingFileReturnsAtOnce) {
    Uint32 start = SDL_GetTicks();
    play_effect("missing.wav");
    EXPECT_LT(SDL_GetTicks() - start, 50u);
    EXPECT_EQ(channel, -1);
    EXPECT_EQ(effect_chunk, nullptr);
}

// "data/sound/" and a 20-character name fill the path buffer exactly; one
// character more is refused instead of being cut back to that same file.
TEST_F(Sound, NameTooLongForThePathIsRefused) {
    const std::string fits = std::string(16, 'n') + ".wav";
    play_effect(fits.c_str());
    EXPECT_GE(channel, 0);
    EXPECT_STREQ(sound_path, ("data/sound/" + fits).c_str());

    Uint32 start = SDL_GetTicks();
    play_effect((fits + "x").c_str());
    EXPECT_LT(SDL_GetTicks() - start, 50u);
    EXPECT_EQ(channel, -1);
    EXPECT_STRNE(sound_path, ("data/sound/" + fits).c_str());

    const std::string long_name(200, 'q');
    play_effect(long_name.c_str());
    EXPECT_EQ(channel, -1);
    play_music(long_name.c_str());
    EXPECT_EQ(current_music, nullptr);
    EXPECT_LT(strlen(sound_path), sizeof sound_path);
}

TEST_F(Sound, FinishedChunksDoNotPileUp) {
    play_effect("short.wav"); // first use sets up the mixer's own buffers
    size_t before = heap_in_use();
    for (int i = 0; i < 4; ++i) {
        play_effect("short.wav");
        EXPECT_EQ(effect_chunk, nullptr);
    }
    // Four kept chunks would hold 4 x 22050 bytes of converted samples.
    EXPECT_LT(heap_in_use(), before + 20000);
}

TEST_F(Sound, MidiMusicPlaysAndKeepsPlayingUnderEffects) {
    play_music("tune.mid");
    ASSERT_NE(current_music, nullptr) << "no MIDI support: " << Mix_GetError();
    EXPECT_EQ(Mix_PlayingMusic(), 1);
    long from = output_size();
    wait_for_output(from, 4 * BUFFER_BYTES);
    std::vector<int16_t> out = output_since(from);
    size_t loud = 0;
    for (int16_t v : out)
        loud += v > 200 || v < -200;
    EXPECT_GT(loud, 2000u) << "the music is silent";

    play_effect("short.wav");
    EXPECT_EQ(Mix_PlayingMusic(), 1);
    EXPECT_EQ(Mix_PausedMusic(), 0);

    // A missing file stops the old music and leaves silence.
    play_music("missing.mid");
    EXPECT_EQ(current_music, nullptr);
    EXPECT_EQ(Mix_PlayingMusic(), 0);
    wait_for_output(output_size(), BUFFER_BYTES); // the buffer being mixed may hold music
    long quiet_from = output_size();
    wait_for_output(quiet_from, 2 * BUFFER_BYTES);
    std::vector<int16_t> quiet = output_since(quiet_from);
    ASSERT_FALSE(quiet.empty());
    for (int16_t v : quiet)
        ASSERT_EQ(v, 0);
}

// A device that fails while an effect plays (here every write fails: the
// disk driver writes into /dev/full) stops SDL's audio thread for good; the
// effect's wait must still end, soon after the effect's own length.
TEST(SoundDeathTest, EffectOnADeviceThatFailsDoesNotHoldTheGame) {
    EXPECT_EXIT(
        {
            std::string dir = make_temp_dir("dead_device");
            if (dir.empty() || chdir(dir.c_str()) != 0)
                _exit(2);
            std::filesystem::create_directories("data/sound");
            ::write_wav("data/sound/one.wav", RATE, 1, test_samples(RATE));
            setenv("SDL_AUDIODRIVER", "disk", 1);
            setenv("SDL_DISKAUDIOFILE", "/dev/full", 1);
            setenv("SDL_DISKAUDIODELAY", "100", 1);
            init_video(WORK_WIDTH, WORK_HEIGHT);
            // A wait that never ends dies of the alarm instead (SDL has its
            // own handler for SIGALRM by now, so this one goes in after).
            signal(SIGALRM, [](int) { _exit(4); });
            alarm(30);
            Uint32 start = SDL_GetTicks();
            play_effect("one.wav");
            Uint32 waited = SDL_GetTicks() - start;
            remove_tree(dir);
            fprintf(stderr, "waited %u ms\n", (unsigned)waited);
            _exit(channel >= 0 && waited < 5000 && Mix_Playing(-1) == 0 ? 0 : 3);
        },
        testing::ExitedWithCode(0), "waited");
}
