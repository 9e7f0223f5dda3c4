// Start-up, the main loop that turns input codes into game actions, and the
// hand-over to the handheld's launcher at exit.
#include "app/app.h"

#include "app/fatal.h"
#include "assets/cycle.h"
#include "assets/files.h"
#include "game/board.h"
#include "game/deal.h"
#include "game/play.h"
#include "gfx/display.h"
#include "gfx/draw.h"
#include "gfx/geometry.h"
#include "gfx/render.h"
#include "input/input.h"
#include "sound/sound.h"

#include <SDL.h>
#include <SDL_ttf.h>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/time.h>
#include <unistd.h>

unsigned char quit_requested;
TTF_Font *font;

enum {
    FONT_SIZE = 24,
    HISTORY_UNDO = 1,
    HISTORY_REDO = -1,
};

static const char FONT_PATH[] = "data/font/ariblk.ttf";
static const char LAUNCHER_DIR[] = "/usr/gp2x";
static const char LAUNCHER[] = "./gp2xmenu";

static void close_on_exec(int fd) {
    int flags = fcntl(fd, F_GETFD);
    if (flags >= 0 && !(flags & FD_CLOEXEC))
        fcntl(fd, F_SETFD, flags | FD_CLOEXEC);
}

// Marks every descriptor above standard error close-on-exec, so the launcher
// starts with none of the game's files (the font's file stays open until the
// end, for one). The list of open descriptors comes from /proc; without it,
// every possible descriptor number is tried.
static void keep_files_from_launcher() {
    DIR *dir = opendir("/proc/self/fd");
    if (dir) {
        while (dirent *entry = readdir(dir)) {
            int fd = atoi(entry->d_name);
            if (fd > 2 && fd != dirfd(dir))
                close_on_exec(fd);
        }
        closedir(dir);
        return;
    }
    long limit = sysconf(_SC_OPEN_MAX);
    for (long fd = 3; fd < limit; fd++)
        close_on_exec((int)fd);
}

void exit_to_launcher() {
    close_audio();
    SDL_Quit();
    // Without the launcher's folder there is nothing to start; a program of
    // that name in the current folder must not be run in its place.
    if (chdir(LAUNCHER_DIR) != 0)
        return;
    // The launcher replaces this process: buffered output would be lost, and
    // a start-up failure reported on a file or pipe would vanish with it.
    fflush(nullptr);
    keep_files_from_launcher();
    execl(LAUNCHER, LAUNCHER, (char *)nullptr);
}

void open_font() {
    // Opened here, not by the library, so that a pipe or a device in the
    // font's place is refused at once with the missing font's message.
    SDL_RWops *font_file = open_asset_source(FONT_PATH);
    font = font_file ? TTF_OpenFontRW(font_file, 1, FONT_SIZE) : nullptr;
    if (!font)
        fprintf(stderr, "Couldn't open font: %s\n", TTF_GetError());
}

void start_up() {
    tileset_index = -1;
    background_index = -1;

    timeval now;
    gettimeofday(&now, nullptr);
    srand((unsigned)(now.tv_sec + now.tv_usec));

    init_video(WORK_WIDTH, WORK_HEIGHT);
    atexit(exit_to_launcher);

    TTF_Init();
    open_font();

    int code = next_tile_set();
    if (code != 0) {
        printf("Failed to load a tile set, code %d\n", code);
        exit(EXIT_NO_TILE_SET);
    }

    shadow_mask = (uint8_t *)malloc(work_height * (work_width + 7) / 8);
    if (!shadow_mask)
        out_of_memory(NO_MEMORY_SHADOW_MASK);

    fill_rect(0, 0, work_width, work_height, 60, 84, 12);
    status_text = "Click on a tile";
    save_screen(0);
    // Both status lines are made ready over the background before the first
    // frame, so that the first selection costs what every later one does.
    for (const char *text : status_messages)
        prepare_status_line(text);
    deal_board();
}

// Acts on one input code popped from the queue.
static void dispatch(int32_t code, LoopState *state) {
    if (code & POINTER_BIT) {
        // A pointer record: the next two values are coordinates, not codes.
        // Records are queued whole, so both are already waiting.
        int32_t x = queue_pop();
        int32_t y = queue_pop();
        state->redraw |= click_tile(code, x, y);
        return;
    }
    switch (code) {
    case CODE_RETURN:
        deal_board();
        state->redraw = 1;
        break;
    case CODE_ESCAPE:
        quit_requested = 1;
        break;
    case CODE_F1:
        next_tile_set();
        state->redraw = 1;
        break;
    case CODE_F2:
        next_background();
        state->redraw = 1;
        break;
    case CODE_LEFT:
        state->history_action = HISTORY_UNDO;
        break;
    case CODE_RIGHT:
        state->history_action = HISTORY_REDO;
        break;
    default:
        break;
    }
}

void main_loop_pass(LoopState *state) {
    SDL_Delay(1);

    // The pump runs before every pop, so events that arrive while an action
    // runs (a blocking effect, say) join this same drain.
    poll_input();
    int32_t code = queue_pop();
    while (code >= 0) {
        dispatch(code, state);
        poll_input();
        code = queue_pop();
    }

    if (state->redraw) {
        render_board();
        present_frame();
    }

    if (state->history_action == HISTORY_UNDO)
        state->redraw = undo_pair();
    else if (state->history_action == HISTORY_REDO)
        state->redraw = redo_pair();
    else
        state->redraw = 0;
    state->history_action = 0;
}

int main_loop() {
    LoopState state = {1, 0};
    while (!quit_requested)
        main_loop_pass(&state);
    return EXIT_NORMAL;
}
