// The whole game started in-process on small test assets (dummy video):
// start-up, and how the main loop turns input codes into actions and frames.
#include "app/app.h"
#include "assets/cycle.h"
#include "events.h"
#include "game/board.h"
#include "game/deal.h"
#include "game/play.h"
#include "gfx/display.h"
#include "gfx/draw.h"
#include "gfx/geometry.h"
#include "gfx/render.h"
#include "input/input_internal.h"
#include "reference_frame.h"
#include "sound/sound.h"
#include "temp_dir.h"
#include "test_assets.h"
#include "tile_points.h"

#include <SDL.h>
#include <SDL_ttf.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

std::vector<std::string> effects;
void record_effect(const char *name) {
    effects.push_back(name);
}

class MainLoopTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        folder = make_temp_dir("loop");
        ASSERT_FALSE(folder.empty());
        // No effect files: effects are announced to the hook but take no time.
        TestAssets assets = {2, 1, -1, find_test_font()};
        ASSERT_EQ(write_test_assets(folder.c_str(), &assets), 0);
        ASSERT_EQ(chdir(folder.c_str()), 0);
        effect_hook = record_effect;
        start_up();
        startup_effects = effects;
    }
    static void TearDownTestSuite() {
        effect_hook = nullptr;
        remove_tree(folder);
    }
    void SetUp() override {
        SDL_Event event;
        while (SDL_PollEvent(&event)) {
        }
        queue_head = queue_tail = 0;
        quit_requested = 0;
        deal_board();
        render_board();
        effects.clear();
    }

    // A frame is drawn and presented when the count of presented frames moves.
    static unsigned long frames_seen;
    static void forget_frame() {
        frames_seen = frames_presented;
    }
    static bool frame_drawn() {
        return frames_presented != frames_seen;
    }

    // Removes the first n pairs of the deal's own solution, as the player would.
    static void remove_pairs(int n) {
        for (int k = 0; k < 2 * n; k++) {
            int t = board.move_history[k];
            int x, y;
            ASSERT_EQ(press_point_for(t, &x, &y), 1) << "tile " << t;
            ASSERT_EQ(click_tile(POINTER_PRESS, SAMPLING * x, SAMPLING * y), 1);
            render_board();
        }
        ASSERT_EQ(board.move_count, 2 * n);
        effects.clear();
    }

    static void push(std::initializer_list<int> codes) {
        for (int code : codes)
            queue_push(code);
    }

    static int removed_count() {
        int n = 0;
        for (const Tile &t : board.tiles)
            n += (t.flags & TILE_REMOVED) != 0;
        return n;
    }

    static std::string folder;
    static std::vector<std::string> startup_effects;
};

std::string MainLoopTest::folder;
std::vector<std::string> MainLoopTest::startup_effects;
unsigned long MainLoopTest::frames_seen;

TEST_F(MainLoopTest, StartUpLeavesAFreshDealOnThePlainBackground) {
    EXPECT_EQ(startup_effects, (std::vector<std::string>{"snd1.wav", "snd1.wav"}));
    EXPECT_EQ(tileset_index, 0);
    EXPECT_EQ(background_index, -1);
    ASSERT_NE(shadow_mask, nullptr);
    ASSERT_NE(font, nullptr);
    ASSERT_NE(screen_slots[0], nullptr);
    uint16_t green = (uint16_t)map_rgb(60, 84, 12);
    EXPECT_EQ(screen_slots[0][0], green);
    EXPECT_EQ(screen_slots[0][640 * 480 - 1], green);
    EXPECT_STREQ(status_text, "Click on a tile");
    EXPECT_EQ(board.tile_count, BOARD_TILES);
}

// Both status lines as the game shows them, against a frame composed
// without the renderer whose text is SDL_ttf's own rendering of the game's
// font file opened here at 24 points: grey at (360, 400), black at (359, 399).
// Both are made at start-up, so a style given to the game's font afterwards
// shows in neither: the first selection renders no text.
TEST_F(MainLoopTest, StatusLinesMatchTheFontFileSetAt24Points) {
    TTF_Font *own = TTF_OpenFont("data/font/ariblk.ttf", 24);
    ASSERT_NE(own, nullptr) << TTF_GetError();
    TTF_SetFontStyle(font, TTF_STYLE_UNDERLINE);
    const uint16_t grey = (uint16_t)map_rgb(200, 200, 200), black = (uint16_t)map_rgb(0, 0, 0);
    std::vector<uint16_t> frame;
    for (const char *expected : {"Click on a tile", "Click on another tile"}) {
        if (expected != std::string("Click on a tile")) {
            int x, y;
            ASSERT_EQ(press_point_for(board.move_history[0], &x, &y), 1);
            ASSERT_EQ(click_tile(POINTER_PRESS, SAMPLING * x, SAMPLING * y), 1);
        }
        ASSERT_STREQ(status_text, expected);
        render_board();
        reference_frame(frame, own);
        EXPECT_EQ(describe_difference(compare_work_surface(frame)), "no difference") << expected;
        // The comparison covers the text only if it shows: both inks appear.
        int inks[2] = {0, 0};
        for (int y = 399; y < 480; y++)
            for (int x = 359; x < 640; x++) {
                inks[0] += frame[y * 640 + x] == grey;
                inks[1] += frame[y * 640 + x] == black;
            }
        EXPECT_GT(inks[0], 20) << expected;
        EXPECT_GT(inks[1], 200) << expected;
    }
    TTF_CloseFont(own);
    TTF_SetFontStyle(font, TTF_STYLE_NORMAL);
    status_text = "Click on a tile";
}

TEST_F(MainLoopTest, TwoLeftsInOneDrainUndoOnce) {
    remove_pairs(2);
    push({CODE_LEFT, CODE_LEFT});
    LoopState state = {0, 0};
    main_loop_pass(&state);
    EXPECT_EQ(board.move_count, 2);
    EXPECT_EQ(board.redo_count, 1);
    EXPECT_EQ(removed_count(), 2);
    EXPECT_EQ(state.redraw, 1);
    EXPECT_EQ(state.history_action, 0);
}

TEST_F(MainLoopTest, LeftThenRightInOneDrainRedoesOnly) {
    remove_pairs(2);
    ASSERT_EQ(undo_pair(), 1);
    push({CODE_LEFT, CODE_RIGHT});
    LoopState state = {0, 0};
    main_loop_pass(&state);
    EXPECT_EQ(board.move_count, 4);
    EXPECT_EQ(board.redo_count, 0);
    EXPECT_EQ(removed_count(), 4);

    // Right then Left: the undo wins.
    push({CODE_RIGHT, CODE_LEFT});
    main_loop_pass(&state);
    EXPECT_EQ(board.move_count, 2);
    EXPECT_EQ(removed_count(), 2);
}

TEST_F(MainLoopTest, UndoIsDrawnOnTheNextPassOnly) {
    remove_pairs(1);
    LoopState state = {0, 0};
    forget_frame();
    push({CODE_LEFT});
    main_loop_pass(&state);
    EXPECT_FALSE(frame_drawn());
    EXPECT_EQ(board.move_count, 0);

    main_loop_pass(&state);
    EXPECT_TRUE(frame_drawn());
    EXPECT_EQ(state.redraw, 0);

    // Nothing pending: no frame.
    forget_frame();
    main_loop_pass(&state);
    EXPECT_FALSE(frame_drawn());

    // A redo is drawn on the pass after it; a redo with nothing left to
    // redo draws nothing.
    push({CODE_RIGHT});
    main_loop_pass(&state);
    EXPECT_EQ(board.move_count, 2);
    main_loop_pass(&state);
    EXPECT_TRUE(frame_drawn());
    forget_frame();
    push({CODE_RIGHT});
    main_loop_pass(&state);
    main_loop_pass(&state);
    EXPECT_FALSE(frame_drawn());
}

TEST_F(MainLoopTest, PointerReleaseAndMotionAreConsumedWithoutEffect) {
    int t = board.move_history[0];
    int x, y;
    ASSERT_EQ(press_point_for(t, &x, &y), 1);
    // Coordinates that would read as Return and Escape if taken for codes.
    push({POINTER_RELEASE, SAMPLING * x, SAMPLING * y, POINTER_MOTION, CODE_RETURN, CODE_ESCAPE,
          POINTER_RELEASE, CODE_ESCAPE, CODE_RETURN});
    int face = board.tiles[0].face;
    LoopState state = {0, 0};
    forget_frame();
    main_loop_pass(&state);
    EXPECT_FALSE(frame_drawn());
    EXPECT_EQ(quit_requested, 0);
    EXPECT_TRUE(effects.empty());
    EXPECT_EQ(board.tiles[0].face, face);
    for (const Tile &tile : board.tiles)
        EXPECT_EQ(tile.flags & TILE_SELECTED, 0);
    EXPECT_EQ(queue_pop(), -1);
}

TEST_F(MainLoopTest, PointerPressSelectsAndRedraws) {
    int t = board.move_history[0];
    int x, y;
    ASSERT_EQ(press_point_for(t, &x, &y), 1);
    push({POINTER_PRESS, SAMPLING * x, SAMPLING * y});
    LoopState state = {0, 0};
    forget_frame();
    main_loop_pass(&state);
    EXPECT_TRUE(frame_drawn());
    EXPECT_NE(board.tiles[t].flags & TILE_SELECTED, 0);
    EXPECT_STREQ(status_text, "Click on another tile");
    EXPECT_EQ(effects, std::vector<std::string>{"snd0.wav"});

    // A press beside every tile changes nothing and draws nothing.
    push({POINTER_PRESS, 0, 0});
    forget_frame();
    main_loop_pass(&state);
    EXPECT_FALSE(frame_drawn());
    EXPECT_NE(board.tiles[t].flags & TILE_SELECTED, 0);
    status_text = "Click on a tile";
}

TEST_F(MainLoopTest, EscapeLetsTheDrainTheFrameAndTheUndoFinish) {
    remove_pairs(1);
    int t = board.move_history[2];
    int x, y;
    ASSERT_EQ(press_point_for(t, &x, &y), 1);
    push({CODE_ESCAPE, POINTER_PRESS, SAMPLING * x, SAMPLING * y, CODE_LEFT});
    forget_frame();
    EXPECT_EQ(main_loop(), 0);
    EXPECT_EQ(quit_requested, 1);
    EXPECT_NE(board.tiles[t].flags & TILE_SELECTED, 0);
    EXPECT_TRUE(frame_drawn());
    EXPECT_EQ(board.move_count, 0);
    EXPECT_EQ(board.redo_count, 1);
    EXPECT_EQ(queue_pop(), -1);
    status_text = "Click on a tile";
}

TEST_F(MainLoopTest, WindowCloseEndsTheLoop) {
    SDL_Event event = {};
    event.type = SDL_QUIT;
    ASSERT_EQ(SDL_PushEvent(&event), 0);
    EXPECT_EQ(main_loop(), 0);
    EXPECT_EQ(quit_requested, 1);
}

TEST_F(MainLoopTest, ReturnDealsAnewAndKeepsTheStatusLine) {
    remove_pairs(1);
    int t = board.move_history[2];
    int x, y;
    ASSERT_EQ(press_point_for(t, &x, &y), 1);
    ASSERT_EQ(click_tile(POINTER_PRESS, SAMPLING * x, SAMPLING * y), 1);
    ASSERT_STREQ(status_text, "Click on another tile");
    int faces_before[BOARD_TILES];
    for (int i = 0; i < BOARD_TILES; i++)
        faces_before[i] = board.tiles[i].face;
    effects.clear();

    push({CODE_RETURN});
    LoopState state = {0, 0};
    forget_frame();
    main_loop_pass(&state);
    EXPECT_TRUE(frame_drawn());
    EXPECT_EQ(effects, std::vector<std::string>{"snd1.wav"});
    EXPECT_EQ(board.move_count, 0);
    EXPECT_EQ(removed_count(), 0);
    EXPECT_STREQ(status_text, "Click on another tile");
    int same = 0;
    for (int i = 0; i < BOARD_TILES; i++)
        same += board.tiles[i].face == faces_before[i];
    EXPECT_LT(same, BOARD_TILES);
    status_text = "Click on a tile";
}

TEST_F(MainLoopTest, F1AndF2SwitchLooksAndRedraw) {
    LoopState state = {0, 0};
    int before = tileset_index;
    push({CODE_F1});
    forget_frame();
    main_loop_pass(&state);
    EXPECT_TRUE(frame_drawn());
    EXPECT_EQ(tileset_index, (before + 1) % 2);

    uint16_t slot_before = screen_slots[0][0];
    push({CODE_F2});
    forget_frame();
    main_loop_pass(&state);
    EXPECT_TRUE(frame_drawn());
    EXPECT_EQ(background_index, 0);
    EXPECT_NE(screen_slots[0][0], slot_before);
}

TEST_F(MainLoopTest, OtherCodesArePoppedAndIgnored) {
    remove_pairs(1);
    push({97, 402, 403, 1, 0, 412, 981, 393});
    LoopState state = {0, 0};
    forget_frame();
    main_loop_pass(&state);
    EXPECT_FALSE(frame_drawn());
    EXPECT_EQ(queue_pop(), -1);
    EXPECT_EQ(board.move_count, 2);
    EXPECT_EQ(quit_requested, 0);
    EXPECT_TRUE(effects.empty());
}

void post_left_during_effect(const char *name) {
    record_effect(name);
    push_key_press(SDLK_LEFT);
}

TEST_F(MainLoopTest, EventsArrivingDuringAnActionJoinTheSameDrain) {
    // The key is pressed while the click's effect plays; the pump before the
    // next pop takes it, so its undo happens at the end of this same pass.
    remove_pairs(1);
    int t = board.move_history[2];
    int x, y;
    ASSERT_EQ(press_point_for(t, &x, &y), 1);
    push({POINTER_PRESS, SAMPLING * x, SAMPLING * y});
    effect_hook = post_left_during_effect;
    LoopState state = {0, 0};
    main_loop_pass(&state);
    effect_hook = record_effect;
    EXPECT_EQ(effects, std::vector<std::string>{"snd0.wav"});
    EXPECT_EQ(board.move_count, 0);
    EXPECT_EQ(state.redraw, 1);
    status_text = "Click on a tile";
}

TEST_F(MainLoopTest, JoystickButtonsReachTheLoop) {
    remove_pairs(1);
    push_joy_button(JOY_LEFT, 1); // undo
    LoopState state = {0, 0};
    main_loop_pass(&state);
    EXPECT_EQ(board.move_count, 0);
    push_joy_button(JOY_RIGHT, 1); // redo
    main_loop_pass(&state);
    EXPECT_EQ(board.move_count, 2);
    push_joy_button(JOY_ESCAPE, 1); // quit
    main_loop_pass(&state);
    EXPECT_EQ(quit_requested, 1);
}

} // namespace

namespace {

// A clock that moves 40 ms at every look, so that a held key repeats at
// every pump; it tells the window it lost its focus (as the platform would)
// at its tenth look, and stops moving after 2000 looks so that a repeat the
// focus loss failed to stop still lets the drain end.
Uint32 clock_ms;
int clock_looks;
Uint8 focus_state;
Uint32 focus_loss_clock() {
    if (++clock_looks == 10) {
        SDL_Event event = {};
        event.type = SDL_ACTIVEEVENT;
        event.active.gain = 0;
        event.active.state = focus_state;
        SDL_PushEvent(&event);
    }
    if (clock_looks < 2000)
        clock_ms += 40;
    return clock_ms;
}

} // namespace

// A key whose release never comes (it happened outside the window) stops
// repeating when the window loses the keyboard, the pointer or is iconified:
// the drain ends, nothing is held any more, and Escape then ends the game.
TEST_F(MainLoopTest, FocusLossStopsTheRepeatOfAKeyNeverReleased) {
    const Uint8 states[] = {SDL_APPINPUTFOCUS, SDL_APPMOUSEFOCUS, SDL_APPACTIVE};
    for (Uint8 state : states) {
        SCOPED_TRACE("focus lost: state " + std::to_string(state));
        focus_state = state;
        clock_ms = 100000;
        clock_looks = 0;
        input_ticks = focus_loss_clock;
        SDL_Event event = key_event(SDL_KEYDOWN, SDLK_F1, KMOD_NONE); // repeats switch tile sets
        ASSERT_EQ(SDL_PushEvent(&event), 0);
        LoopState state_of_loop = {0, 0};
        effects.clear();
        // Passes until the focus is lost; the one that sees the loss must end
        // its drain although the repeat was firing at every pump.
        for (int pass = 0; pass < 50 && clock_looks < 10; pass++)
            main_loop_pass(&state_of_loop);
        EXPECT_GE(effects.size(), 2u) << "the key did not repeat before the focus loss";
        EXPECT_LT(clock_looks, 100) << "the repeat went on after the focus loss";
        EXPECT_EQ(repeat_active, 0);
        EXPECT_EQ(held_count, 0);
        EXPECT_EQ(queue_pop(), -1);

        push_key_press(SDLK_ESCAPE);
        EXPECT_EQ(main_loop(), 0);
        EXPECT_EQ(quit_requested, 1);
        quit_requested = 0;
        input_ticks = SDL_GetTicks;
    }
}
