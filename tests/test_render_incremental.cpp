// The frames the running game shows, checked pixel for pixel against a plain
// whole-frame reference (tests/support/reference_frame.h): the whole game runs
// in-process on generated assets through a long seeded random game of
// presses, undos, redos, deals and tile-set and background switches, and
// after every pass that presents a frame the work surface must hold the
// whole frame and the display its point-sampled image, however little the
// renderer chose to recompute. A pass that presents nothing must leave both
// untouched.
//
// JT_RENDER_SEED and JT_RENDER_PASSES in the environment replace the fixed
// seed and the number of passes, for longer runs by hand.
#include "app/app.h"
#include "assets/cycle.h"
#include "game/board.h"
#include "game/deal.h"
#include "game/freedom.h"
#include "game/play.h"
#include "gfx/display.h"
#include "gfx/draw.h"
#include "gfx/geometry.h"
#include "gfx/render.h"
#include "input/input_internal.h"
#include "reference_frame.h"
#include "temp_dir.h"
#include "test_assets.h"
#include "tile_points.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

const int TILE_SETS = 3;
const int BACKGROUNDS = 3;

// Everything of the game that decides a frame, apart from the pictures.
struct GameState {
    Board board;
    const char *status;
};

GameState save_game() {
    GameState s;
    memcpy(&s.board, &board, sizeof board);
    s.status = status_text;
    return s;
}

void load_game(const GameState &s) {
    memcpy(&board, &s.board, sizeof board);
    status_text = s.status;
}

// Equal as far as play goes; the freedom bits and positions, which every
// frame and every click compute afresh, are left out.
bool same_play(const GameState &a, const GameState &b) {
    const int kept = TILE_REMOVED | TILE_SELECTED;
    if (a.status != b.status || a.board.tile_count != b.board.tile_count ||
        a.board.move_count != b.board.move_count || a.board.redo_count != b.board.redo_count)
        return false;
    for (int i = 0; i < BOARD_TILES; i++) {
        const Tile &s = a.board.tiles[i], &t = b.board.tiles[i];
        if (s.col != t.col || s.row != t.row || s.layer != t.layer || s.face != t.face ||
            (s.flags & kept) != (t.flags & kept))
            return false;
    }
    int history = a.board.move_count + 2 * a.board.redo_count;
    for (int k = 0; k < history && k < BOARD_TILES; k++)
        if (a.board.move_history[k] != b.board.move_history[k])
            return false;
    return true;
}

int removed_tiles() {
    int n = 0;
    for (const Tile &t : board.tiles)
        n += (t.flags & TILE_REMOVED) != 0;
    return n;
}

int selected_tile() {
    for (int i = 0; i < BOARD_TILES; i++)
        if (board.tiles[i].flags & TILE_SELECTED)
            return i;
    return -1;
}

class RenderIncremental : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        setenv("SDL_VIDEODRIVER", "dummy", 0);
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        folder = make_temp_dir("frames");
        ASSERT_FALSE(folder.empty());
        // No effect files: effects take no time.
        TestAssets assets = {TILE_SETS, BACKGROUNDS, -1, find_test_font()};
        ASSERT_EQ(write_test_assets(folder.c_str(), &assets), 0);
        ASSERT_EQ(chdir(folder.c_str()), 0);
        start_up();
    }
    static void TearDownTestSuite() {
        remove_tree(folder);
    }
    void SetUp() override {
        ASSERT_NE(font, nullptr) << "no font: the status line would go unchecked";
        queue_head = queue_tail = 0;
    }

    // Compares the work surface and the display with the reference of the
    // game state given; an empty string when both agree.
    static std::string frame_faults(const GameState &shown) {
        GameState now = save_game();
        load_game(shown);
        reference_frame(frame_);
        load_game(now);
        reference_display(frame_, display_);
        FrameDifference work = compare_work_surface(frame_);
        FrameDifference shown_display = compare_display(display_);
        if (work.count == 0 && shown_display.count == 0)
            return "";
        return "work surface: " + describe_difference(work) +
               "\ndisplay: " + describe_difference(shown_display);
    }

    static std::string folder;
    static std::vector<uint16_t> frame_, display_;
};

std::string RenderIncremental::folder;
std::vector<uint16_t> RenderIncremental::frame_, RenderIncremental::display_;

// The inputs of one pass of the main loop, and what the loop will make of them.
struct Drain {
    std::vector<int> codes;
    std::string description;
    int history = 0;    // 1 undo, -1 redo, 0 none: the last request wins
    bool draws = false; // something in the drain asks for a frame
};

// Picks the inputs of each drain at random while playing them on the board,
// so that each press aims at the board as the loop will find it.
class RandomPlayer {
  public:
    explicit RandomPlayer(std::mt19937 &rng) : rng_(rng) {
        remember_solution();
    }

    Drain next_drain(int actions) {
        drain_ = Drain();
        for (int a = 0; a < actions; a++)
            add_action();
        return drain_;
    }

  private:
    // Adds one action chosen at random, biased towards removing pairs.
    void add_action() {
        update_tile_flags();
        int sel = selected_tile();
        std::vector<int> free_now;
        for (int i = 0; i < BOARD_TILES; i++)
            if (tile_can_pick(&board.tiles[i]))
                free_now.push_back(i);
        int target = pair_target(sel, free_now);
        if (free_now.empty()) {
            // A cleared board: deal again now and then, else look back.
            if (roll(10) < 3)
                deal();
            else if (roll(2))
                undo();
            else
                redo();
            return;
        }
        if (target < 0 && roll(2) == 0) {
            // No pair left to take: step back, or deal again.
            if (roll(15))
                undo();
            else
                deal();
            return;
        }
        int r = roll(1000);
        if (r < 560 && target >= 0)
            press_tile(target, "pair tile");
        else if (r < 660)
            press_tile(free_now[roll(free_now.size())], "free tile");
        else if (r < 690 && sel >= 0)
            press_tile(sel, "selected tile again");
        else if (r < 730)
            press_anywhere();
        else if (r < 750)
            pointer_without_press(free_now[roll(free_now.size())]);
        else if (r < 840)
            undo();
        else if (r < 910)
            redo();
        else if (r < 913)
            deal();
        else if (r < 950)
            key(CODE_F1, "F1");
        else
            key(CODE_F2, "F2");
    }

    // The order in which the last deal can be cleared.
    void remember_solution() {
        memcpy(solution_, board.move_history, sizeof solution_);
    }
    // A free tile whose press takes a pair or prepares one, or -1 at a dead
    // end. With a tile selected: its partner in the deal's own solution if
    // that is free, else any free partner, else the selected tile itself to
    // let go of it. Without: a tile of the earliest pair of the solution that
    // is free now, else any free tile with a free partner. Pairs of the
    // solution, taken in any order, never lead into a dead end.
    int pair_target(int sel, const std::vector<int> &free_now) {
        auto is_free = [&](int t) {
            return t >= 0 && t < BOARD_TILES && tile_can_pick(&board.tiles[t]);
        };
        std::vector<int> partners;
        for (int i : free_now)
            for (int j : free_now)
                if (i != j && tiles_match(board.tiles[i].face, board.tiles[j].face) &&
                    (sel < 0 || j == sel)) {
                    partners.push_back(i);
                    break;
                }
        if (sel >= 0) {
            for (int k = 0; k < BOARD_TILES; k++)
                if (solution_[k] == sel && is_free(solution_[k ^ 1]))
                    return solution_[k ^ 1];
            return partners.empty() ? sel : partners[roll(partners.size())];
        }
        for (int k = 0; k + 1 < BOARD_TILES; k += 2)
            if (is_free(solution_[k]) && is_free(solution_[k + 1]) &&
                tiles_match(board.tiles[solution_[k]].face, board.tiles[solution_[k + 1]].face))
                return solution_[k + roll(2)];
        return partners.empty() ? -1 : partners[roll(partners.size())];
    }
    unsigned roll(size_t n) {
        return static_cast<unsigned>(rng_() % n);
    }
    void note(const std::string &what) {
        drain_.description += (drain_.description.empty() ? "" : ", ") + what;
    }
    void press(int x, int y, const std::string &what) {
        drain_.codes.insert(drain_.codes.end(), {POINTER_PRESS, SAMPLING * x, SAMPLING * y});
        drain_.draws |= click_tile(POINTER_PRESS, SAMPLING * x, SAMPLING * y) != 0;
        note(what + " (" + std::to_string(x) + "," + std::to_string(y) + ")");
    }
    void press_tile(int t, const std::string &what) {
        int x, y;
        if (press_point_for(t, &x, &y))
            press(x, y, "press " + what + " " + std::to_string(t));
        else
            press_anywhere();
    }
    void press_anywhere() {
        int x = static_cast<int>(roll(320)), y = static_cast<int>(roll(240));
        press(x, y,
              tile_at_point(SAMPLING * x, SAMPLING * y) < 0 ? "press beside the free tiles"
                                                            : "press at random");
    }
    void pointer_without_press(int t) {
        int x = 0, y = 0;
        press_point_for(t, &x, &y);
        int code = roll(2) ? POINTER_RELEASE : POINTER_MOTION;
        drain_.codes.insert(drain_.codes.end(), {code, SAMPLING * x, SAMPLING * y});
        drain_.draws |= click_tile(code, SAMPLING * x, SAMPLING * y) != 0;
        note((code == POINTER_RELEASE ? "release over tile " : "motion over tile ") +
             std::to_string(t));
    }
    void key(int code, const std::string &what) {
        drain_.codes.push_back(code);
        if (code != CODE_LEFT && code != CODE_RIGHT)
            drain_.draws = true;
        note(what);
    }
    void undo() {
        key(CODE_LEFT, "undo");
        drain_.history = 1;
    }
    void redo() {
        key(CODE_RIGHT, "redo");
        drain_.history = -1;
    }
    void deal() {
        key(13, "deal");
        deal_board();
        remember_solution();
    }

    std::mt19937 &rng_;
    Drain drain_;
    int solution_[BOARD_TILES];
};

unsigned long environment_number(const char *name, unsigned long fallback) {
    const char *text = getenv(name);
    return text && *text ? strtoul(text, nullptr, 10) : fallback;
}

TEST_F(RenderIncremental, RandomPlayShowsTheWholeFrameAfterEveryPass) {
    const unsigned long seed = environment_number("JT_RENDER_SEED", 20240611);
    const unsigned long passes = environment_number("JT_RENDER_PASSES", 900);
    std::mt19937 rng(static_cast<std::mt19937::result_type>(seed));
    // The first deal from the seed too (start-up dealt from the clock), so
    // that a run, and how deep its boards get, depends on the seed alone.
    srand(static_cast<unsigned>(seed));
    deal_board();

    RandomPlayer player(rng);
    LoopState state = {1, 0};
    std::vector<uint16_t> work_before, display_before;
    int frames = 0, most_removed = 0, idle_passes = 0;
    bool tile_sets_seen[TILE_SETS] = {}, backgrounds_seen[BACKGROUNDS + 1] = {};

    for (unsigned long step = 0; step < passes; step++) {
        // Plan the drain on the board itself, keep the state the frame will
        // show and the state the pass ends in, then rewind and run the pass.
        GameState before = save_game();
        unsigned game_seed = static_cast<unsigned>(rng());
        srand(game_seed); // deals in the plan and in the pass come out the same
        int actions = 0;
        if (rng() % 20 != 0)
            actions = rng() % 10 == 0 ? 2 + rng() % 2 : 1;
        Drain plan = player.next_drain(actions);
        bool draws = state.redraw || plan.draws;
        GameState shown = save_game();
        int history_done = plan.history == 1 ? undo_pair() : plan.history == -1 ? redo_pair() : 0;
        GameState after = save_game();
        load_game(before);

        capture_work_surface(work_before);
        capture_display(display_before);
        unsigned long presented = frames_presented;
        srand(game_seed);
        for (int code : plan.codes)
            queue_push(code);
        main_loop_pass(&state);
        std::string where = "pass " + std::to_string(step) + " [" +
                            (plan.description.empty() ? "no input" : plan.description) + "]";

        ASSERT_TRUE(same_play(save_game(), after))
            << where << ": the game did not do what its inputs ask for";
        ASSERT_EQ(state.redraw, history_done) << where;
        ASSERT_EQ(frames_presented - presented, draws ? 1u : 0u) << where;
        if (draws) {
            std::string faults = frame_faults(shown);
            ASSERT_EQ(faults, "") << where << " (tile set " << tileset_index << ", background "
                                  << background_index << ", " << removed_tiles()
                                  << " tiles removed)";
            frames++;
            tile_sets_seen[tileset_index] = true;
            backgrounds_seen[background_index + 1] = true;
        } else {
            ASSERT_EQ(describe_difference(compare_work_surface(work_before)), "no difference")
                << where << ": the work surface changed without a frame";
            ASSERT_EQ(describe_difference(compare_display(display_before)), "no difference")
                << where << ": the display changed without a frame";
            idle_passes++;
        }
        int removed = removed_tiles();
        most_removed = removed > most_removed ? removed : most_removed;
    }

    // The run must have reached what it is meant to cover: deep boards,
    // every tile set and every background, and passes without a frame.
    if (passes >= 900) {
        EXPECT_GE(frames, 500);
        EXPECT_GE(idle_passes, 30);
        EXPECT_GE(most_removed, 100);
        for (int n = 0; n < TILE_SETS; n++)
            EXPECT_TRUE(tile_sets_seen[n]) << "tile set " << n;
        for (int n = -1; n < BACKGROUNDS; n++)
            EXPECT_TRUE(backgrounds_seen[n + 1]) << "background " << n;
    }
}

// Code that writes on the work surface or the display behind the renderer's
// back, or swaps the tile-set picture, tells it so; the next frame is whole.
TEST_F(RenderIncremental, AfterInvalidateTheNextFrameIsWholeAgain) {
    GameState start = save_game();
    LoopState state = {1, 0};
    main_loop_pass(&state);
    ASSERT_EQ(frame_faults(save_game()), "");

    // Scribbles on the display alone, after a frame in which nothing
    // changed: the next presentation shows all of the frame all the same.
    uint16_t *display = static_cast<uint16_t *>(screen->pixels);
    auto scribble_display = [&] {
        for (int y = 0; y < 240; y += 5)
            for (int x = 0; x < 320; x++)
                display[y * (screen->pitch / 2) + x] = static_cast<uint16_t>(~x);
    };
    scribble_display();
    render_board();
    invalidate_frame();
    present_frame();
    EXPECT_EQ(frame_faults(save_game()), "") << "display after scribbling on it";

    // Scribbles over both images, with nothing changed in the game.
    const int pitch = work_pitch / 2;
    for (int y = 0; y < work_height; y += 3)
        for (int x = 0; x < work_width; x++)
            work_pixels[y * pitch + x] = static_cast<uint16_t>(x * 31 + y);
    scribble_display();
    invalidate_frame();
    render_board();
    present_frame();
    EXPECT_EQ(frame_faults(save_game()), "") << "frame after scribbling on both";

    // A small tile-set picture: only its first face cells exist.
    PalettedImage whole = tile_image;
    PalettedImage small = whole;
    small.width = 100;
    small.height = 60;
    std::vector<uint8_t> pixels(small.width * small.height);
    for (int y = 0; y < small.height; y++)
        memcpy(&pixels[y * small.width], whole.pixels + y * whole.width, small.width);
    small.pixels = pixels.data();
    tile_image = small;
    invalidate_frame();
    render_board();
    present_frame();
    std::string faults = frame_faults(save_game());
    tile_image = whole;
    EXPECT_EQ(faults, "") << "frame with a small tile set";

    invalidate_frame();
    render_board();
    present_frame();
    EXPECT_EQ(frame_faults(save_game()), "") << "frame with the tile set back";
    load_game(start);
}

} // namespace
