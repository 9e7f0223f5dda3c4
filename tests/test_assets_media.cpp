// Checks of the generated sounds, music and font in the build's data/
// directory, through third-party tools (sox, timidity) and the libraries
// the game uses.
#include "instrument_config.h"
#include "music_notation.h"
#include "pnm_read.h"
#include "temp_dir.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <SDL_ttf.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#ifndef JT_SOURCE_DIR
#define JT_SOURCE_DIR "."
#endif

namespace {

const int PIECES = 4;

std::string output_of(const std::string &command) {
    int status = 0;
    std::vector<uint8_t> out = run_capture(command, &status);
    EXPECT_EQ(status, 0) << command;
    return std::string(out.begin(), out.end());
}

double number_from(const std::string &command) {
    return std::atof(output_of(command).c_str());
}

// "Maximum amplitude" or "RMS     amplitude" from sox's stat effect.
double sox_stat(const std::string &wav, const std::string &label) {
    std::string text = output_of("sox " + shell_quote(wav) + " -n stat 2>&1");
    size_t at = text.find(label);
    if (at == std::string::npos)
        return -1;
    return std::atof(text.c_str() + text.find(':', at) + 1);
}

std::string read_file(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

struct Effect {
    const char *name;
    double max_seconds;
};

TEST(SoundEffects, ShortQuietEnoughAndInTheMixersFormat) {
    const Effect effects[2] = {{"snd0.wav", 0.050}, {"snd1.wav", 0.200}};
    for (const Effect &e : effects) {
        std::string path = std::string("data/sound/") + e.name;
        std::string q = shell_quote(path);
        EXPECT_EQ(number_from("sox --i -r " + q), 22050) << path;
        EXPECT_EQ(number_from("sox --i -c " + q), 2) << path;
        EXPECT_EQ(number_from("sox --i -b " + q), 16) << path;
        double seconds = number_from("sox --i -D " + q);
        EXPECT_LE(seconds, e.max_seconds) << path << " blocks the game too long";
        EXPECT_GE(seconds, 0.010) << path;
        double peak = sox_stat(path, "Maximum amplitude");
        EXPECT_GT(peak, 0.1) << path << " is nearly silent";
        EXPECT_LT(peak, 0.7) << path << " is harsh";

        // SDL reads it as the mixer plays it, and it fades out to silence
        // so that it ends without a click.
        SDL_AudioSpec spec;
        Uint8 *buffer = nullptr;
        Uint32 length = 0;
        ASSERT_NE(SDL_LoadWAV(path.c_str(), &spec, &buffer, &length), nullptr) << SDL_GetError();
        EXPECT_EQ(spec.freq, 22050);
        EXPECT_EQ(spec.format, AUDIO_S16LSB);
        EXPECT_EQ(spec.channels, 2);
        const Sint16 *samples = (const Sint16 *)buffer;
        int count = (int)(length / 2);
        ASSERT_GT(count, 40);
        for (int i = count - 40; i < count; i++)
            EXPECT_LT(std::abs(samples[i]), 400) << path << " ends abruptly";
        SDL_FreeWAV(buffer);
    }
}

// Programs and drum keys that the freepats instrument set, used by the
// game's MIDI player, provides; an instrument outside it would be silent.
void freepats_instruments(std::set<int> *programs, std::set<int> *drums) {
    InstrumentConfig config;
    std::string error;
    EXPECT_TRUE(read_instrument_config("/etc/timidity/freepats.cfg", &config, &error)) << error;
    for (const auto &entry : config.programs)
        programs->insert(entry.first);
    for (const auto &entry : config.drums)
        drums->insert(entry.first);
}

MusicPiece piece_from_source(int i) {
    std::string path =
        std::string(JT_SOURCE_DIR) + "/tools/art/music/bgm" + std::to_string(i) + ".txt";
    MusicPiece piece;
    std::string error;
    EXPECT_TRUE(parse_music(read_file(path), &piece, &error)) << path << ": " << error;
    return piece;
}

TEST(Music, EachPieceIsItsOwnAndLoopsOnWholeBarsWithPlayableInstruments) {
    std::set<int> programs, drums;
    freepats_instruments(&programs, &drums);
    ASSERT_GT(programs.size(), 20u) << "freepats is not installed";
    std::set<std::string> titles, files;
    for (int i = 0; i < PIECES; i++) {
        MusicPiece piece = piece_from_source(i);
        std::string midi_path = "data/sound/music/bgm" + std::to_string(i) + ".mid";
        std::string midi = read_file(midi_path);
        std::vector<uint8_t> expected = encode_midi(piece);
        EXPECT_EQ(midi, std::string(expected.begin(), expected.end()))
            << midi_path << " is not what its source gives";
        titles.insert(piece.title);
        files.insert(midi);
        EXPECT_GE(music_seconds(piece), 30.0) << midi_path;
        EXPECT_LE(music_seconds(piece), 180.0) << midi_path;
        EXPECT_EQ(piece.total_ticks % bar_ticks(piece), 0);
        bool starts = false, reaches_end = false;
        for (const MusicTrack &t : piece.tracks) {
            if (t.channel == 9) {
                for (const MusicNote &n : t.notes)
                    EXPECT_TRUE(drums.count(n.key)) << midi_path << ": drum " << n.key;
            } else {
                EXPECT_TRUE(programs.count(t.program))
                    << midi_path << ": track " << t.name << " uses program " << t.program
                    << ", which freepats lacks";
            }
            for (const MusicNote &n : t.notes) {
                EXPECT_LE(n.start + n.length, piece.total_ticks) << "a note hangs over the loop";
                starts = starts || n.start == 0;
                reaches_end = reaches_end || n.start + n.length == piece.total_ticks;
            }
        }
        // Sound from the first tick to the last: no gap when the mixer
        // jumps from the end back to the start.
        EXPECT_TRUE(starts) << midi_path << " begins with silence";
        EXPECT_TRUE(reaches_end) << midi_path << " ends with silence";
    }
    EXPECT_EQ(titles.size(), (size_t)PIECES);
    EXPECT_EQ(files.size(), (size_t)PIECES);
}

TEST(Music, TimidityRendersEveryPieceAudiblyAtItsLength) {
    for (int i = 0; i < PIECES; i++) {
        MusicPiece piece = piece_from_source(i);
        std::string midi = "data/sound/music/bgm" + std::to_string(i) + ".mid";
        char wav[] = "/tmp/jt-music-XXXXXX";
        int fd = mkstemp(wav);
        ASSERT_GE(fd, 0);
        close(fd);
        std::string w = shell_quote(wav);
        output_of("timidity -c /etc/timidity/freepats.cfg -Ow -o " + w + " " + shell_quote(midi) +
                  " >/dev/null 2>&1");
        double seconds = number_from("sox --i -D " + w);
        double expected = music_seconds(piece);
        // The render adds the last notes' release and reverb tail.
        EXPECT_GE(seconds, expected) << midi;
        EXPECT_LE(seconds, expected + 8.0) << midi;
        double rms = sox_stat(wav, "RMS     amplitude");
        EXPECT_GT(rms, 0.01) << midi << " renders nearly silent";
        double peak = sox_stat(wav, "Maximum amplitude");
        EXPECT_LT(peak, 0.99) << midi << " clips";
        std::remove(wav);
    }
}

// Plays a MIDI file once through the mixer's built-in synthesiser, with the
// instruments of cfg, into a file by SDL's disk driver at full speed; in a
// child process, since the synthesiser reads its configuration once per
// process. Returns the samples without the silence before and after.
std::vector<int16_t> mixer_rendering(const std::string &cfg, const std::string &midi,
                                     const std::string &out) {
    pid_t child = fork();
    if (child == 0) {
        // The built-in synthesiser, as on the handheld, even where the
        // system's mixer would take a sound font instead.
        setenv("SDL_FORCE_SOUNDFONTS", "1", 1);
        unsetenv("SDL_SOUNDFONTS");
        setenv("TIMIDITY_CFG", cfg.c_str(), 1);
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", out.c_str(), 1);
        setenv("SDL_DISKAUDIODELAY", "0", 1);
        if (SDL_Init(SDL_INIT_AUDIO) != 0 || Mix_OpenAudio(22050, AUDIO_S16LSB, 2, 4096) != 0)
            _exit(1);
        Mix_Music *music = Mix_LoadMUS(midi.c_str());
        if (!music || Mix_PlayMusic(music, 1) != 0)
            _exit(2);
        while (Mix_PlayingMusic())
            SDL_Delay(5);
        Mix_CloseAudio();
        _exit(0);
    }
    int status = -1;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << midi << " with " << cfg;
    // Whole frames of silence (two 16-bit samples) go from either end.
    std::string bytes = read_file(out);
    size_t first = 0, end = bytes.size() & ~(size_t)3;
    while (first < end && bytes.compare(first, 4, std::string(4, '\0')) == 0)
        first += 4;
    while (end > first && bytes.compare(end - 4, 4, std::string(4, '\0')) == 0)
        end -= 4;
    std::vector<int16_t> samples((end - first) / 2);
    std::memcpy(samples.data(), bytes.data() + first, end - first);
    return samples;
}

TEST(Music, PackagedInstrumentsPlayEveryPieceAsTheWholeSetDoes) {
    // The package's instruments: only the patches, and of each only the
    // recordings, that the pieces play.
    std::string dir = make_temp_dir("instruments");
    ASSERT_NE(dir, "");
    const char *prefix = getenv("JT_RUN_PREFIX");
    std::string sources;
    for (int i = 0; i < PIECES; i++)
        sources +=
            " " + std::string(JT_SOURCE_DIR) + "/tools/art/music/bgm" + std::to_string(i) + ".txt";
    output_of((prefix ? std::string(prefix) + " " : "") + "./tools/make_instruments " +
              "/etc/timidity/freepats.cfg " + dir + sources + " >/dev/null");
    InstrumentConfig whole, packaged;
    std::string error;
    ASSERT_TRUE(read_instrument_config("/etc/timidity/freepats.cfg", &whole, &error)) << error;
    ASSERT_TRUE(read_instrument_config(dir + "/timidity.cfg", &packaged, &error)) << error;
    EXPECT_EQ(packaged.dir, "timidity");
    EXPECT_LT(packaged.programs.size(), whole.programs.size());
    uintmax_t whole_bytes = 0, packaged_bytes = 0;
    for (const auto &[program, entry] : packaged.programs) {
        whole_bytes += read_file(whole.dir + "/" + whole.programs[program].file).size();
        packaged_bytes += read_file(dir + "/timidity/" + entry.file).size();
    }
    EXPECT_LT(packaged_bytes, whole_bytes) << "no recording was left out";

    // The configuration names its folder relative to where the game runs.
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    for (int i = 0; i < PIECES; i++) {
        std::string midi = std::string(cwd) + "/data/sound/music/bgm" + std::to_string(i) + ".mid";
        std::string raw = dir + "/render.raw";
        std::vector<int16_t> expected = mixer_rendering("/etc/timidity/freepats.cfg", midi, raw);
        ASSERT_EQ(chdir(dir.c_str()), 0);
        std::vector<int16_t> got = mixer_rendering(dir + "/timidity.cfg", midi, raw);
        ASSERT_EQ(chdir(cwd), 0);
        EXPECT_GT(expected.size(), 22050u * 2 * 20) << midi << " renders too short";
        ASSERT_EQ(got.size(), expected.size()) << midi;
        // The synthesiser reads memory it never wrote (valgrind shows it),
        // so two renderings with the same instruments differ in about one
        // sample in 10,000; one note played from another recording changes
        // thousands.
        size_t differing = 0;
        for (size_t i = 0; i < got.size(); i++)
            differing += got[i] != expected[i];
        EXPECT_LT(differing, expected.size() / 2000)
            << midi << ": " << differing << " of " << expected.size() << " samples differ";
    }
    remove_tree(dir);
}

TEST(Font, OpensAtTheGamesSizeAndBothStatusMessagesFit) {
    const char *path = "data/font/ariblk.ttf";
    ASSERT_EQ(TTF_Init(), 0);
    TTF_Font *font = TTF_OpenFont(path, 24);
    ASSERT_NE(font, nullptr) << TTF_GetError();
    const char *style = TTF_FontFaceStyleName(font);
    ASSERT_NE(style, nullptr);
    EXPECT_NE(std::string(style).find("Bold"), std::string::npos) << "not a bold face: " << style;
    // The status line starts 280 pixels left of the right edge.
    for (const char *message : {"Click on a tile", "Click on another tile"}) {
        int w = 0, h = 0;
        ASSERT_EQ(TTF_SizeUTF8(font, message, &w, &h), 0);
        EXPECT_LE(w, 279) << message << " runs off the screen";
        EXPECT_GE(h, 20) << message;
    }
    TTF_CloseFont(font);
    TTF_Quit();
    std::string licence = read_file("data/font/LICENSE.txt");
    EXPECT_GT(licence.size(), 200u);
    EXPECT_NE(licence.find("Bitstream"), std::string::npos) << "licence of another font";
}

} // namespace
