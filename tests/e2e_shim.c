/* Preloaded into the game by the end-to-end test.
 *
 * gettimeofday: when JT_FIXED_TIME holds a number of seconds, the first call
 * made by the game's own code returns that time with 0 microseconds, so the
 * game seeds its random generator with a known value and deals a known game.
 * All other calls pass through (libraries read the clock before main runs).
 * The game's code is told apart by SDL_videofd, which only the executable
 * exports.
 *
 * SDL_UpdateRect and SDL_UpdateRects: after each call, one line is appended
 * to the file named by JT_FRAME_LOG, so the test can count presented frames
 * (whole or in parts). A call SDL makes from one to the other counts once.
 */
#ifndef _GNU_SOURCE
#define _GNU_SOURCE
#endif
#include <SDL.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/time.h>
#include <unistd.h>

static int time_fixed;

/* Whether code at address lies in the executable rather than a library. */
static int in_program(void *address) {
    Dl_info caller, program;
    void *anchor = dlsym(RTLD_DEFAULT, "SDL_videofd");
    return anchor && dladdr(address, &caller) && dladdr(anchor, &program) &&
           caller.dli_fbase == program.dli_fbase;
}

int gettimeofday(struct timeval *restrict tv, void *restrict tz) {
    static int (*real)(struct timeval *, void *);
    if (!time_fixed && in_program(__builtin_return_address(0))) {
        const char *fixed = getenv("JT_FIXED_TIME");
        time_fixed = 1;
        if (fixed) {
            tv->tv_sec = strtol(fixed, NULL, 10);
            tv->tv_usec = 0;
            return 0;
        }
    }
    if (!real)
        real = (int (*)(struct timeval *, void *))dlsym(RTLD_NEXT, "gettimeofday");
    return real(tv, tz);
}

static int updating;

/* One line in the frame log per presented frame. */
static void log_frame(void) {
    static int log_fd = -2;
    if (log_fd == -2) {
        const char *path = getenv("JT_FRAME_LOG");
        log_fd = path ? open(path, O_WRONLY | O_CREAT | O_APPEND, 0644) : -1;
    }
    if (log_fd >= 0 && write(log_fd, "frame\n", 6) != 6)
        log_fd = -1;
}

void SDL_UpdateRect(SDL_Surface *surface, Sint32 x, Sint32 y, Uint32 w, Uint32 h) {
    static void (*real)(SDL_Surface *, Sint32, Sint32, Uint32, Uint32);
    if (!real)
        real = (void (*)(SDL_Surface *, Sint32, Sint32, Uint32, Uint32))dlsym(RTLD_NEXT,
                                                                              "SDL_UpdateRect");
    int outer = !updating;
    updating = 1;
    real(surface, x, y, w, h);
    if (outer) {
        updating = 0;
        log_frame();
    }
}

void SDL_UpdateRects(SDL_Surface *surface, int count, SDL_Rect *rects) {
    static void (*real)(SDL_Surface *, int, SDL_Rect *);
    if (!real)
        real = (void (*)(SDL_Surface *, int, SDL_Rect *))dlsym(RTLD_NEXT, "SDL_UpdateRects");
    int outer = !updating;
    updating = 1;
    real(surface, count, rects);
    if (outer) {
        updating = 0;
        log_frame();
    }
}
