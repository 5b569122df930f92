// window_lifecycle_test.cpp -- window creation and teardown on the scripted platform: every failure path
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/gl_window.h"
#include "state/app_state.h"
#include "tests/fakes/fake_platform.h"

using Calls = std::vector<std::string>;

namespace {

class WindowLifecycle : public ::testing::Test {
protected:
    void SetUp() override
    {
        app = AppState{};
        fake_reset();
    }
};

const std::string create_fullscreen =
    "create_window OpenGL \"Quorvex\" fullscreen 0,0 800x600 color 32 depth 16 double";

// The teardown of a creation that got as far as a window: no context yet, so
// deleting it fails, and the window's procedure sees its destruction.
Calls teardown_without_context(bool fullscreen)
{
    Calls calls;
    if (fullscreen) {
        calls = {"restore_display_mode", "show_cursor 1"};
    }
    Calls rest = {"make_current dc null", "delete_context null",
                  "box error?! Release of rendering context failed!", "release_dc window dc",
                  "destroy_window window", "post_quit 0", "unregister_class OpenGL"};
    calls.insert(calls.end(), rest.begin(), rest.end());
    return calls;
}

Calls concat(Calls a, const Calls& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}


}  // namespace

TEST_F(WindowLifecycle, SuccessMakesEveryStepInOrderAndKeepsTheHandles)
{
    ASSERT_TRUE(window_create(800, 600, 32, true));
    Calls expected = {"register_class OpenGL",
                      "change_display_mode 800x600x32",
                      "show_cursor 0",
                      create_fullscreen,
                      "get_dc window",
                      "choose_pixel_format dc",
                      "set_pixel_format dc 7",
                      "create_context dc",
                      "make_current dc rc",
                      "start_timer window 1 1000",
                      "show_window window",
                      "default_window_procedure 5 0"};
    EXPECT_EQ(fake.calls, expected);
    EXPECT_EQ(app.window, fake_window());
    EXPECT_NE(app.dc, nullptr);
    EXPECT_NE(app.rc, nullptr);
    EXPECT_EQ(fake.cursor_hidden, 1);
}

TEST_F(WindowLifecycle, ClassRegistrationFailureShowsOneBoxAndTearsNothingDown)
{
    fake.fail = {"register_class"};
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(window_create(800, 600, 32, true));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(window_failure_reason(), std::string("register_class refused"));
    EXPECT_EQ(fake.calls, (Calls{"register_class OpenGL", "last_error",
                                 "box error?! Failed To register the window class!"}));
}

TEST_F(WindowLifecycle, FailedDisplaySwitchFallsBackToAFramedWindowWithTheCursor)
{
    fake.display_result = display_change_failed;
    ASSERT_TRUE(window_create(800, 600, 32, true));
    ASSERT_GE(fake.calls.size(), 4u);
    EXPECT_EQ(fake.calls[1], "change_display_mode 800x600x32");
    EXPECT_EQ(fake.calls[2], "box error?! unable To switch to fullscreen!");
    EXPECT_EQ(fake.calls[3],
              "create_window OpenGL \"Quorvex\" windowed 0,0 800x600 color 32 depth 16 double");
    EXPECT_TRUE(fake_calls_starting("show_cursor").empty());
    EXPECT_EQ(fake_calls_starting("box").size(), 1u);
}

TEST_F(WindowLifecycle, UnavailableModeKeepsFullScreenStylesSilently)
{
    fake.display_result = display_change_badmode;
    ASSERT_TRUE(window_create(800, 600, 32, true));
    EXPECT_TRUE(fake_calls_starting("box").empty());
    EXPECT_EQ(fake_calls_starting("create_window"), Calls{create_fullscreen});
    EXPECT_EQ(fake.cursor_hidden, 1);
}

TEST_F(WindowLifecycle, WindowedCreationNeverTouchesTheDisplayOrCursor)
{
    ASSERT_TRUE(window_create(800, 600, 32, false));
    EXPECT_TRUE(fake_calls_starting("change_display_mode").empty());
    EXPECT_TRUE(fake_calls_starting("show_cursor").empty());
}

TEST_F(WindowLifecycle, WindowCreationFailureShowsItsBoxBeforeTheTeardown)
{
    fake.fail = {"create_window"};
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(window_create(800, 600, 32, true));
    // The teardown's own failure (no context to delete) does not replace the reason.
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(window_failure_reason(), std::string("create_window refused"));
    Calls expected = {"register_class OpenGL",
                      "change_display_mode 800x600x32",
                      "show_cursor 0",
                      create_fullscreen,
                      "last_error",
                      "box error?! Unable To create window!",
                      "restore_display_mode",
                      "show_cursor 1",
                      "make_current null null",
                      "delete_context null",
                      "box error?! Release of rendering context failed!",
                      "unregister_class OpenGL"};
    EXPECT_EQ(fake.calls, expected);
    EXPECT_EQ(fake.cursor_hidden, 0);
}

// The later steps tear down first and show their own box last.
struct LateFailure {
    const char* step;
    Calls reached;  // the calls after get_dc, up to and including the failing one
    const char* box;
};

class WindowLateFailure : public WindowLifecycle,
                          public ::testing::WithParamInterface<LateFailure> {};

TEST_P(WindowLateFailure, TearsDownThenShowsItsBox)
{
    const LateFailure& failure = GetParam();
    fake.fail = {failure.step};
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(window_create(800, 600, 32, true));
    // The reason is the failed step's, taken before the teardown fails on the
    // missing context.
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(window_failure_reason(), std::string(failure.step) + " refused");

    Calls expected = {"register_class OpenGL", "change_display_mode 800x600x32", "show_cursor 0",
                      create_fullscreen, "get_dc window"};
    expected = concat(expected, failure.reached);
    expected.push_back("last_error");
    Calls teardown = teardown_without_context(true);
    if (std::string(failure.step) == "get_dc") {
        // No device context: nothing to release.
        std::erase(teardown, "release_dc window dc");
        std::replace(teardown.begin(), teardown.end(), std::string("make_current dc null"),
                     std::string("make_current null null"));
    }
    expected = concat(expected, teardown);
    expected.push_back(std::string("box error?! ") + failure.box);
    EXPECT_EQ(fake.calls, expected);
}

INSTANTIATE_TEST_SUITE_P(
    EachStep, WindowLateFailure,
    ::testing::Values(
        LateFailure{"get_dc", {}, "Unable to get device context!"},
        LateFailure{"choose_pixel_format", {"choose_pixel_format dc"},
                    "Unable To find a suitable pixel format"},
        LateFailure{"set_pixel_format", {"choose_pixel_format dc", "set_pixel_format dc 7"},
                    "Unable To set required pixel format"},
        LateFailure{"create_context",
                    {"choose_pixel_format dc", "set_pixel_format dc 7", "create_context dc"},
                    "Unable To create an OpenGL rendering context"}));

TEST_F(WindowLifecycle, ActivationFailureReleasesTheRealContextWithoutComplaint)
{
    fake.fail = {"make_current"};
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(window_create(800, 600, 32, true));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(window_failure_reason(), std::string("make_current refused"));
    Calls expected = {"make_current dc rc",     "last_error",           "restore_display_mode",
                      "show_cursor 1",          "make_current dc null", "delete_context rc",
                      "release_dc window dc",   "destroy_window window", "post_quit 0",
                      "unregister_class OpenGL"};
    EXPECT_EQ(Calls(fake.calls.end() - 11, fake.calls.end() - 1), expected);
    EXPECT_EQ(fake.calls.back(), "box error?! Unable To activate OpenGL rendering context");
    EXPECT_EQ(fake_calls_starting("box").size(), 1u);
}

TEST_F(WindowLifecycle, RejectedReleaseIsReportedJustBeforeTheMissingContext)
{
    fake.fail = {"choose_pixel_format", "release_current"};
    EXPECT_FALSE(window_create(800, 600, 32, true));
    EXPECT_EQ(fake_calls_starting("box"),
              (Calls{"box error?! Release of DC And RC failed!",
                     "box error?! Release of rendering context failed!",
                     "box error?! Unable To find a suitable pixel format"}));
}

TEST_F(WindowLifecycle, TeardownFailuresEachShowABoxAndTheTeardownGoesOn)
{
    ASSERT_TRUE(window_create(800, 600, 32, true));
    fake.calls.clear();
    fake.fail = {"release_current", "delete_context", "release_dc", "destroy_window",
                 "unregister_class"};
    window_teardown(true);
    Calls expected = {"restore_display_mode",
                      "show_cursor 1",
                      "make_current dc null",
                      "box error?! Release of DC And RC failed!",
                      "delete_context rc",
                      "box error?! Release of rendering context failed!",
                      "release_dc window dc",
                      "box error?! Release of device context failed!",
                      "destroy_window window",
                      "box error?! Unable To destroy window!",
                      "unregister_class OpenGL",
                      "box error?! Unable To unregister window class!"};
    EXPECT_EQ(fake.calls, expected);
    // A handle is dropped only when its release fails.
    EXPECT_EQ(app.rc, nullptr);
    EXPECT_EQ(app.dc, nullptr);
    EXPECT_EQ(app.window, nullptr);
}

TEST_F(WindowLifecycle, SuccessfulTeardownKeepsTheHandles)
{
    ASSERT_TRUE(window_create(800, 600, 32, true));
    PlatformContext* rc = app.rc;
    window_teardown(true);
    EXPECT_EQ(app.rc, rc);
    EXPECT_EQ(app.window, fake_window());
}

TEST_F(WindowLifecycle, WindowedTeardownNeverTouchesTheDisplayOrCursor)
{
    ASSERT_TRUE(window_create(800, 600, 32, false));
    fake.calls.clear();
    window_teardown(false);
    EXPECT_TRUE(fake_calls_starting("restore_display_mode").empty());
    EXPECT_TRUE(fake_calls_starting("show_cursor").empty());
    EXPECT_EQ(fake.calls.front(), "make_current dc null");
}

TEST_F(WindowLifecycle, ScaledHostsAskForTheirStyleAndNeverTouchTheDisplayOrCursor)
{
    const std::string rest = " 0,0 800x600 color 32 depth 16 double";
    const struct {
        RunOptions options;
        std::string registered, created;
    } rows[] = {
        {{Host::window}, "register_class OpenGL for scaled", "scaled" + rest},
        {{Host::foreign, 0x2a}, "register_class OpenGL for hosted", "hosted" + rest + " host 0x2a"},
        {{Host::foreign, 0, true}, "register_class OpenGL for hosted", "hosted" + rest},
    };
    for (const auto& row : rows) {
        fake_reset();
        ASSERT_TRUE(window_create(800, 600, 32, true, row.options));
        EXPECT_EQ(fake.calls.at(0), row.registered);
        EXPECT_EQ(fake.calls.at(1), "create_window OpenGL \"Quorvex\" " + row.created);
        window_teardown(!window_scaled());
        for (const char* step : {"change_display_mode", "restore_display_mode", "show_cursor"}) {
            EXPECT_TRUE(fake_calls_starting(step).empty()) << row.created << ": " << step;
        }
    }
}

TEST_F(WindowLifecycle, AHostWindowThatIsNoneIsRefusedWithoutBoxesOrTeardown)
{
    fake.fail = {"create_window"};
    EXPECT_FALSE(window_create(800, 600, 32, true, {Host::foreign, 0x2a}));
    EXPECT_TRUE(window_host_refused());
    EXPECT_EQ(fake.calls, (Calls{"register_class OpenGL for hosted",
                                 "create_window OpenGL \"Quorvex\" hosted 0,0 800x600 color 32 "
                                 "depth 16 double host 0x2a",
                                 "last_error", "unregister_class OpenGL"}));
}
