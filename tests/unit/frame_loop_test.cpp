// frame_loop_test.cpp -- start-up, the scene clock, the fade and the message pump, frame by frame
#include <gtest/gtest.h>

#include <bit>
#include <cfenv>
#include <cmath>

#include "app/frame_loop.h"
#include "state/app_state.h"
#include "tests/fakes/fake_platform.h"
#include "tests/fakes/fake_render.h"

namespace {

using Calls = std::vector<std::string>;

struct Frame {
    std::string scene;
    float scene_time;
    float fade_alpha;
};

class FrameLoop : public ::testing::Test {
protected:
    void SetUp() override
    {
        fake_reset();
        render_calls.clear();
        start_up();
        render_calls.clear();
        fake.calls.clear();
    }

    // Runs one frame and returns the scene it drew and the fade alpha it used.
    Frame frame()
    {
        render_calls.clear();
        run_frame();
        EXPECT_EQ(render_calls.size(), 2u);
        EXPECT_EQ(render_calls[1].name, "fade");
        EXPECT_EQ(render_calls[1].a, 1.0f);
        return Frame{render_calls[0].name, render_calls[0].a, render_calls[1].b};
    }
};

Message message(std::uint32_t number, std::uintptr_t wparam = 0)
{
    return Message{fake_window(), number, wparam, 0};
}

}  // namespace

TEST(StartUp, BuildsEverythingInOrderAndDrawsOneWhiteFade)
{
    fake_reset();
    render_calls.clear();
    app.scene_time = 99.0f;  // start-up begins from a zero-filled record
    start_up();
    ASSERT_EQ(render_calls.size(), 3u);
    EXPECT_EQ(render_calls[0].name, "setup_render_state");
    EXPECT_EQ(render_calls[1].name, "generate_torus");
    EXPECT_EQ(render_calls[1].a, 32.0f);
    EXPECT_EQ(render_calls[1].b, 24.0f);
    EXPECT_EQ(render_calls[2].name, "fade");
    EXPECT_EQ(render_calls[2].a, 1.0f);
    EXPECT_EQ(render_calls[2].b, 1.0f);
    EXPECT_EQ(app.torus_list, 42u);
    EXPECT_EQ(app.frame_count, 1);
    EXPECT_EQ(app.fade_level, 1.0f);
    EXPECT_EQ(app.scene_time, 0.0f);
    EXPECT_EQ(fake.calls.front(), "register_class OpenGL");
}

TEST(StartUp, AFailedWindowEndsTheProcessWithAFailureStatusAfterItsBox)
{
    fake_reset();
    fake.fail = {"register_class"};
    // The reason line is written before the end; the fake lists its calls at the end.
    EXPECT_EXIT(start_up(), ::testing::ExitedWithCode(1),
                "^Quorvex could not open its window: register_class refused\n"
                "register_class OpenGL\nlast_error\n"
                "box error\\?! Failed To register the window class!\nexit 1\n$");

    fake_reset();
    fake.fail = {"create_context"};
    EXPECT_EXIT(start_up(), ::testing::ExitedWithCode(1),
                "^Quorvex could not open its window: create_context refused\n(.*\n)*"
                "box error\\?! Unable To create an OpenGL rendering context\nexit 1\n$");
}

TEST(Constants, StepsKeepTheirExactSinglePrecisionBits)
{
    // 0x3D4CCCCC is one ulp below 0.05f; the scene-change fade timing depends on it.
    EXPECT_EQ(std::bit_cast<std::uint32_t>(fade_step), 0x3D4CCCCCu);
    EXPECT_EQ(std::bit_cast<std::uint32_t>(scene_time_step), std::bit_cast<std::uint32_t>(0.22f));
}

TEST(TruncateToInt, RoundsTowardZeroInEveryRoundingMode)
{
    const int saved = std::fegetround();
    for (int mode : {FE_TONEAREST, FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO}) {
        ASSERT_EQ(std::fesetround(mode), 0);
        volatile float up = 2.9f, down = -2.9f, half = 2.5f, below = 74.999f, at = 75.0f;
        EXPECT_EQ(truncate_to_int(up), 2) << "mode " << mode;
        EXPECT_EQ(truncate_to_int(down), -2) << "mode " << mode;
        EXPECT_EQ(truncate_to_int(half), 2) << "mode " << mode;
        EXPECT_EQ(truncate_to_int(below), 74) << "mode " << mode;
        EXPECT_EQ(truncate_to_int(at), 75) << "mode " << mode;
    }
    std::fesetround(saved);
}

TEST_F(FrameLoop, FirstFramesFadeSceneAInFromWhite)
{
    Frame first = frame();
    EXPECT_EQ(first.scene, "scene_a");
    EXPECT_EQ(first.scene_time, 0.22f);
    EXPECT_EQ(first.fade_alpha, 1.0f);
    EXPECT_FLOAT_EQ(frame().fade_alpha, 0.95f);
    EXPECT_FLOAT_EQ(frame().fade_alpha, 0.90f);
    for (int n = 4; n <= 20; ++n) {
        EXPECT_GT(frame().fade_alpha, 0.0f) << "frame " << n;
    }
    EXPECT_NEAR(frame().fade_alpha, 0.0f, 1e-5f) << "frame 21";
    EXPECT_LT(frame().fade_alpha, 0.0f) << "frame 22";
    EXPECT_EQ(app.frame_count, 23);
}

TEST_F(FrameLoop, ScenesAlternateWithAWhiteFadeOnlyBackIntoSceneA)
{
    std::vector<Frame> frames(1);  // frames[n] is frame n
    for (int n = 1; n <= 720; ++n) {
        frames.push_back(frame());
    }
    for (int n = 1; n <= 340; ++n) ASSERT_EQ(frames[n].scene, "scene_a") << "frame " << n;
    for (int n = 341; n <= 681; ++n) ASSERT_EQ(frames[n].scene, "scene_b") << "frame " << n;
    for (int n = 682; n <= 720; ++n) ASSERT_EQ(frames[n].scene, "scene_a") << "frame " << n;
    EXPECT_NEAR(frames[341].scene_time, 75.02f, 0.01f);

    // Never clamped: deep below zero at the hard cut into Scene B...
    EXPECT_LT(frames[341].fade_alpha, -15.0f);
    // ...rising through zero about 20 frames before Scene B ends...
    int rises_through_zero = 0;
    for (int n = 342; n <= 681; ++n) {
        if (frames[n - 1].fade_alpha <= 0.0f && frames[n].fade_alpha > 0.0f) rises_through_zero = n;
    }
    EXPECT_GE(rises_through_zero, 659);
    EXPECT_LE(rises_through_zero, 663);
    // ...above 1 (solid white) at the first frame of the next Scene A...
    EXPECT_NEAR(frames[682].fade_alpha, 1.05f, 0.01f);
    // ...and invisible again within about 21 frames.
    EXPECT_LT(frames[704].fade_alpha, 0.0f);
    EXPECT_GT(frames[700].fade_alpha, 0.0f);
}

TEST_F(FrameLoop, SceneChoiceUsesTheWholePartOfTheClock)
{
    // Start from clocks that the frame's own step lands on 74.999 and 75.0.
    for (auto [target, scene] : {std::pair{74.999f, "scene_a"}, std::pair{75.0f, "scene_b"},
                                 std::pair{149.99f, "scene_b"}, std::pair{150.0f, "scene_a"}}) {
        float start = target - scene_time_step;
        while (start + scene_time_step > target) start = std::nextafter(start, 0.0f);
        while (start + scene_time_step < target) start = std::nextafter(start, 1000.0f);
        ASSERT_EQ(start + scene_time_step, target);
        app.scene_time = start;
        Frame drawn = frame();
        EXPECT_EQ(drawn.scene_time, target);
        EXPECT_EQ(drawn.scene, scene) << "at " << target;
    }
}

TEST_F(FrameLoop, TheClockStandsStillOnceItsStepNoLongerCounts)
{
    app.scene_time = 4194304.0f;  // 2^22
    frame();
    EXPECT_EQ(app.scene_time, 4194304.0f);
}

// A capture seeks by passing over frames: the clock, the fade level and the
// frame counter must come out bit for bit as drawing those frames leaves them,
// through every scene change up to frame 100000.
TEST_F(FrameLoop, SkippingFramesStepsTheStateExactlyAsDrawingThem)
{
    struct Steps {
        std::uint32_t scene_time_bits;
        std::uint32_t fade_level_bits;
        std::int32_t frame_count;
        bool operator==(const Steps&) const = default;
    };
    auto steps = [] {
        return Steps{std::bit_cast<std::uint32_t>(app.scene_time),
                     std::bit_cast<std::uint32_t>(app.fade_level), app.frame_count};
    };
    std::vector<Steps> drawn;
    for (int n = 1; n <= 100000; ++n) {
        draw_frame();
        drawn.push_back(steps());
    }
    EXPECT_EQ(render_calls.size(), 2u * 100000u);  // a scene and the fade each frame

    fake_reset();
    start_up();
    render_calls.clear();
    for (int n = 1; n <= 100000; ++n) {
        skip_frame();
        ASSERT_TRUE(steps() == drawn[static_cast<std::size_t>(n - 1)]) << "frame " << n;
    }
    EXPECT_TRUE(render_calls.empty());
}

TEST_F(FrameLoop, EachFrameTakesOneMessageThenPresentsAndSleeps)
{
    fake.queue = {message(msg_null), message(0x0201)};
    run_frame();
    run_frame();
    run_frame();
    EXPECT_EQ(fake.calls, (Calls{"peek_message 0", "dispatch_message 0",
                                 "default_window_procedure 0 0", "swap dc", "sleep 2",
                                 "peek_message 513", "dispatch_message 513",
                                 "default_window_procedure 513 0", "swap dc", "sleep 2", "swap dc",
                                 "sleep 2"}));
}

TEST_F(FrameLoop, AKeyBehindOtherMessagesEndsTheProgramOneFramePerMessageLater)
{
    // A quit message is dispatched like any other and does not stop the loop.
    fake.queue = {message(msg_quit), message(msg_null), message(msg_keydown, 'Q')};
    EXPECT_EXIT(
        {
            for (int n = 0; n < 10; ++n) run_frame();
        },
        ::testing::ExitedWithCode(0),
        "^peek_message 18\ndispatch_message 18\ndefault_window_procedure 18 0\nswap dc\nsleep 2\n"
        "peek_message 0\ndispatch_message 0\ndefault_window_procedure 0 0\nswap dc\nsleep 2\n"
        "peek_message 256\ndispatch_message 256\npost_quit 0\nexit 0\n$");
}

TEST_F(FrameLoop, TimerMessagesInConsecutiveFramesTitleTheFramesBetweenThem)
{
    for (int n = 0; n < 5; ++n) run_frame();
    fake.queue = {message(msg_timer, 1), message(msg_timer, 1)};
    run_frame();
    // Start-up counted 1, then five frames: the first title shows one more than were drawn.
    EXPECT_EQ(fake.title, "Quorvex   [6 FPS]");
    run_frame();
    EXPECT_EQ(fake.title, "Quorvex   [1 FPS]");
    EXPECT_EQ(app.frame_count, 1);
}
