// Input translation driven through SDL's real event queue (dummy video driver).
#include "input/input_internal.h"

#include "app/app.h"
#include "events.h"
#include "gfx/display.h"
#include "input_state.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace {

Uint32 fake_now;
Uint32 fake_ticks() {
    return fake_now;
}

Sint16 fake_x;
Sint16 fake_y;
Sint16 fake_axis(int axis) {
    return axis == 0 ? fake_x : fake_y;
}

class InputTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO | SDL_INIT_JOYSTICK), 0) << SDL_GetError();
        real_stick_axis = stick_axis;
    }
    static void TearDownTestSuite() {
        SDL_Quit();
    }
    void SetUp() override {
        reset_input_state();
        fake_now = 1000;
        fake_x = fake_y = 0;
        input_ticks = fake_ticks;
        stick_axis = fake_axis;
    }
    void TearDown() override {
        input_ticks = SDL_GetTicks;
        stick_axis = real_stick_axis;
    }
    static Sint16 (*real_stick_axis)(int);
};

Sint16 (*InputTest::real_stick_axis)(int);

void post_key(Uint8 type, SDLKey sym, int mod = KMOD_NONE) {
    SDL_Event event = key_event(type, sym, (SDLMod)mod);
    ASSERT_EQ(SDL_PushEvent(&event), 0);
}

void post_down(SDLKey sym, int mod = KMOD_NONE) {
    post_key(SDL_KEYDOWN, sym, mod);
}

void post_up(SDLKey sym, int mod = KMOD_NONE) {
    post_key(SDL_KEYUP, sym, mod);
}

void post_mouse(Uint8 type, Uint16 x, Uint16 y, Uint8 button = 1) {
    SDL_Event event = pointer_event(type, x, y, button);
    ASSERT_EQ(SDL_PushEvent(&event), 0);
}

void post_type(Uint8 type) {
    SDL_Event event = {};
    event.type = type;
    ASSERT_EQ(SDL_PushEvent(&event), 0);
}

std::vector<int> drain() {
    std::vector<int> codes;
    for (int code = queue_pop(); code >= 0; code = queue_pop())
        codes.push_back(code);
    return codes;
}

// Codes that one key event with the given modifiers produces through poll_input.
int code_for(SDLKey sym, int mod) {
    post_down(sym, mod);
    post_up(sym, mod);
    poll_input();
    std::vector<int> codes = drain();
    return codes.size() == 1 ? codes[0] : -100 - (int)codes.size();
}

// Virtual stick buttons that read_stick posted, as +n for down and -n for up.
std::vector<int> stick_events() {
    std::vector<int> seen;
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        if (event.type == SDL_JOYBUTTONDOWN)
            seen.push_back(event.jbutton.button);
        else if (event.type == SDL_JOYBUTTONUP)
            seen.push_back(-event.jbutton.button);
        else
            seen.push_back(1000 + event.type);
    }
    return seen;
}

using Codes = std::vector<int>;

TEST_F(InputTest, EmptyQueuePopsMinusOneAndStaysPut) {
    queue_head = queue_tail = 17;
    EXPECT_EQ(queue_pop(), -1);
    EXPECT_EQ(queue_pop(), -1);
    EXPECT_EQ(queue_head, 17);
    EXPECT_EQ(queue_tail, 17);
}

TEST_F(InputTest, FullQueueKeeps63InOrderAndDropsTheRest) {
    for (int i = 0; i < 70; i++)
        queue_push(100 + i);
    EXPECT_EQ((queue_head + 1) & 63, queue_tail);
    Codes expected;
    for (int i = 0; i < 63; i++)
        expected.push_back(100 + i);
    EXPECT_EQ(drain(), expected);
    // Room again after popping.
    queue_push(7);
    EXPECT_EQ(drain(), Codes{7});
}

TEST_F(InputTest, IndicesWrapFrom63ToZero) {
    queue_head = queue_tail = 61;
    for (int i = 0; i < 5; i++)
        queue_push(i);
    EXPECT_EQ(queue_head, 2);
    EXPECT_EQ(input_queue[63], 2);
    EXPECT_EQ(input_queue[0], 3);
    EXPECT_EQ(drain(), (Codes{0, 1, 2, 3, 4}));
    EXPECT_EQ(queue_tail, 2);
    // Full across the wrap: 63 values starting at slot 61.
    queue_head = queue_tail = 61;
    for (int i = 0; i < 64; i++)
        queue_push(i);
    EXPECT_EQ(queue_head, 60);
    EXPECT_EQ(drain().size(), 63u);
}

TEST_F(InputTest, KeyTableHas77DistinctRowsAndAnEndRow) {
    int rows = 0;
    std::set<int> syms;
    while (key_map[rows].sym != 0xFFFFFF) {
        EXPECT_TRUE(syms.insert(key_map[rows].sym).second) << key_map[rows].sym;
        EXPECT_GE(key_map[rows].plain_code, 0);
        EXPECT_LT(key_map[rows].shifted_code, 1024);
        rows++;
    }
    EXPECT_EQ(rows, 77);
    EXPECT_EQ(key_map[0].sym, SDLK_0);
    EXPECT_EQ(key_map[76].sym, SDLK_RSHIFT);
}

TEST_F(InputTest, PlainAndShiftedKeys) {
    EXPECT_EQ(code_for(SDLK_a, KMOD_NONE), 97);
    EXPECT_EQ(code_for(SDLK_a, KMOD_LSHIFT), 65);
    EXPECT_EQ(code_for(SDLK_z, KMOD_RSHIFT), 90);
    EXPECT_EQ(code_for(SDLK_1, KMOD_LSHIFT), 33);
    EXPECT_EQ(code_for(SDLK_2, KMOD_LSHIFT), 64);
    EXPECT_EQ(code_for(SDLK_0, KMOD_LSHIFT), 41);
    EXPECT_EQ(code_for(SDLK_QUOTE, KMOD_LSHIFT), 34);
    EXPECT_EQ(code_for(SDLK_BACKQUOTE, KMOD_LSHIFT), 126);
    EXPECT_EQ(code_for(SDLK_PAGEUP, KMOD_NONE), 404);
    EXPECT_EQ(code_for(SDLK_PAGEUP, KMOD_LSHIFT), 468);
    EXPECT_EQ(code_for(SDLK_PAGEDOWN, KMOD_RSHIFT), 469);
    EXPECT_EQ(code_for(SDLK_F1, KMOD_LSHIFT), 384);
    EXPECT_EQ(code_for(SDLK_F10, KMOD_NONE), 393);
    EXPECT_EQ(code_for(SDLK_RETURN, KMOD_NONE), 13);
    EXPECT_EQ(code_for(SDLK_ESCAPE, KMOD_NONE), 27);
    EXPECT_EQ(code_for(SDLK_LEFT, KMOD_NONE), 400);
    EXPECT_EQ(code_for(SDLK_DOWN, KMOD_NONE), 403);
    EXPECT_EQ(code_for(SDLK_END, KMOD_NONE), 407);
}

TEST_F(InputTest, CtrlAndAltFoldIntoTheCode) {
    EXPECT_EQ(code_for(SDLK_c, KMOD_LCTRL), 3);
    EXPECT_EQ(code_for(SDLK_a, KMOD_LCTRL | KMOD_LSHIFT), 1);
    EXPECT_EQ(code_for(SDLK_F1, KMOD_RCTRL), 0);
    EXPECT_EQ(code_for(SDLK_LEFT, KMOD_LCTRL), 16);
    EXPECT_EQ(code_for(SDLK_x, KMOD_LCTRL | KMOD_LALT), 24);
    EXPECT_EQ(code_for(SDLK_a, KMOD_LALT), 609);
    EXPECT_EQ(code_for(SDLK_LEFT, KMOD_RALT), 912);
    EXPECT_EQ(code_for(SDLK_PAGEDOWN, KMOD_LALT | KMOD_LSHIFT), 981);
}

TEST_F(InputTest, LocksAndMetaAreNotLookedAt) {
    EXPECT_EQ(code_for(SDLK_a, KMOD_CAPS), 97);
    EXPECT_EQ(code_for(SDLK_a, KMOD_NUM | KMOD_LMETA), 97);
    EXPECT_EQ(code_for(SDLK_a, KMOD_CAPS | KMOD_LSHIFT), 65);
}

TEST_F(InputTest, KeysWithoutARowGiveNothing) {
    const SDLKey none[] = {SDLK_INSERT,   SDLK_F11,     SDLK_KP5,  SDLK_LMETA,
                           SDLK_CAPSLOCK, SDLK_NUMLOCK, SDLK_PRINT};
    for (SDLKey sym : none) {
        int32_t code = 0;
        int32_t plain = 0;
        translate_key(sym, KMOD_LSHIFT, &code, &plain);
        EXPECT_EQ(code, -1) << sym;
        EXPECT_EQ(plain, -1) << sym;
        post_down(sym);
    }
    poll_input();
    EXPECT_TRUE(drain().empty());
    EXPECT_EQ(repeat_active, 0);
    EXPECT_EQ(held_count, 0);
}

TEST_F(InputTest, ModifierKeyAloneQueuesItsCodeAndArms) {
    post_down(SDLK_LSHIFT, KMOD_LSHIFT);
    poll_input();
    EXPECT_EQ(drain(), Codes{412});
    EXPECT_EQ(repeat_active, 1);
    EXPECT_EQ(repeat_code, 412);
    EXPECT_EQ(is_key_held(412), 1);
}

TEST_F(InputTest, HeldKeyRepeatsAfter250ThenEvery33) {
    post_down(SDLK_a);
    poll_input();
    EXPECT_EQ(drain(), Codes{97});
    fake_now = 1250; // not later than the due time yet
    poll_input();
    EXPECT_TRUE(drain().empty());
    fake_now = 1251;
    poll_input();
    EXPECT_EQ(drain(), Codes{97});
    poll_input();
    EXPECT_TRUE(drain().empty());
    fake_now = 1283;
    poll_input();
    EXPECT_TRUE(drain().empty());
    fake_now = 1284;
    poll_input();
    EXPECT_EQ(drain(), Codes{97});
    fake_now = 1317;
    poll_input();
    EXPECT_EQ(drain(), Codes{97});
}

TEST_F(InputTest, RepeatCatchesUpOneCodePerPumpAfterAStall) {
    post_down(SDLK_a);
    poll_input();
    drain();
    // A stall of 400 ms: due times 1250, 1283, 1316, 1349, 1382 have passed
    // (and 1415 is still ahead at 1400).
    fake_now = 1400;
    int pumps_with_repeat = 0;
    for (int i = 0; i < 10; i++) {
        poll_input();
        Codes codes = drain();
        ASSERT_LE(codes.size(), 1u);
        if (!codes.empty()) {
            EXPECT_EQ(codes[0], 97);
            pumps_with_repeat++;
        }
    }
    EXPECT_EQ(pumps_with_repeat, 5);
    EXPECT_EQ(repeat_due, 1415);
}

// The millisecond clock wraps after 49.7 days (and passes the sign bit after
// 24.8): due times on either side of a wrap compare by their distance.
TEST_F(InputTest, RepeatKeepsItsTimingAcrossTheClockWrapping) {
    for (uint64_t wrap : {uint64_t{1} << 32, uint64_t{1} << 31}) {
        SCOPED_TRACE(wrap);
        auto at = [wrap](int64_t offset) { return (Uint32)(wrap + offset); };
        // Pressed 100 ms before the wrap: nothing before its due time, which
        // lies past the wrap; then one code as the clock passes it.
        fake_now = at(-100);
        post_down(SDLK_a);
        poll_input();
        EXPECT_EQ(drain(), Codes{97});
        for (int64_t t : {-99, -1, 0, 1, 150}) {
            fake_now = at(t);
            poll_input();
            EXPECT_TRUE(drain().empty()) << t;
        }
        fake_now = at(151);
        poll_input();
        EXPECT_EQ(drain(), Codes{97});
        post_up(SDLK_a);
        poll_input();

        // Pressed 260 ms before the wrap: due 10 ms before it; the first pump
        // after the wrap repeats, and the next due time (23 ms after the wrap)
        // is kept to the millisecond.
        fake_now = at(-260);
        post_down(SDLK_a);
        poll_input();
        drain();
        fake_now = at(-10);
        poll_input();
        EXPECT_TRUE(drain().empty());
        fake_now = at(5);
        poll_input();
        EXPECT_EQ(drain(), Codes{97});
        fake_now = at(23);
        poll_input();
        EXPECT_TRUE(drain().empty());
        fake_now = at(24);
        poll_input();
        EXPECT_EQ(drain(), Codes{97});
        post_up(SDLK_a);
        poll_input();
    }
}

TEST_F(InputTest, LatestPressRearmsWithAFreshDelay) {
    post_down(SDLK_a);
    poll_input();
    fake_now = 1300;
    poll_input(); // one repeat of a
    post_down(SDLK_b);
    fake_now = 1310;
    poll_input();
    EXPECT_EQ(drain(), (Codes{97, 97, 98}));
    EXPECT_EQ(repeat_due, 1560);
    fake_now = 1560;
    poll_input();
    EXPECT_TRUE(drain().empty());
    fake_now = 1561;
    poll_input();
    EXPECT_EQ(drain(), Codes{98});
    EXPECT_TRUE(is_key_held('a'));
    EXPECT_TRUE(is_key_held('b'));
}

TEST_F(InputTest, AnyKeyUpStopsTheRepeat) {
    // Releasing the older key stops the repeat of the newer one.
    post_down(SDLK_a);
    post_down(SDLK_b);
    poll_input();
    post_up(SDLK_a);
    poll_input();
    EXPECT_EQ(repeat_active, 0);
    EXPECT_TRUE(is_key_held('b'));
    EXPECT_FALSE(is_key_held('a'));
    fake_now = 5000;
    poll_input();
    EXPECT_EQ(drain(), (Codes{97, 98}));

    // The key-up of a key without a row stops it as well.
    post_down(SDLK_c);
    poll_input();
    post_up(SDLK_INSERT);
    poll_input();
    fake_now = 9000;
    poll_input();
    EXPECT_EQ(drain(), Codes{99});
    EXPECT_TRUE(is_key_held('c'));
}

TEST_F(InputTest, PointerEventsDoNotDisturbTheRepeat) {
    post_down(SDLK_a);
    poll_input();
    drain();
    post_mouse(SDL_MOUSEMOTION, 10, 20);
    post_mouse(SDL_MOUSEBUTTONDOWN, 11, 21);
    post_mouse(SDL_MOUSEBUTTONUP, 12, 22);
    fake_now = 1251;
    poll_input();
    EXPECT_EQ(drain(), (Codes{1030, 20, 40, 1024, 22, 42, 1027, 24, 44, 97}));
    EXPECT_EQ(repeat_code, 97);
}

TEST_F(InputTest, HeldListRecordsEachKeyOnceAndAtMost32) {
    handle_key(SDLK_a, KMOD_NONE, 1);
    handle_key(SDLK_a, KMOD_LSHIFT, 1); // same key, shifted: still plain 97
    EXPECT_EQ(held_count, 1);
    EXPECT_EQ(held_keys[0], 97);

    queue_head = queue_tail = 0;
    held_count = 0;
    int32_t plains[40];
    int n = 0;
    for (int row = 0; key_map[row].sym != 0xFFFFFF && n < 40; row++) {
        plains[n++] = key_map[row].plain_code;
        handle_key((SDLKey)key_map[row].sym, KMOD_NONE, 1);
    }
    EXPECT_EQ(held_count, 32);
    EXPECT_TRUE(is_key_held(plains[31]));
    EXPECT_FALSE(is_key_held(plains[32]));
    // The ring filled at 63 codes, and presses past that still armed the repeat.
    EXPECT_EQ(repeat_code, plains[39]);
    EXPECT_EQ(repeat_active, 1);

    // Releasing moves the last entry into the freed place.
    handle_key((SDLKey)key_map[0].sym, KMOD_NONE, 0);
    EXPECT_EQ(held_count, 31);
    EXPECT_EQ(held_keys[0], plains[31]);
    EXPECT_FALSE(is_key_held(plains[0]));
    // Releasing a key that is not held changes nothing.
    handle_key(SDLK_F10, KMOD_NONE, 0);
    EXPECT_EQ(held_count, 31);
    // A release does not touch the repeat by itself.
    EXPECT_EQ(repeat_active, 1);
}

TEST_F(InputTest, PressWithAFullQueueStillArmsAndHolds) {
    for (int i = 0; i < 63; i++)
        queue_push(i);
    post_down(SDLK_q);
    poll_input();
    EXPECT_EQ(repeat_code, 'q');
    EXPECT_EQ(repeat_active, 1);
    EXPECT_TRUE(is_key_held('q'));
    Codes codes = drain();
    ASSERT_EQ(codes.size(), 63u);
    EXPECT_EQ(codes.back(), 62);
}

TEST_F(InputTest, PointerRecordsCarryDoubledCoordinatesWhateverTheButton) {
    post_mouse(SDL_MOUSEBUTTONDOWN, 100, 50, 3);
    post_mouse(SDL_MOUSEBUTTONUP, 319, 239, 2);
    post_mouse(SDL_MOUSEMOTION, 0, 0);
    poll_input();
    EXPECT_EQ(drain(), (Codes{1024, 200, 100, 1027, 638, 478, 1030, 0, 0}));
}

TEST_F(InputTest, PointerRecordIsQueuedWholeOrNotAtAll) {
    // 62 pending: one free slot; 61 pending: two. Neither takes a record.
    for (int pending : {62, 61}) {
        queue_head = queue_tail = 0;
        for (int i = 0; i < pending; i++)
            queue_push(i);
        post_mouse(SDL_MOUSEBUTTONDOWN, 100, 50);
        poll_input();
        Codes codes = drain();
        ASSERT_EQ((int)codes.size(), pending);
        EXPECT_EQ(codes.back(), pending - 1);
    }
    // 60 pending: exactly room for one record; the next one is dropped whole
    // and a key that fits after it still arrives.
    queue_head = queue_tail = 30;
    for (int i = 0; i < 60; i++)
        queue_push(i);
    post_mouse(SDL_MOUSEBUTTONDOWN, 100, 50);
    post_mouse(SDL_MOUSEBUTTONUP, 100, 50);
    poll_input();
    Codes codes = drain();
    ASSERT_EQ(codes.size(), 63u);
    EXPECT_EQ(codes[59], 59);
    EXPECT_EQ((Codes(codes.begin() + 60, codes.end())), (Codes{1024, 200, 100}));

    // After a dropped record the stream still parses as whole records.
    for (int i = 0; i < 61; i++)
        queue_push(5);
    post_mouse(SDL_MOUSEMOTION, 1, 1);
    poll_input();
    for (int i = 0; i < 61; i++)
        EXPECT_EQ(queue_pop(), 5);
    post_mouse(SDL_MOUSEBUTTONDOWN, 7, 8);
    poll_input();
    EXPECT_EQ(drain(), (Codes{1024, 14, 16}));
}

TEST_F(InputTest, JoystickButtonsGiveExactlyOneCode) {
    const int mapped[][2] = {{0, 400}, {3, 401}, {4, 384}, {5, 385}, {8, 13}, {9, 27}};
    for (const auto &m : mapped) {
        push_joy_button(m[0], 1);
        poll_input();
        EXPECT_EQ(drain(), Codes{m[1]}) << "button " << m[0];
        EXPECT_EQ(repeat_active, 0);
        // Held for a long time: still nothing more.
        fake_now += 2000;
        poll_input();
        EXPECT_TRUE(drain().empty());
        push_joy_button(m[0], 0);
        poll_input();
        EXPECT_TRUE(drain().empty());
        EXPECT_EQ(held_count, 0);
    }
}

TEST_F(InputTest, UnmappedJoystickButtonsGiveNothing) {
    for (int button : {1, 2, 6, 7, 10, 11, 12, 13, 14, 15, 16, 17, 18, 31})
        push_joy_button(button, 1);
    poll_input();
    EXPECT_TRUE(drain().empty());
    EXPECT_EQ(repeat_active, 0);
}

TEST_F(InputTest, JoystickButtonStopsAKeyRepeat) {
    post_down(SDLK_a);
    poll_input();
    push_joy_button(8, 1);
    poll_input();
    fake_now = 3000;
    poll_input();
    EXPECT_EQ(drain(), (Codes{97, 13}));
}

TEST_F(InputTest, QuitInTheMiddleOfABatchKeepsHandlingIt) {
    post_down(SDLK_a);
    post_type(SDL_QUIT);
    post_mouse(SDL_MOUSEBUTTONDOWN, 3, 4);
    post_down(SDLK_b);
    poll_input();
    EXPECT_EQ(quit_requested, 1);
    EXPECT_EQ(drain(), (Codes{97, 1024, 6, 8, 98}));
    SDL_Event event;
    EXPECT_EQ(SDL_PollEvent(&event), 0);
}

TEST_F(InputTest, OtherEventTypesAreIgnored) {
    post_type(SDL_ACTIVEEVENT);
    post_type(SDL_JOYAXISMOTION);
    post_type(SDL_JOYHATMOTION);
    post_type(SDL_VIDEOEXPOSE);
    post_type(SDL_USEREVENT);
    poll_input();
    EXPECT_TRUE(drain().empty());
    EXPECT_EQ(quit_requested, 0);
}

TEST_F(InputTest, StickSidewaysPressesAndReleasesOneVirtualButton) {
    fake_x = 32767;
    read_stick();
    EXPECT_EQ(stick_events(), Codes{14});
    read_stick();
    EXPECT_TRUE(stick_events().empty());
    fake_x = 0;
    read_stick();
    EXPECT_EQ(stick_events(), Codes{-14});
    EXPECT_EQ(dpad_bits, 0);
}

TEST_F(InputTest, StickVirtualButtonsComeInTheirFixedOrder) {
    fake_x = 20000;
    fake_y = -20000;
    read_stick();
    EXPECT_EQ(stick_events(), (Codes{14, 11, 16}));
    EXPECT_EQ(dpad_bits, 0x04000 | 0x00800 | 0x10000);

    fake_x = -20000;
    fake_y = 20000;
    read_stick();
    EXPECT_EQ(stick_events(), (Codes{13, -14, -11, 12, -16, 17}));

    fake_x = 20000;
    read_stick();
    EXPECT_EQ(stick_events(), (Codes{-13, 14, 18, -17}));

    fake_x = -20000;
    fake_y = -20000;
    read_stick();
    EXPECT_EQ(stick_events(), (Codes{13, -14, 11, -12, -18, 15}));
}

TEST_F(InputTest, StickThresholdsAreStrict) {
    fake_x = 12000;
    fake_y = -20000;
    read_stick();
    EXPECT_EQ(stick_events(), (Codes{11, 16}));

    fake_y = -15000;
    read_stick();
    EXPECT_EQ(stick_events(), (Codes{-11, -16}));
    EXPECT_EQ(dpad_bits, 0);

    fake_x = 16384;
    fake_y = 16384;
    read_stick();
    EXPECT_TRUE(stick_events().empty());
    fake_x = -16384;
    fake_y = -16384;
    read_stick();
    EXPECT_TRUE(stick_events().empty());

    fake_x = 11585; // exactly the diagonal limit: no diagonal
    fake_y = 16385;
    read_stick();
    EXPECT_EQ(stick_events(), Codes{12});
    fake_y = -16385;
    read_stick();
    EXPECT_EQ(stick_events(), (Codes{11, -12}));
    fake_x = -11585;
    read_stick();
    EXPECT_TRUE(stick_events().empty());
}

TEST_F(InputTest, StickNeverProducesInputCodes) {
    const Sint16 positions[][2] = {{32767, 0},     {-32768, 0},      {0, 32767}, {0, -32768},
                                   {20000, 20000}, {-20000, -20000}, {0, 0}};
    for (const auto &p : positions) {
        fake_x = p[0];
        fake_y = p[1];
        poll_input();
    }
    EXPECT_TRUE(drain().empty());
    EXPECT_EQ(dpad_bits, 0);
}

TEST_F(InputTest, WithoutAJoystickTheStickStaysCentred) {
    ASSERT_EQ(joystick, nullptr);
    stick_axis = real_stick_axis;
    for (int i = 0; i < 3; i++)
        poll_input();
    EXPECT_EQ(dpad_bits, 0);
    EXPECT_TRUE(stick_events().empty());
    EXPECT_TRUE(drain().empty());
}

TEST_F(InputTest, PushKeyPressPostsDownThenUpWithoutModifiers) {
    push_key_press(SDLK_F2);
    SDL_Event event;
    ASSERT_EQ(SDL_PollEvent(&event), 1);
    EXPECT_EQ(event.type, SDL_KEYDOWN);
    EXPECT_EQ(event.key.keysym.sym, SDLK_F2);
    EXPECT_EQ(event.key.keysym.unicode, SDLK_F2);
    EXPECT_EQ(event.key.keysym.mod, KMOD_NONE);
    ASSERT_EQ(SDL_PollEvent(&event), 1);
    EXPECT_EQ(event.type, SDL_KEYUP);
    EXPECT_EQ(event.key.keysym.sym, SDLK_F2);
    EXPECT_EQ(SDL_PollEvent(&event), 0);
}

} // namespace
