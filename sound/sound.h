// Blocking sound effects and looping music.
#pragma once
#include <cstddef>
#include <cstdint>

// The mixer's handle types, declared here so that callers need no SDL header.
struct Mix_Chunk;
typedef struct _Mix_Music Mix_Music;

extern int channel;                           // mixer channel of the last effect, -1 if none
extern Mix_Chunk *effect_chunk;               // sample of the effect now playing, or null
extern Mix_Music *current_music;              // the looping music, or null
extern char sound_path[32];                   // full path of the file being loaded
extern char music_name[19];                   // music file name of the current background
extern void (*effect_hook)(const char *name); // if set, told of every effect played (tests)

// Opens the audio device for the effects and the music, or reports why not
// and carries on without sound.
void open_audio();
// Closes the audio device; run at exit.
void close_audio();
// Plays "data/sound/<name>" once and returns when it has finished; a pipe, a
// device or a socket, or a file that fails effect_header_ok, plays nothing.
void play_effect(const char *name);
// Replaces the music with "data/sound/music/<name>", looping for ever.
void play_music(const char *name);
// 1 when bytes hold a WAV file the mixer converts safely: PCM of 8 or 16
// bits or Microsoft or IMA ADPCM with whole blocks, one or two channels,
// 4000 to 192000 Hz, at most 10 s long, every chunk inside the file; else 0.
int effect_header_ok(const uint8_t *bytes, size_t size);
