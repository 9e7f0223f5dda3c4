// Plays the whole game in-process through SDL's event queue and the real
// main loop; see play_script.h.
#include "play_script.h"

#include "app/app.h"
#include "game/board.h"
#include "game/freedom.h"
#include "gfx/geometry.h"
#include "input/input_internal.h"
#include "events.h"
#include "tile_points.h"
#include "wav_write.h"

#include <SDL.h>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

std::string sandbox;
// Display-sized keys held down by the script (never keys that act).
SDLKey held[4];
int held_count_script;
LoopState loop_state = {1, 0};

uint32_t next_random(uint32_t *state) {
    // xorshift32: fast, and the same sequence on every machine.
    uint32_t x = *state;
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    *state = x;
    return x;
}

int below(uint32_t *rng, int n) {
    return (int)(next_random(rng) % (uint32_t)n);
}

int write_bytes(const std::string &path, const uint8_t *bytes, size_t n) {
    FILE *f = fopen(path.c_str(), "wb");
    if (!f)
        return -1;
    size_t put = fwrite(bytes, 1, n, f);
    return fclose(f) == 0 && put == n ? 0 : -1;
}

// A short MIDI piece: one soft note, then a long rest before it loops, so
// that the mixer's synthesiser has next to nothing to do.
int write_tiny_midi(const std::string &path, int note) {
    const uint8_t bytes[] = {
        'M',  'T',  'h',
        'd',  0,    0,
        0,    6,    0,
        0,    0,    1,
        0,    96, // format 0, one track, 96 per beat
        'M',  'T',  'r',
        'k',  0,    0,
        0,    16,      // 16 bytes of events
        0x00, 0xC0, 0, // piano
        0x00, 0x90, (uint8_t)note,
        0x30, // note on
        0x30, 0x80, (uint8_t)note,
        0x30, // off after half a beat
        0x8C, 0x00, 0xFF,
        0x2F, 0x00, // 16 beats later: end of track
    };
    return write_bytes(path, bytes, sizeof bytes);
}

void remove_sandbox() {
    if (sandbox.empty())
        return;
    const char *files[] = {"data/image",
                           "data/font",
                           "data/sound/snd0.wav",
                           "data/sound/snd1.wav",
                           "data/sound/music/bgm0.mid",
                           "data/sound/music/bgm2.mid"};
    for (const char *f : files)
        unlink((sandbox + "/" + f).c_str());
    const char *dirs[] = {"data/sound/music", "data/sound", "data", ""};
    for (const char *d : dirs)
        rmdir((sandbox + "/" + d).c_str());
}

void push_key(SDLKey sym, SDLMod mod, Uint8 type) {
    SDL_Event e = key_event(type, sym, mod);
    SDL_PushEvent(&e);
}

void tap_key(SDLKey sym, SDLMod mod) {
    push_key(sym, mod, SDL_KEYDOWN);
    push_key(sym, mod, SDL_KEYUP);
}

void push_joy_button(uint32_t *rng, int button) {
    SDL_Event e = joy_button_event(SDL_JOYBUTTONDOWN, (Uint8)button);
    SDL_PushEvent(&e);
    if (below(rng, 4)) {
        e = joy_button_event(SDL_JOYBUTTONUP, (Uint8)button);
        SDL_PushEvent(&e);
    }
}

// Presses and releases the pointer at a display point; sometimes moves there first.
void tap_pointer(uint32_t *rng, int x, int y) {
    SDL_Event e;
    if (below(rng, 4) == 0) {
        e = pointer_event(SDL_MOUSEMOTION, (Uint16)x, (Uint16)y, 0);
        SDL_PushEvent(&e);
    }
    Uint8 button = (Uint8)(1 + below(rng, 3));
    e = pointer_event(SDL_MOUSEBUTTONDOWN, (Uint16)x, (Uint16)y, button);
    SDL_PushEvent(&e);
    e = pointer_event(SDL_MOUSEBUTTONUP, (Uint16)x, (Uint16)y, button);
    SDL_PushEvent(&e);
}

// Presses a free tile: the partner of the selected tile when one is free
// (so that pairs do get removed), otherwise any free tile.
void click_free_tile(uint32_t *rng, ScriptStats *stats) {
    int free_now[BOARD_TILES];
    int n = free_tiles(free_now);
    if (n == 0) {
        tap_pointer(rng, below(rng, DISPLAY_WIDTH), below(rng, DISPLAY_HEIGHT));
        stats->other_clicks++;
        return;
    }
    int target = free_now[below(rng, n)];
    int selected = -1;
    for (int i = 0; i < BOARD_TILES; ++i)
        if (board.tiles[i].flags & TILE_SELECTED)
            selected = i;
    if (selected >= 0 && below(rng, 10) < 7) {
        for (int k = 0; k < n; ++k) {
            int t = free_now[k];
            if (t != selected && tiles_match(board.tiles[t].face, board.tiles[selected].face)) {
                target = t;
                break;
            }
        }
    }
    const Tile *t = &board.tiles[target];
    // Halved, as the display reports it; doubled back it stays on the tile.
    tap_pointer(rng, (t->screen_x + 4 + below(rng, 32)) / 2,
                (t->screen_y + 4 + below(rng, 38)) / 2);
    stats->tile_clicks++;
}

SDLMod random_mod(uint32_t *rng) {
    static const int mods[] = {KMOD_NONE,  KMOD_NONE, KMOD_NONE, KMOD_LSHIFT,
                               KMOD_RCTRL, KMOD_LALT, KMOD_CAPS, KMOD_LSHIFT | KMOD_RALT};
    return (SDLMod)mods[below(rng, 8)];
}

// Any key, mostly of the key table, with any modifiers; now and then held
// down across passes so that auto-repeat runs. Only letters are held: a
// held action key would repeat its action every 33 ms.
void random_key(uint32_t *rng, ScriptStats *stats) {
    stats->other_keys++;
    int choice = below(rng, 10);
    if (choice == 0) {
        // Joystick buttons, acting (undo, redo, looks, deal, quit) or not.
        push_joy_button(rng, below(rng, 20));
        return;
    }
    if (choice == 1 && held_count_script < 4) {
        SDLKey k = (SDLKey)(SDLK_a + below(rng, 26));
        push_key(k, KMOD_NONE, SDL_KEYDOWN);
        held[held_count_script++] = k;
        return;
    }
    if (choice == 2 && held_count_script > 0) {
        push_key(held[--held_count_script], KMOD_NONE, SDL_KEYUP);
        return;
    }
    SDLKey sym;
    if (choice < 8) {
        int rows = 0;
        while (key_map[rows].sym != 0xFFFFFF)
            ++rows;
        sym = (SDLKey)key_map[below(rng, rows)].sym;
    } else {
        sym = (SDLKey)below(rng, SDLK_LAST);
    }
    tap_key(sym, random_mod(rng));
}

} // namespace

int enter_sandbox(const char *data_dir, bool with_music) {
    char real[PATH_MAX];
    if (!realpath(data_dir, real)) {
        fprintf(stderr, "play_script: no data folder %s: %s\n", data_dir, strerror(errno));
        return -1;
    }
    std::string data = real;
    const char *tmp = getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/jt_script_XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (!mkdtemp(name.data())) {
        fprintf(stderr, "play_script: cannot make a working folder: %s\n", strerror(errno));
        return -1;
    }
    sandbox = name.data();
    atexit(remove_sandbox);

    // 10 ms of silence: each effect still goes through the mixer and its
    // wait, but holds the game only briefly.
    std::vector<double> silence(220, 0.0);
    bool ok = mkdir((sandbox + "/data").c_str(), 0755) == 0 &&
              mkdir((sandbox + "/data/sound").c_str(), 0755) == 0 &&
              mkdir((sandbox + "/data/sound/music").c_str(), 0755) == 0 &&
              symlink((data + "/image").c_str(), (sandbox + "/data/image").c_str()) == 0 &&
              symlink((data + "/font").c_str(), (sandbox + "/data/font").c_str()) == 0 &&
              write_wav_stereo((sandbox + "/data/sound/snd0.wav").c_str(), 22050, silence) == 0 &&
              write_wav_stereo((sandbox + "/data/sound/snd1.wav").c_str(), 22050, silence) == 0 &&
              (!with_music || (write_tiny_midi(sandbox + "/data/sound/music/bgm0.mid", 60) == 0 &&
                               write_tiny_midi(sandbox + "/data/sound/music/bgm2.mid", 67) == 0));
    if (!ok || chdir(sandbox.c_str()) != 0) {
        fprintf(stderr, "play_script: cannot fill %s: %s\n", sandbox.c_str(), strerror(errno));
        return -1;
    }
    return 0;
}

void queue_random_action(uint32_t *rng, const ActionMix *mix, ScriptStats *stats) {
    stats->actions++;
    int r = below(rng, 1000);
    if ((r -= mix->tile_clicks) < 0) {
        click_free_tile(rng, stats);
    } else if ((r -= mix->other_clicks) < 0) {
        tap_pointer(rng, below(rng, DISPLAY_WIDTH), below(rng, DISPLAY_HEIGHT));
        stats->other_clicks++;
    } else if ((r -= mix->undos) < 0) {
        if (below(rng, 3) == 0)
            push_joy_button(rng, JOY_LEFT);
        else
            tap_key(SDLK_LEFT, KMOD_NONE);
        stats->undos++;
    } else if ((r -= mix->redos) < 0) {
        if (below(rng, 3) == 0)
            push_joy_button(rng, JOY_RIGHT);
        else
            tap_key(SDLK_RIGHT, KMOD_NONE);
        stats->redos++;
    } else if ((r -= mix->deals) < 0) {
        tap_key(SDLK_RETURN, KMOD_NONE);
        stats->deals++;
    } else if ((r -= mix->tile_sets) < 0) {
        tap_key(SDLK_F1, KMOD_NONE);
        stats->tile_sets++;
    } else if ((r -= mix->backgrounds) < 0) {
        push_joy_button(rng, JOY_F2);
        stats->backgrounds++;
    } else {
        random_key(rng, stats);
    }
}

void run_queued(ScriptStats *stats) {
    // A pass drains everything queued; one with nothing left to draw
    // afterwards (an undo or redo is drawn by the pass after it) ends the run.
    do {
        int before = board.move_count;
        main_loop_pass(&loop_state);
        stats->passes++;
        if (board.move_count > before)
            stats->removals += (board.move_count - before) / 2;
    } while (loop_state.redraw);
    quit_requested = 0;
}

void release_held_keys(ScriptStats *stats) {
    while (held_count_script > 0)
        push_key(held[--held_count_script], KMOD_NONE, SDL_KEYUP);
    run_queued(stats);
}

long resident_bytes() {
    FILE *f = fopen("/proc/self/statm", "r");
    if (!f)
        return -1;
    long size = 0;
    long resident = -1;
    if (fscanf(f, "%ld %ld", &size, &resident) != 2)
        resident = -1;
    fclose(f);
    return resident < 0 ? -1 : resident * sysconf(_SC_PAGESIZE);
}

void print_stats(const ScriptStats *s) {
    printf("actions %ld: tile clicks %ld, other pointer %ld, undo %ld, redo %ld, deals %ld, "
           "tile sets %ld, backgrounds %ld, other keys and buttons %ld; main-loop passes %ld; "
           "pairs removed by matches and redos %ld\n",
           s->actions, s->tile_clicks, s->other_clicks, s->undos, s->redos, s->deals, s->tile_sets,
           s->backgrounds, s->other_keys, s->passes, s->removals);
}

void use_quiet_devices(const char *delay_ms) {
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    setenv("SDL_AUDIODRIVER", "disk", 0);
    setenv("SDL_DISKAUDIOFILE", "/dev/null", 0);
    setenv("SDL_DISKAUDIODELAY", delay_ms, 0);
}
