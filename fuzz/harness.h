// Shared by the fuzz harnesses: invariant checks and SDL set-up.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

// Aborts with the failed condition; libFuzzer and the replay driver both
// treat the abort as a crash and keep the input.
#define HARNESS_CHECK(cond)                                                                        \
    do {                                                                                           \
        if (!(cond)) {                                                                             \
            fprintf(stderr, "%s:%d: invariant failed: %s\n", __FILE__, __LINE__, #cond);           \
            abort();                                                                               \
        }                                                                                          \
    } while (0)

// The fuzzer's input read a byte at a time; past its end every byte is 0.
struct FuzzBytes {
    const uint8_t *data;
    size_t size;
    size_t at;
};
int next_byte(FuzzBytes *r);

// Starts the game's display on SDL's dummy video driver without an audio
// device, so effects return at once and nothing reaches a real screen.
void harness_start_display();
// Starts the display on SDL's dummy video driver with a real mixer device:
// the disk audio driver writing to /dev/null with no pause between buffers,
// so effects are loaded, converted and mixed whole, and end at once.
void harness_start_audio();
