// Plays each of the game's songs in turn through the handheld build's static
// mixer, twice round, freeing each before the next is loaded, as background
// switches do; the instruments come from TIMIDITY_CFG or timidity.cfg in the
// working folder. Exits 0 when every song loaded and played, 1 otherwise.
// Run by tests/handheld/package.sh in the unpacked package.
#include <SDL.h>
#include <SDL_mixer.h>

#include <cstdio>

int main() {
    if (SDL_Init(SDL_INIT_AUDIO) != 0 || Mix_OpenAudio(22050, AUDIO_S16LSB, 2, 4096) != 0) {
        std::printf("handheld_music: no audio: %s\n", SDL_GetError());
        return 1;
    }
    for (int round = 0; round < 2; round++) {
        for (int song = 0; song < 4; song++) {
            char path[64];
            std::snprintf(path, sizeof path, "data/sound/music/bgm%d.mid", song);
            Mix_Music *music = Mix_LoadMUS(path);
            if (!music || Mix_PlayMusic(music, -1) != 0) {
                std::printf("handheld_music: %s: %s\n", path, Mix_GetError());
                return 1;
            }
            SDL_Delay(400);
            Mix_HaltMusic();
            Mix_FreeMusic(music);
        }
    }
    Mix_CloseAudio();
    SDL_Quit();
    std::printf("handheld_music: played and freed 8 songs\n");
    return 0;
}
