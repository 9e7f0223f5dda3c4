/* Preloaded into the game by the hand-off test (handoff.sh).
 *
 * Mix_CloseAudio, SDL_Quit, chdir and execl: each call appends one line to
 * the file named by JT_CALL_LOG ("Mix_CloseAudio", "SDL_Quit",
 * "chdir PATH", "execl PATH ARG..."), written at once, so the log survives
 * the process being replaced. All calls then go on as usual, except that
 * chdir("/usr/gp2x") goes to JT_LAUNCHER_ROOT/usr/gp2x when that variable is
 * set, so a stand-in launcher runs instead of the handheld's, and execl
 * drops LD_PRELOAD from the launcher's environment.
 *
 * malloc and calloc: when JT_FAIL_ALLOC holds a size, the first request of
 * exactly that many bytes made by the game's own code (not by a library)
 * returns null. The game's code is told apart by SDL_videofd, which only
 * the executable exports.
 */
#ifndef _GNU_SOURCE
#define _GNU_SOURCE
#endif
#include <dlfcn.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

void *__libc_malloc(size_t size);
void *__libc_calloc(size_t count, size_t size);

static void log_call(const char *line) {
    const char *path = getenv("JT_CALL_LOG");
    if (!path)
        return;
    int fd = open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    size_t length = strlen(line);
    if (write(fd, line, length) != (ssize_t)length || write(fd, "\n", 1) != 1)
        _exit(99);
    close(fd);
}

static void *next(const char *name) {
    void *real = dlsym(RTLD_NEXT, name);
    if (!real) {
        log_call("shim: a real function is missing");
        _exit(98);
    }
    return real;
}

void Mix_CloseAudio(void) {
    log_call("Mix_CloseAudio");
    ((void (*)(void))next("Mix_CloseAudio"))();
}

void SDL_Quit(void) {
    log_call("SDL_Quit");
    ((void (*)(void))next("SDL_Quit"))();
}

int chdir(const char *path) {
    char line[4200];
    snprintf(line, sizeof line, "chdir %s", path);
    log_call(line);
    const char *root = getenv("JT_LAUNCHER_ROOT");
    char moved[4200];
    if (root && strcmp(path, "/usr/gp2x") == 0) {
        snprintf(moved, sizeof moved, "%s%s", root, path);
        path = moved;
    }
    return ((int (*)(const char *))next("chdir"))(path);
}

int execl(const char *path, const char *arg, ...) {
    char *argv[64];
    char line[4200];
    int n = 0;
    int used = snprintf(line, sizeof line, "execl %s", path);
    va_list list;
    va_start(list, arg);
    for (const char *a = arg; a && n < 63; a = va_arg(list, const char *)) {
        argv[n++] = (char *)a;
        if (used > 0 && (size_t)used < sizeof line)
            used += snprintf(line + used, sizeof line - used, " %s", a);
    }
    va_end(list);
    argv[n] = NULL;
    log_call(line);
    unsetenv("LD_PRELOAD");
    return execv(path, argv);
}

/* Whether code at address lies in the executable rather than a library. */
static int in_program(void *address) {
    Dl_info caller, program;
    void *anchor = dlsym(RTLD_DEFAULT, "SDL_videofd");
    return anchor && dladdr(address, &caller) && dladdr(anchor, &program) &&
           caller.dli_fbase == program.dli_fbase;
}

static long fail_size = -1; /* -1: not read yet; 0: nothing to fail */

/* Whether this request is the one to refuse; it is refused only once. */
static int refuse(size_t size, void *caller) {
    if (fail_size < 0) {
        const char *text = getenv("JT_FAIL_ALLOC");
        fail_size = text ? strtol(text, NULL, 10) : 0;
    }
    if (fail_size <= 0 || size != (size_t)fail_size || !in_program(caller))
        return 0;
    fail_size = 0;
    log_call("allocation refused");
    return 1;
}

void *malloc(size_t size) {
    if (refuse(size, __builtin_return_address(0)))
        return NULL;
    return __libc_malloc(size);
}

void *calloc(size_t count, size_t size) {
    if (count && size <= (size_t)-1 / count && refuse(count * size, __builtin_return_address(0)))
        return NULL;
    return __libc_calloc(count, size);
}
