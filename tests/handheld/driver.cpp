// Plays the game running on the emulated handheld-class machine, from the
// host, through QEMU's QMP socket: screen dumps of the framebuffer, the PS/2
// mouse (relative moves from a homed corner) or a USB tablet (absolute
// taps), and keys.
//
// The deal is random there, so the board is read from the screen: each
// uncovered tile's face is the tile-set face whose pixels, at the layout's
// position, the dump shows most of. A copy of the game runs here without a
// display, given the faces read; the clicks sent to the machine are applied
// to it too, and every frame the machine shows must equal the reference
// frame of the test-support library composed from that copy (SDL's pointer
// arrow, drawn over the frame at the pointer, is left out). Faces under
// other tiles come into view as the game goes on and are read then. A dead
// end is backed out of with the game's own undo.
//
//   driver QMP-SOCKET PACKAGE-DIR mouse|tablet TIMEOUT OUT-DIR
//
// mouse: the whole deal, an undo and a redo from the keys, a new deal, the
// next tile set and background, Escape. tablet: the first pairs of the deal
// by absolute taps, then Escape. Frames that do not match are written to
// OUT-DIR as PNG pictures with the differing pixels in magenta.
#include "app/app.h"
#include "assets/cycle.h"
#include "assets/pcx.h"
#include "game/board.h"
#include "game/deal.h"
#include "game/freedom.h"
#include "game/play.h"
#include "gfx/display.h"
#include "gfx/geometry.h"
#include "gfx/render.h"
#include "input/input.h"
#include "png_write.h"
#include "reference_frame.h"
#include "tile_points.h"

#include <SDL.h>
#include <SDL_ttf.h>

#include <algorithm>
#include <bitset>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <set>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

const int W = DISPLAY_WIDTH, H = DISPLAY_HEIGHT;
const int ARROW = 16;       // SDL's pointer arrow: 16x16 from the pointer's position
const int MOUSE_STEP = 100; // the longest relative move sent at once, each way

std::string out_dir;
FILE *qmp_in;
int qmp_fd = -1;
int pointer_x = 0, pointer_y = 0;
int clicks = 0;
TTF_Font *own_font;

double now() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

[[noreturn]] void fail(const char *format, ...) {
    va_list args;
    va_start(args, format);
    fprintf(stdout, "driver: FAIL: ");
    vfprintf(stdout, format, args);
    fprintf(stdout, "\n");
    va_end(args);
    fflush(nullptr);
    _exit(1);
}

// --- QMP -----------------------------------------------------------------------

// Sends one command and returns its answer; events on the way are skipped.
std::string qmp(const std::string &command) {
    std::string line = command + "\n";
    if (write(qmp_fd, line.data(), line.size()) != (ssize_t)line.size())
        fail("cannot write to QMP");
    char buffer[65536];
    while (fgets(buffer, sizeof buffer, qmp_in)) {
        std::string answer = buffer;
        if (answer.find("\"return\"") != std::string::npos)
            return answer;
        if (answer.find("\"error\"") != std::string::npos)
            fail("QMP refused %s: %s", command.c_str(), answer.c_str());
    }
    fail("QMP closed during %s", command.c_str());
}

void connect_qmp(const char *path, double deadline) {
    while (true) {
        qmp_fd = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address = {};
        address.sun_family = AF_UNIX;
        snprintf(address.sun_path, sizeof address.sun_path, "%s", path);
        if (connect(qmp_fd, (sockaddr *)&address, sizeof address) == 0)
            break;
        close(qmp_fd);
        if (now() > deadline)
            fail("no QMP socket at %s", path);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    qmp_in = fdopen(dup(qmp_fd), "r");
    char greeting[4096];
    if (!fgets(greeting, sizeof greeting, qmp_in) || !strstr(greeting, "QMP"))
        fail("no QMP greeting");
    qmp("{\"execute\":\"qmp_capabilities\"}");
}

void monitor(const std::string &command) {
    qmp("{\"execute\":\"human-monitor-command\",\"arguments\":{\"command-line\":\"" + command +
        "\"}}");
}

// --- the screen ------------------------------------------------------------------

// The framebuffer as 5-6-5 colour values (the dump's 8-bit components carry
// the framebuffer's 16-bit ones in their top bits); empty while the screen
// is not 320x240 (the board's own display before the kernel sets the mode).
std::string screen_size;
std::vector<uint16_t> dump() {
    std::string path = out_dir + "/dump.ppm";
    qmp("{\"execute\":\"screendump\",\"arguments\":{\"filename\":\"" + path + "\"}}");
    FILE *in = fopen(path.c_str(), "rb");
    if (!in)
        fail("no screen dump");
    int width = 0, height = 0, max = 0;
    if (fscanf(in, "P6 %d %d %d", &width, &height, &max) != 3 || fgetc(in) == EOF || max != 255)
        fail("the screen dump is not a PPM picture");
    screen_size = std::to_string(width) + "x" + std::to_string(height);
    if (width != W || height != H) {
        fclose(in);
        return {};
    }
    std::vector<uint8_t> rgb(W * H * 3);
    if (fread(rgb.data(), 1, rgb.size(), in) != rgb.size())
        fail("the screen dump is cut short");
    fclose(in);
    std::vector<uint16_t> pixels(W * H);
    for (int i = 0; i < W * H; i++)
        pixels[i] =
            (uint16_t)((rgb[3 * i] >> 3) << 11 | (rgb[3 * i + 1] >> 2) << 5 | rgb[3 * i + 2] >> 3);
    return pixels;
}

bool under_arrow(int x, int y) {
    return x >= pointer_x && x < pointer_x + ARROW && y >= pointer_y && y < pointer_y + ARROW;
}

// Pixels that differ outside the pointer's arrow.
int differing(const std::vector<uint16_t> &a, const std::vector<uint16_t> &b) {
    int count = 0;
    for (int y = 0; y < H; y++)
        for (int x = 0; x < W; x++)
            count += a[y * W + x] != b[y * W + x] && !under_arrow(x, y);
    return count;
}

// The display the copy of the game must show now, composed by the reference.
std::vector<uint16_t> expected() {
    if (!background_is_reference())
        fail("the copy's background is not the picture it should be");
    std::vector<uint16_t> frame, display;
    reference_frame(frame, own_font);
    reference_display(frame, display);
    return display;
}

// Writes a dump as OUT-DIR/<name>.png, with the pixels that differ from
// want (when given) in magenta.
void write_picture(const std::string &name, const std::vector<uint16_t> &shot,
                   const std::vector<uint16_t> *want) {
    std::vector<uint8_t> rgb(W * H * 3);
    for (int i = 0; i < W * H; i++) {
        uint16_t v = shot[i];
        bool differs = want && v != (*want)[i] && !under_arrow(i % W, i / W);
        rgb[3 * i] = differs ? 255 : (uint8_t)((v >> 11) << 3);
        rgb[3 * i + 1] = differs ? 0 : (uint8_t)(((v >> 5) & 63) << 2);
        rgb[3 * i + 2] = differs ? 255 : (uint8_t)((v & 31) << 3);
    }
    mkdir(out_dir.c_str(), 0755);
    write_png_rgb((out_dir + "/" + name + ".png").c_str(), W, H, rgb.data());
}

// --- reading the board -------------------------------------------------------------

// Whether some tile still on the board lies over part of tile t.
bool covered(int t) {
    const Tile &a = board.tiles[t];
    for (const Tile &b : board.tiles)
        if (!(b.flags & TILE_REMOVED) && b.layer > a.layer && abs(b.col - a.col) < 2 &&
            abs(b.row - a.row) < 2)
            return true;
    return false;
}

// Of the faces of the tile set, the one whose pixels the screen shows most
// of at tile t's face (drawn at the layout's position: 40x46 work pixels
// from (x - 2, y + 2), the display showing every other one); a pixel in a
// neighbour's shadow counts in its shaded colour. -1 when none shows at all.
// *clear tells whether that face stands out: shown in seven tenths of the
// pixels in view (a neighbour's walls and the arrow may hide the rest) and
// in twenty more than any other face (faces share their ground colour).
int read_face(const std::vector<uint16_t> &shot, int t, bool *clear) {
    const Tile &tile = board.tiles[t];
    long fx = tile.col * TILE_STEP_X + tile.layer * LAYER_SHIFT + BOARD_LEFT - 2;
    long fy = tile.row * TILE_STEP_Y - tile.layer * LAYER_SHIFT + BOARD_TOP + 2;
    int best = -1, best_count = 0, second_count = 0, in_view = 0;
    for (int face = 0; face < FACE_COUNT; face++) {
        long cell_x = CELL_W * (face % FACES_ACROSS), cell_y = CELL_H * (face / FACES_ACROSS);
        if (cell_x + FACE_W > tile_image.width || cell_y + FACE_H > tile_image.height)
            continue;
        int count = 0;
        in_view = 0;
        for (long wy = fy + (fy & 1); wy < fy + FACE_H; wy += SAMPLING)
            for (long wx = fx + (fx & 1); wx < fx + FACE_W; wx += SAMPLING) {
                int x = (int)(wx / SAMPLING), y = (int)(wy / SAMPLING);
                if (x < 0 || y < 0 || x >= W || y >= H || under_arrow(x, y))
                    continue;
                in_view++;
                uint16_t p =
                    (uint16_t)
                        tile_image.palette[tile_image.pixels[(cell_y + wy - fy) * tile_image.width +
                                                             cell_x + wx - fx]];
                uint16_t got = shot[y * W + x];
                count += got == p || got == shade_table[p];
            }
        if (count > best_count) {
            second_count = best_count;
            best = face;
            best_count = count;
        } else if (count > second_count) {
            second_count = count;
        }
    }
    *clear = in_view > 0 && best_count * 10 >= in_view * 7 && best_count - second_count >= 20;
    return best;
}

// Reads every tile on the board not read for good yet. An uncovered tile's
// face is read for good once it shows clearly; a covered tile takes the
// best guess of its strip in view, read again each time.
std::vector<bool> known(BOARD_TILES);

// The display rectangle of tile t's face.
void face_rect(int t, int *x0, int *y0, int *x1, int *y1) {
    const Tile &tile = board.tiles[t];
    long fx = tile.col * TILE_STEP_X + tile.layer * LAYER_SHIFT + BOARD_LEFT - 2;
    long fy = tile.row * TILE_STEP_Y - tile.layer * LAYER_SHIFT + BOARD_TOP + 2;
    *x0 = (int)((fx + 1) / SAMPLING);
    *y0 = (int)((fy + 1) / SAMPLING);
    *x1 = (int)((fx + FACE_W + 1) / SAMPLING);
    *y1 = (int)((fy + FACE_H + 1) / SAMPLING);
}

int differing_in(const std::vector<uint16_t> &a, const std::vector<uint16_t> &b, int t) {
    int x0, y0, x1, y1, count = 0;
    face_rect(t, &x0, &y0, &x1, &y1);
    for (int y = std::max(y0, 0); y < std::min(y1, H); y++)
        for (int x = std::max(x0, 0); x < std::min(x1, W); x++)
            count += a[y * W + x] != b[y * W + x] && !under_arrow(x, y);
    return count;
}

std::vector<uint16_t> expected();

// A strip of a covered face, partly in shadow, may fit more than one face
// by its pixels; where the frame shows that the guess was wrong, each face
// is tried in the whole frame until the strip comes out right.
void mend_guesses(const std::vector<uint16_t> &shot, std::vector<uint16_t> &want) {
    for (int t = 0; t < board.tile_count; t++) {
        if ((board.tiles[t].flags & TILE_REMOVED) || known[t] || differing_in(shot, want, t) == 0)
            continue;
        int guess = board.tiles[t].face;
        for (int face = 0; face < FACE_COUNT; face++) {
            board.tiles[t].face = face;
            std::vector<uint16_t> tried = expected();
            if (differing_in(shot, tried, t) == 0) {
                want = tried;
                guess = face;
                break;
            }
        }
        board.tiles[t].face = guess;
    }
}

void read_board(const std::vector<uint16_t> &shot) {
    for (int t = 0; t < board.tile_count; t++) {
        if ((board.tiles[t].flags & TILE_REMOVED) || known[t])
            continue;
        bool clear = false;
        int face = read_face(shot, t, &clear);
        if (face >= 0)
            board.tiles[t].face = face;
        known[t] = clear && !covered(t);
    }
}

// Waits until the machine shows what the copy of the game shows now (the
// action was applied to both), reading faces as they come into view. The
// game draws straight into the framebuffer, so a dump may catch a frame
// half drawn: only a whole match counts.
void expect(const char *what, double seconds = 30) {
    double deadline = now() + seconds;
    while (true) {
        std::vector<uint16_t> shot = dump();
        if (shot.empty()) {
            if (now() > deadline)
                fail("%s: the screen is %s, not %dx%d", what, screen_size.c_str(), W, H);
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            continue;
        }
        read_board(shot);
        std::vector<uint16_t> want = expected();
        if (differing(shot, want) != 0)
            mend_guesses(shot, want);
        if (differing(shot, want) == 0) {
            // The start, the middle of the deal and the empty board are kept.
            if (!strcmp(what, "start") || !strcmp(what, "pair 36") || !strcmp(what, "empty board"))
                write_picture(what, shot, nullptr);
            return;
        }
        if (now() > deadline) {
            for (int t = 0; t < board.tile_count; t++)
                if (!(board.tiles[t].flags & TILE_REMOVED) && !covered(t) && !known[t])
                    printf("driver: tile %d (col %d row %d layer %d) cannot be read\n", t,
                           board.tiles[t].col, board.tiles[t].row, board.tiles[t].layer);
            write_picture(what, shot, &want);
            fail("%s: %d pixels differ from the reference frame after %.0f s (%s/%s.png)", what,
                 differing(shot, want), seconds, out_dir.c_str(), what);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

// --- input ---------------------------------------------------------------------------

bool tablet;

// Waits up to the given seconds until SDL's arrow shows at display point
// (x, y) and nowhere else: the screen differs from the frame only in the
// arrow's square there. False when it does not.
bool wait_arrow_at(int x, int y, double seconds) {
    std::vector<uint16_t> want = expected();
    double deadline = now() + seconds;
    pointer_x = x;
    pointer_y = y;
    while (true) {
        std::vector<uint16_t> shot = dump();
        int inside = 0, outside = 0;
        for (int i = 0; i < W * H && !shot.empty(); i++)
            if (shot[i] != want[i])
                (under_arrow(i % W, i / W) ? inside : outside)++;
        if (inside > 0 && outside == 0)
            return true;
        if (now() > deadline) {
            printf("driver: the pointer is not at (%d, %d): %d pixels differ there, %d elsewhere\n",
                   x, y, inside, outside);
            for (int i = 0, n = 0; i < W * H && n < 4; i++)
                if (shot[i] != want[i] && !under_arrow(i % W, i / W) && ++n)
                    printf("   (%d, %d) %04x want %04x\n", i % W, i / W, shot[i], want[i]);
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

int lost_moves = 0;

// Moves the PS/2 mouse by relative steps from the top-left corner to (x, y),
// each step reaching the game before the next is sent. QEMU keeps at most a
// few mouse packets queued for the guest and holds back the rest of a move
// until the next mouse event; a step that does not arrive is flushed with an
// empty move. False when the pointer still went astray.
bool move_mouse(int x, int y) {
    monitor("mouse_move -320 -240");
    if (!wait_arrow_at(0, 0, 3) && (monitor("mouse_move 0 0"), !wait_arrow_at(0, 0, 3)))
        return false;
    int at_x = 0, at_y = 0;
    while (at_x != x || at_y != y) {
        int dx = std::min(x - at_x, MOUSE_STEP), dy = std::min(y - at_y, MOUSE_STEP);
        monitor("mouse_move " + std::to_string(dx) + " " + std::to_string(dy));
        at_x += dx;
        at_y += dy;
        if (wait_arrow_at(at_x, at_y, 3))
            continue;
        lost_moves++;
        monitor("mouse_move 0 0");
        if (!wait_arrow_at(at_x, at_y, 3))
            return false;
    }
    return true;
}

// Presses the pointer at display point (x, y).
void tap(int x, int y) {
    if (tablet) {
        // The tablet's axes run 0..32767 over the whole screen: the middle
        // of pixel x's stretch. A position is absolute, so one that went
        // astray in QEMU's queue of tablet reports is simply sent again.
        int ax = (int)(((2L * x + 1) * 32768) / (2 * W)),
            ay = (int)(((2L * y + 1) * 32768) / (2 * H));
        std::string events =
            "{\"execute\":\"input-send-event\",\"arguments\":{\"events\":["
            "{\"type\":\"abs\",\"data\":{\"axis\":\"x\",\"value\":" +
            std::to_string(ax) +
            "}},{\"type\":\"abs\",\"data\":{\"axis\":\"y\",\"value\":" + std::to_string(ay) +
            "}}]}}";
        qmp(events);
        for (int attempt = 0; attempt < 3 && !wait_arrow_at(x, y, 2); attempt++) {
            lost_moves++;
            qmp(events);
        }
    } else {
        // Relative moves: home against the top-left corner, then the exact
        // distance; again from the corner, after a pause, while the pointer
        // goes astray (a machine slowed by a loaded host can lose a few).
        for (int attempt = 1; !move_mouse(x, y); attempt++) {
            if (attempt == 5)
                fail("the mouse could not be brought to (%d, %d)", x, y);
            std::this_thread::sleep_for(std::chrono::seconds(attempt));
        }
    }
    if (!wait_arrow_at(x, y, 10))
        fail("the pointer did not come to (%d, %d)", x, y);
    monitor("mouse_button 1");
    monitor("mouse_button 0");
    clicks++;
}

// Clicks tile t on the machine and in the copy; checks the frame.
void click(int t, const char *what) {
    int x, y;
    render_board(); // positions and flags for the hit test, as the game has them
    if (!press_point_for(t, &x, &y))
        fail("%s: no point reaches tile %d", what, t);
    tap(x, y);
    if (click_tile(POINTER_PRESS, SAMPLING * x, SAMPLING * y) != 1)
        fail("%s: the press on tile %d changes nothing in the copy", what, t);
    expect(what);
}

// Sends a key; the caller applies its action to the copy and expects.
void key(const char *name) {
    monitor(std::string("sendkey ") + name);
}

// --- the solver ----------------------------------------------------------------------

// Plans removals on what has been seen: a tile never seen uncovered may turn
// out to be any face, so in a plan it pairs with anything (hope), while
// seen tiles pair only by their faces. A state from which no removal order
// clears the board even so is dead for good (seeing more only takes hope
// away); the game's undo backs out of one.
typedef std::bitset<BOARD_TILES> Removed;
std::set<std::string> dead_states;
long plan_budget;
bool plan_cut;

Removed removed_now() {
    Removed r;
    for (int t = 0; t < BOARD_TILES; t++)
        r[t] = t >= board.tile_count || (board.tiles[t].flags & TILE_REMOVED);
    return r;
}

// Faces that match one another form a group of four tiles (each face four
// times; the flowers, and the seasons). A tile not seen yet is one of a
// group some tile of which has not been seen either.
int group_of(int face) {
    for (int f = 0; f < face; f++)
        if (tiles_match(f, face))
            return f;
    return face;
}

// What has been seen, counted once for a plan.
int tile_group[BOARD_TILES];
int unseen[FACE_COUNT];
bool two_unseen_alike;

void count_seen() {
    for (int g = 0; g < FACE_COUNT; g++)
        unseen[g] = group_of(g) == g ? 4 : 0;
    for (int t = 0; t < board.tile_count; t++) {
        tile_group[t] = group_of(board.tiles[t].face);
        if (known[t])
            unseen[tile_group[t]]--;
    }
    two_unseen_alike = false;
    for (int g = 0; g < FACE_COUNT; g++)
        two_unseen_alike = two_unseen_alike || unseen[g] >= 2;
}

bool pairs_with(int a, int b) {
    if (known[a] && known[b])
        return tile_group[a] == tile_group[b];
    if (known[a] || known[b])
        return unseen[tile_group[known[a] ? a : b]] > 0;
    return two_unseen_alike;
}

// A pair that cannot be wrong: every tile of its group has been seen, and
// all of them still on the board are free.
bool safe_pair(const Removed &r, const std::pair<int, int> &p, const std::vector<bool> &is_free) {
    if (!known[p.first] || !known[p.second])
        return false;
    int group = tile_group[p.first];
    if (unseen[group] != 0)
        return false;
    for (int t = 0; t < board.tile_count; t++)
        if (!r[t] && known[t] && tile_group[t] == group && !is_free[t])
            return false;
    return true;
}

// Matching pairs of free tiles in state r, those high on the stack and over
// many tiles first, seen pairs before hoped-for ones. Works on the board
// itself and leaves it as it was.
std::vector<std::pair<int, int>> candidate_pairs(const Removed &r) {
    static Board saved;
    memcpy(&saved, &board, sizeof board);
    for (int t = 0; t < BOARD_TILES; t++)
        board.tiles[t].flags = r[t] ? TILE_REMOVED : 0;
    int free[BOARD_TILES];
    int n = free_tiles(free);
    auto weight = [&](int t) {
        int under = 0;
        for (int u = 0; u < BOARD_TILES; u++)
            if (!r[u] && board.tiles[u].layer < board.tiles[t].layer &&
                abs(board.tiles[u].col - board.tiles[t].col) < 2 &&
                abs(board.tiles[u].row - board.tiles[t].row) < 2)
                under++;
        return board.tiles[t].layer * 8 + under + (known[t] ? 100 : 0);
    };
    std::vector<std::pair<int, int>> pairs;
    for (int i = 0; i < n; i++)
        for (int j = i + 1; j < n; j++)
            if (pairs_with(free[i], free[j]))
                pairs.push_back({free[i], free[j]});
    std::vector<int> weights(BOARD_TILES);
    for (int i = 0; i < n; i++)
        weights[free[i]] = weight(free[i]);
    std::stable_sort(pairs.begin(), pairs.end(), [&](auto x, auto y) {
        return weights[x.first] + weights[x.second] > weights[y.first] + weights[y.second];
    });
    memcpy(&board, &saved, sizeof board);
    // A safe pair is the only one worth trying.
    std::vector<bool> is_free(BOARD_TILES);
    for (int i = 0; i < n; i++)
        is_free[free[i]] = true;
    for (const auto &p : pairs)
        if (safe_pair(r, p, is_free))
            return {p};
    return pairs;
}

// Whether tile a lies on tile b.
bool lies_on(int a, int b) {
    const Tile &x = board.tiles[a], &y = board.tiles[b];
    return x.layer > y.layer && abs(x.col - y.col) < 2 && abs(x.row - y.row) < 2;
}

// A quick proof that state r cannot be cleared: among the groups with their
// last two tiles left, both seen, one pair must go before another when a
// tile of it lies on a tile of the other; a pair that must go before itself
// (one tile on the other, or a ring of such pairs) never can.
bool deadlocked(const Removed &r) {
    int pair_of[BOARD_TILES];
    int members[FACE_COUNT][4], count[FACE_COUNT] = {};
    for (int t = 0; t < board.tile_count; t++) {
        pair_of[t] = -1;
        if (!r[t] && known[t] && count[tile_group[t]] < 4)
            members[tile_group[t]][count[tile_group[t]]++] = t;
    }
    for (int g = 0; g < FACE_COUNT; g++)
        if (unseen[g] == 0 && count[g] == 2)
            pair_of[members[g][0]] = pair_of[members[g][1]] = g;
    // Edges between groups, then a search for a cycle.
    bool before[FACE_COUNT][FACE_COUNT] = {};
    for (int a = 0; a < board.tile_count; a++)
        for (int b = 0; b < board.tile_count; b++)
            if (pair_of[a] >= 0 && pair_of[b] >= 0 && lies_on(a, b))
                before[pair_of[a]][pair_of[b]] = true;
    int state[FACE_COUNT] = {}; // 0 unvisited, 1 on the path, 2 done
    std::function<bool(int)> cycle = [&](int g) {
        state[g] = 1;
        for (int h = 0; h < FACE_COUNT; h++)
            if (before[g][h] && (state[h] == 1 || (state[h] == 0 && cycle(h))))
                return true;
        state[g] = 2;
        return false;
    };
    for (int g = 0; g < FACE_COUNT; g++)
        if (state[g] == 0 && cycle(g))
            return true;
    return false;
}

// Depth-first search for an order that clears the board from r; the first
// pair of it in *first. That first pair, to be clicked now, must be of two
// faces seen (a free tile is always in view).
bool plan(Removed r, std::pair<int, int> *first) {
    if (r.all())
        return true;
    std::string key = r.to_string();
    if (dead_states.count(key) || deadlocked(r))
        return false;
    if (--plan_budget < 0) {
        plan_cut = true;
        return false;
    }
    bool cut_before = plan_cut;
    plan_cut = false;
    for (const auto &p : candidate_pairs(r)) {
        if (first && !(known[p.first] && known[p.second]))
            continue;
        Removed next = r;
        next[p.first] = next[p.second] = true;
        if (plan(next, nullptr)) {
            if (first)
                *first = p;
            plan_cut = cut_before;
            return true;
        }
    }
    if (!plan_cut)
        dead_states.insert(key);
    plan_cut = plan_cut || cut_before;
    return false;
}

int remaining() {
    int n = 0;
    for (int t = 0; t < board.tile_count; t++)
        n += !(board.tiles[t].flags & TILE_REMOVED);
    return n;
}

int undos = 0;

// Clears the board (or, with pairs_wanted > 0, removes that many pairs):
// each pair is the first of a plan from the state at hand, or, when the
// search runs out of room, the best pair that does not lead to a state
// known to be dead; where there is none, the last pair is undone.
void play(int pairs_wanted, int click_limit) {
    int removed = 0;
    while (remaining() > 0 && (pairs_wanted == 0 || removed < pairs_wanted)) {
        if (clicks > click_limit)
            fail("no way through the deal within %d clicks", click_limit);
        std::pair<int, int> p;
        count_seen();
        // A search cut short is tried again with more room before the state
        // is given up.
        bool found = false;
        for (long budget = 50000; !found && budget <= 800000; budget *= 4) {
            plan_budget = budget;
            plan_cut = false;
            found = plan(removed_now(), &p);
            if (!plan_cut)
                break;
        }
        if (!found && plan_cut) {
            // No order found in the room given, and none ruled out: the
            // best pair of seen faces whose state is not known to be dead.
            Removed r = removed_now();
            for (const auto &q : candidate_pairs(r)) {
                Removed next = r;
                next[q.first] = next[q.second] = true;
                if (known[q.first] && known[q.second] && !dead_states.count(next.to_string())) {
                    p = q;
                    found = true;
                    break;
                }
            }
        }
        if (found) {
            std::string what = "pair " + std::to_string(board.move_count / 2 + 1);
            click(p.first, (what + " first").c_str());
            click(p.second, what.c_str());
            if (!(board.tiles[p.first].flags & TILE_REMOVED) ||
                !(board.tiles[p.second].flags & TILE_REMOVED))
                fail("%s: tiles %d and %d, faces %d and %d, were not removed", what.c_str(),
                     p.first, p.second, board.tiles[p.first].face, board.tiles[p.second].face);
            removed++;
            continue;
        }
        printf("driver: a dead end after %d pairs\n", board.move_count / 2);
        dead_states.insert(removed_now().to_string());
        if (board.move_count == 0)
            fail("no order clears the deal from its start");
        key("left");
        undo_pair();
        removed--;
        undos++;
        expect("undo out of a dead end");
    }
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 6) {
        fprintf(stderr, "usage: driver QMP-SOCKET PACKAGE-DIR mouse|tablet TIMEOUT OUT-DIR\n");
        return 2;
    }
    double start = now();
    tablet = strcmp(argv[3], "tablet") == 0;
    out_dir = argv[5];
    mkdir(out_dir.c_str(), 0755);
    char resolved[4096];
    if (!realpath(out_dir.c_str(), resolved))
        fail("no folder %s", out_dir.c_str());
    out_dir = resolved;

    // The copy of the game, on the package's own data.
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "none", 1);
    if (chdir(argv[2]) != 0)
        fail("no package at %s", argv[2]);
    start_up();
    own_font = TTF_OpenFont("data/font/ariblk.ttf", 24);
    if (!own_font)
        fail("the status line cannot be checked without its font");

    connect_qmp(argv[1], now() + 30);
    // The first frame, from power-on: booting, then the game starting under
    // emulation. The board read from it must be drawn exactly.
    expect("start", atof(argv[4]));
    double booted = now();
    printf("driver: the first frame after %.1f s; board read, start frame matches\n",
           booted - start);

    if (tablet) {
        // Part of the deal by absolute taps.
        play(6, 200);
        printf("driver: 6 pairs removed by tablet taps, every frame matching\n");
    } else {
        // The first pair, then undo and redo from the keys.
        play(1, 10);
        key("left");
        undo_pair();
        expect("undo");
        key("right");
        redo_pair();
        expect("redo");
        play(0, 3000);
        expect("empty board");
        printf("driver: board cleared with %d clicks and %d undos out of dead ends, every frame "
               "matching\n",
               clicks, undos);
        // A new deal (read anew), the next tile set, the next background.
        key("ret");
        deal_board();
        std::fill(known.begin(), known.end(), false);
        dead_states.clear();
        expect("new deal");
        key("f1");
        next_tile_set();
        expect("next tile set");
        key("f2");
        next_background();
        expect("next background");
        printf("driver: new deal, tile set and background match\n");
        // The music of the background plays a while before the game ends.
        std::this_thread::sleep_for(std::chrono::seconds(3));
    }
    monitor("sendkey esc");
    printf("driver: %d clicks in %.1f s after the first frame (%d pointer moves sent again)\n",
           clicks, now() - booted, lost_moves);
    fflush(nullptr);
    _exit(0);
}
