// The soak run: the real game, in-process on SDL's dummy video driver with
// effects on a real mixer device, plays a long random sequence of actions
// through its main loop. The process's resident memory after the first
// 1,000 actions and at the end must lie within 1 MiB of each other.
//
//   soak_game [ACTIONS [SEED [DATA_DIR]]]   (defaults: 100000, 1, data)
//   soak_game switches N [DATA_DIR]         (N background switches with music)
//
// Exits 1 when the memory moved by more than 1 MiB. Run from the build
// folder by scripts/soak.sh.
#include "app/app.h"
#include "play_script.h"

#include <SDL.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

// Background switches only, with music: each one loads and frees the next
// background's music. Prints the resident memory after the first cycle of
// backgrounds and at the end; the mixer's MIDI loader keeps a copy of every
// file it loads (with FluidSynth), so this reports and does not judge.
static int soak_switches(long switches, const char *data) {
    if (enter_sandbox(data, true) != 0)
        return 3;
    start_up();
    const ActionMix mix = {0, 0, 0, 0, 0, 0, 1000};
    ScriptStats stats = {};
    uint32_t rng = 1;
    long at_mark = -1;
    while (stats.actions < switches) {
        queue_random_action(&rng, &mix, &stats);
        run_queued(&stats);
        if (stats.actions == 8)
            at_mark = resident_bytes();
    }
    long at_end = resident_bytes();
    printf("soak: %ld background switches with music; resident memory after 8 %ld KiB, at the "
           "end %ld KiB (%+ld KiB)\n",
           switches, at_mark / 1024, at_end / 1024, (at_end - at_mark) / 1024);
    return 0;
}

int main(int argc, char **argv) {
    if (argc > 2 && strcmp(argv[1], "switches") == 0) {
        use_quiet_devices("1");
        return soak_switches(atol(argv[2]), argc > 3 ? argv[3] : "data");
    }
    long actions = argc > 1 ? atol(argv[1]) : 100000;
    uint32_t rng = argc > 2 ? (uint32_t)strtoul(argv[2], nullptr, 0) : 1;
    const char *data = argc > 3 ? argv[3] : "data";
    if (rng == 0)
        rng = 1;
    use_quiet_devices("1");
    // No music files: a MIDI synthesiser rendering on the mixer thread would
    // make every effect wait for it, and the run would take far longer. The
    // music path still runs (each switch halts, frees and tries to load);
    // loading and freeing real music is the memory check's part.
    if (enter_sandbox(data, false) != 0)
        return 3;
    start_up();

    const ActionMix mix = {520, 80, 100, 80, 15, 5, 3};
    ScriptStats stats = {};
    const long mark = 1000;
    long at_mark = -1;
    Uint32 started = SDL_GetTicks();
    while (stats.actions < actions) {
        // One to three actions per drain, as a quick player gives them.
        int batch = 1 + (int)(rng % 3);
        for (int i = 0; i < batch && stats.actions < actions; ++i)
            queue_random_action(&rng, &mix, &stats);
        run_queued(&stats);
        if (at_mark < 0 && stats.actions >= mark)
            at_mark = resident_bytes();
        if (stats.actions % 10000 < (long)batch)
            fprintf(stderr, "soak: %ld actions, resident %ld KiB\n", stats.actions,
                    resident_bytes() / 1024);
    }
    release_held_keys(&stats);
    long at_end = resident_bytes();
    double seconds = (SDL_GetTicks() - started) / 1000.0;
    print_stats(&stats);
    printf("soak: %.1f s; resident memory after %ld actions %ld KiB, at the end %ld KiB "
           "(%+ld KiB)\n",
           seconds, mark, at_mark / 1024, at_end / 1024, (at_end - at_mark) / 1024);
    if (at_mark < 0 || at_end < 0) {
        printf("soak: cannot read /proc/self/statm\n");
        return 1;
    }
    long moved = at_end > at_mark ? at_end - at_mark : at_mark - at_end;
    if (moved > 1024 * 1024) {
        printf("soak: FAIL: resident memory moved by more than 1 MiB\n");
        return 1;
    }
    printf("soak: resident memory within 1 MiB\n");
    return 0;
}
