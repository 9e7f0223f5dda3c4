// A scripted game for the memory check: starts the real game on SDL's
// dummy video driver and plays a fixed, seeded sequence of actions through
// the main loop, every kind of action included: presses on free tiles that
// remove pairs, presses elsewhere, undo, redo, deals, tile-set and
// background switches, and keys and buttons the game ignores.
//
//   memcheck_game [ACTIONS [DATA_DIR]]      (defaults: 600, data)
//
// Run from the build folder under valgrind by scripts/memcheck.sh.
#include "app/app.h"
#include "play_script.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv) {
    long actions = argc > 1 ? atol(argv[1]) : 600;
    const char *data = argc > 2 ? argv[2] : "data";
    use_quiet_devices("2");
    if (enter_sandbox(data, true) != 0)
        return 3;
    start_up();

    // Switches and deals far more often than a player would, so that a few
    // hundred actions load and free every picture and music many times.
    const ActionMix mix = {450, 80, 120, 90, 40, 40, 30};
    uint32_t rng = 0x5eed1e55u;
    ScriptStats stats = {};
    while (stats.actions < actions) {
        queue_random_action(&rng, &mix, &stats);
        run_queued(&stats);
    }
    release_held_keys(&stats);
    print_stats(&stats);
    return 0;
}
