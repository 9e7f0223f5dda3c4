// Blocking sound effects and looping music over the mixer.
#include "sound/sound.h"
#include "assets/files.h"
#include <SDL.h>
#include <SDL_mixer.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

enum {
    EFFECT_WAIT_STEP_MS = 1,             // sleep between looks at a playing effect
    EFFECT_WAIT_SLACK_MS = 2000,         // how long past its own length an effect is waited for
    EFFECT_MAX_BYTES = 16 * 1024 * 1024, // larger effect files are refused unread
    EFFECT_MIN_RATE = 4000,              // sample rates the mixer converts safely
    EFFECT_MAX_RATE = 192000,
    EFFECT_MAX_MS = 10000,       // longer effects would hold the game (and memory) for too long
    WAV_FORMAT_PCM = 1,          // sample encodings accepted: plain PCM,
    WAV_FORMAT_MS_ADPCM = 2,     // Microsoft's ADPCM
    WAV_FORMAT_IMA_ADPCM = 0x11, // and IMA's ADPCM
    MS_ADPCM_FORMAT_BYTES = 50,  // format chunk up to its seven coefficient pairs
    MS_ADPCM_COEFFICIENTS = 7,   // pairs a block's predictor may name
    AUDIO_RATE = 22050,          // samples per second
    AUDIO_CHANNELS = 2,
    AUDIO_BUFFER = 4096, // samples the mixer fills at a time
};

int channel = -1;
Mix_Chunk *effect_chunk = nullptr;
Mix_Music *current_music = nullptr;
char sound_path[32];
char music_name[19];
void (*effect_hook)(const char *name) = nullptr;

// Formats "<dir><name>" into sound_path; false (and an empty path) when the
// result would not fit, so nothing is loaded from a cut-off name.
static bool format_path(const char *dir, const char *name) {
    int length = snprintf(sound_path, sizeof sound_path, "%s%s", dir, name);
    if (length < 0 || (size_t)length >= sizeof sound_path) {
        sound_path[0] = '\0';
        return false;
    }
    return true;
}

// Whether the mixer's audio device is open: without it nothing can play.
static bool audio_is_open() {
    return Mix_QuerySpec(nullptr, nullptr, nullptr) != 0;
}

static uint32_t le16(const uint8_t *p) {
    return p[0] | (uint32_t)p[1] << 8;
}

static uint32_t le32(const uint8_t *p) {
    return le16(p) | le16(p + 2) << 16;
}

// Chunks the sound loader passes over before the format chunk.
static bool skipped_before_format(const uint8_t *id) {
    return !memcmp(id, "fact", 4) || !memcmp(id, "LIST", 4) || !memcmp(id, "bext", 4) ||
           !memcmp(id, "JUNK", 4);
}

// Sample frames that a data chunk of length bytes decodes to, or -1 when its
// format (a chunk of format_length bytes) is none the sound loader decodes
// safely: PCM of 8 or 16 bits, or Microsoft or IMA ADPCM, in one or two
// channels. ADPCM comes in blocks of a header per channel and 4-bit samples;
// a block size of 0 would divide by zero in the loader, and the samples per
// block must be exactly what a block holds, so that no decoder reads or
// writes past a block.
static int64_t effect_frames(const uint8_t *format, size_t format_length, size_t length) {
    uint32_t tag = le16(format);
    uint32_t channels = le16(format + 2);
    uint32_t bits = le16(format + 14);
    if (channels != 1 && channels != 2)
        return -1;
    if (tag == WAV_FORMAT_PCM)
        return bits == 8 || bits == 16 ? (int64_t)(length / (channels * bits / 8)) : -1;
    uint32_t block = le16(format + 12);
    uint32_t per_block = format_length >= 20 ? le16(format + 18) : 0;
    uint32_t head = (tag == WAV_FORMAT_MS_ADPCM ? 7 : 4) * channels;
    if (bits != 4 || block <= head)
        return -1;
    uint32_t holds = 2 * (block - head) / channels;
    if (tag == WAV_FORMAT_MS_ADPCM) {
        // Two samples of each channel come whole in the block's header.
        if (format_length < MS_ADPCM_FORMAT_BYTES || le16(format + 20) != MS_ADPCM_COEFFICIENTS ||
            per_block != holds + 2)
            return -1;
    } else if (tag == WAV_FORMAT_IMA_ADPCM) {
        // One sample comes in the header; the rest in groups of eight.
        if ((block - head) % (4 * channels) != 0 || per_block != holds + 1)
            return -1;
    } else {
        return -1;
    }
    return (int64_t)(length / block) * per_block;
}

// Whether every whole block of Microsoft ADPCM data names one of the
// format's seven coefficient pairs for each channel. The loader refuses a
// block that does not, and then keeps the buffer it decoded into.
static bool ms_adpcm_predictors_ok(const uint8_t *format, const uint8_t *data, size_t length) {
    uint32_t channels = le16(format + 2);
    uint32_t block = le16(format + 12);
    for (size_t at = 0; block > 0 && length - at >= block; at += block)
        for (uint32_t c = 0; c < channels; c++)
            if (data[at + c] >= MS_ADPCM_COEFFICIENTS)
                return false;
    return true;
}

int effect_header_ok(const uint8_t *bytes, size_t size) {
    if (size < 12 || memcmp(bytes, "RIFF", 4) != 0 || memcmp(bytes + 8, "WAVE", 4) != 0)
        return 0;
    // Chunks are walked as the sound loader walks them: one after another,
    // without padding. Every chunk must lie inside the file.
    size_t at = 12;
    const uint8_t *format = nullptr;
    size_t format_length = 0;
    while (at + 8 <= size) {
        const uint8_t *id = bytes + at;
        size_t length = le32(bytes + at + 4);
        size_t body = at + 8;
        if (length > size - body)
            return 0;
        if (!format) {
            if (memcmp(id, "fmt ", 4) == 0) {
                if (length < 16)
                    return 0;
                format = bytes + body;
                format_length = length;
            } else if (!skipped_before_format(id)) {
                return 0;
            }
        } else if (memcmp(id, "data", 4) == 0) {
            // An encoding the loader decodes safely, at a rate the conversion
            // to the device handles, and at most EFFECT_MAX_MS long: anything
            // else (other encodings and depths, 0 or many channels, rates so
            // far from the device's that the conversion overruns its filter
            // table) is refused.
            uint32_t rate = le32(format + 4);
            int64_t frames = effect_frames(format, format_length, length);
            if (frames < 0 || rate < EFFECT_MIN_RATE || rate > EFFECT_MAX_RATE)
                return 0;
            if (le16(format) == WAV_FORMAT_MS_ADPCM &&
                !ms_adpcm_predictors_ok(format, bytes + body, length))
                return 0;
            return (uint64_t)frames * 1000 <= (uint64_t)rate * EFFECT_MAX_MS;
        }
        at = body + length;
    }
    return 0;
}

// Reads the effect file whole into memory; null when it cannot be read, is a
// pipe, a device or a socket, is larger than EFFECT_MAX_BYTES or fails the
// header check.
static uint8_t *read_effect(const char *path, size_t *size) {
    int fd = open_asset_file(path);
    if (fd < 0)
        return nullptr;
    struct stat st;
    uint8_t *bytes = nullptr;
    if (fstat(fd, &st) == 0 && st.st_size <= EFFECT_MAX_BYTES)
        bytes = (uint8_t *)malloc(st.st_size > 0 ? st.st_size : 1);
    size_t got = 0;
    while (bytes && got < (size_t)st.st_size) {
        ssize_t n = read(fd, bytes + got, st.st_size - got);
        if (n <= 0)
            break;
        got += n;
    }
    close(fd);
    if (bytes && !effect_header_ok(bytes, got)) {
        free(bytes);
        bytes = nullptr;
    }
    *size = got;
    return bytes;
}

void play_effect(const char *name) {
    if (effect_hook)
        effect_hook(name);
    channel = -1;
    if (!format_path("data/sound/", name))
        return;
    // Without an audio device, or without a file that passes the checks,
    // there is no chunk and nothing to wait for; without a device the file
    // is not even read. It is read anew on every play.
    if (!audio_is_open())
        return;
    size_t size;
    uint8_t *bytes = read_effect(sound_path, &size);
    if (!bytes)
        return;
    effect_chunk = Mix_LoadWAV_RW(SDL_RWFromConstMem(bytes, (int)size), 1);
    free(bytes);
    if (!effect_chunk)
        return;
    channel = Mix_PlayChannelTimed(-1, effect_chunk, 0, -1);
    // The game waits for its effects, asleep in short steps until the mixer
    // reports the channel idle, so the processor is free for the mixer. A
    // device that fails while playing (a write error stops SDL's audio
    // thread for good) would leave the channel busy for ever: past the
    // effect's own length and some slack, the channel is halted instead.
    int frequency = AUDIO_RATE, channels = AUDIO_CHANNELS;
    Uint16 format = AUDIO_S16LSB;
    Mix_QuerySpec(&frequency, &format, &channels);
    Uint32 bytes_per_ms = (Uint32)frequency * (Uint32)channels * 2 / 1000;
    Uint32 length_ms = effect_chunk->alen / (bytes_per_ms ? bytes_per_ms : 1);
    Uint32 started = SDL_GetTicks();
    while (channel >= 0 && Mix_Playing(channel)) {
        if (SDL_GetTicks() - started > length_ms + EFFECT_WAIT_SLACK_MS) {
            Mix_HaltChannel(channel);
            break;
        }
        SDL_Delay(EFFECT_WAIT_STEP_MS);
    }
    // The chunk is finished with; release it so chunks do not pile up.
    Mix_FreeChunk(effect_chunk);
    effect_chunk = nullptr;
}

void play_music(const char *name) {
    Mix_HaltMusic();
    if (current_music) {
        Mix_FreeMusic(current_music);
        current_music = nullptr;
    }
    if (!format_path("data/sound/music/", name))
        return;
    // Without an audio device the mixer refuses to load, and would keep the
    // source it was handed open: no source is opened then.
    if (!audio_is_open())
        return;
    // The mixer reads the piece from a source opened here, so that a pipe
    // or a device in its place is refused as a missing file is.
    SDL_RWops *source = open_asset_source(sound_path);
    if (source)
        current_music = Mix_LoadMUSType_RW(source, MUS_MID, 1);
    if (current_music)
        Mix_PlayMusic(current_music, -1);
}

void open_audio() {
    if (Mix_OpenAudio(AUDIO_RATE, AUDIO_S16LSB, AUDIO_CHANNELS, AUDIO_BUFFER) != 0)
        fprintf(stderr, "Couldn't initialize audio: %s\n", SDL_GetError());
}

void close_audio() {
    Mix_CloseAudio();
}
