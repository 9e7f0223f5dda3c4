// Blocking sound effects and looping music over the mixer.
#include "sound/sound.h"
#include <SDL.h>
#include <SDL_mixer.h>
#include <cstdio>

enum {
    EFFECT_WAIT_STEP_MS = 1, // sleep between looks at a playing effect
    AUDIO_RATE = 22050,      // samples per second
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

void play_effect(const char *name) {
    if (effect_hook)
        effect_hook(name);
    channel = -1;
    if (!format_path("data/sound/", name))
        return;
    // Without an audio device or the file there is no chunk and nothing to wait for.
    SDL_RWops *file = SDL_RWFromFile(sound_path, "rb");
    if (!file)
        return;
    effect_chunk = Mix_LoadWAV_RW(file, 1);
    if (!effect_chunk)
        return;
    channel = Mix_PlayChannelTimed(-1, effect_chunk, 0, -1);
    // The game waits for its effects, asleep in short steps until the mixer
    // reports the channel idle, so the processor is free for the mixer.
    while (channel >= 0 && Mix_Playing(channel))
        SDL_Delay(EFFECT_WAIT_STEP_MS);
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
    current_music = Mix_LoadMUS(sound_path);
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
