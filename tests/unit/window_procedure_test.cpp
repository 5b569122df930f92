// window_procedure_test.cpp -- the window procedure's table on the scripted platform
#include <gtest/gtest.h>

#include "app/gl_window.h"
#include "app/window_procedure.h"
#include "state/app_state.h"
#include "tests/fakes/fake_platform.h"

namespace {

class WindowProcedureTable : public ::testing::Test {
protected:
    void SetUp() override
    {
        app = AppState{};
        fake_reset();
        ASSERT_TRUE(window_create(800, 600, 32, true));
        fake.calls.clear();
    }

    std::intptr_t send(std::uint32_t message, std::uintptr_t wparam = 0, std::intptr_t lparam = 0)
    {
        return window_procedure(fake_window(), message, wparam, lparam);
    }
};

using Calls = std::vector<std::string>;

constexpr std::uint32_t msg_erasebkgnd = 0x0014;
constexpr std::uintptr_t vk_f10 = 0x79;
constexpr std::intptr_t alt_held = std::intptr_t{1} << 29;

}  // namespace

TEST_F(WindowProcedureTable, CreationAndDestructionOnlyAnswer)
{
    EXPECT_EQ(send(msg_create), 0);
    EXPECT_TRUE(fake.calls.empty());
    // Destruction alone posts a quit message and does not end the program.
    EXPECT_EQ(send(msg_destroy), 0);
    EXPECT_EQ(fake.calls, Calls{"post_quit 0"});
}

TEST_F(WindowProcedureTable, SizeResizesThenGoesToTheDefaultHandling)
{
    send(msg_size, 0, 640 | (480 << 16));
    EXPECT_EQ(fake.calls, Calls{"default_window_procedure 5 0"});
}

TEST_F(WindowProcedureTable, AnyKeyEndsTheProgramAtOnceWithoutTeardown)
{
    for (std::uintptr_t key : {std::uintptr_t{'A'}, std::uintptr_t{0x1B}, std::uintptr_t{0x20}}) {
        fake.calls.clear();
        EXPECT_EXIT(send(msg_keydown, key), ::testing::ExitedWithCode(0), "^post_quit 0\nexit 0\n$");
    }
}

TEST_F(WindowProcedureTable, CloseTearsTheWindowDownThenEndsTheProgram)
{
    EXPECT_EXIT(send(msg_close), ::testing::ExitedWithCode(0),
                "^post_quit 0\nrestore_display_mode\nshow_cursor 1\nmake_current dc null\n"
                "delete_context rc\nrelease_dc window dc\ndestroy_window window\npost_quit 0\n"
                "unregister_class OpenGL\nexit 0\n$");
}

TEST_F(WindowProcedureTable, CloseEndsTheProgramEvenWhenTheTeardownFails)
{
    fake.fail = {"destroy_window"};
    EXPECT_EXIT(send(msg_close), ::testing::ExitedWithCode(0),
                "box error\\?! Unable To destroy window!\nunregister_class OpenGL\nexit 0\n$");
}

TEST_F(WindowProcedureTable, SystemKeysMouseAndOtherMessagesGoToTheDefaultHandling)
{
    send(msg_syskeydown, 'X', alt_held);
    send(msg_syskeydown, vk_f10, 0);
    send(msg_lbuttondown);
    send(msg_mousemove);
    send(msg_erasebkgnd);
    EXPECT_EQ(fake.calls, (Calls{"default_window_procedure 260 88", "default_window_procedure 260 121",
                                 "default_window_procedure 513 0", "default_window_procedure 512 0",
                                 "default_window_procedure 20 0"}));
}

TEST_F(WindowProcedureTable, WindowMenuScreensaverAndMonitorPowerCommandsDoNothing)
{
    // The low four bits of the command are the system's own: a command is
    // recognised whatever they hold. Each is answered without the default handling.
    const std::uintptr_t commands[] = {syscommand_keymenu, syscommand_keymenu | 0x2,
                                       syscommand_screensave, syscommand_monitorpower | 0xF};
    for (std::uintptr_t command : commands) {
        EXPECT_EQ(send(msg_syscommand, command, 2), 0) << command;
    }
    EXPECT_EQ(fake.calls, Calls{});
}

TEST_F(WindowProcedureTable, CloseAndOtherSystemCommandsGoToTheDefaultHandling)
{
    // Alt+F4 becomes SC_CLOSE in the default handling of the key; SC_CLOSE in
    // turn becomes the close request there. Moving the window stays possible too.
    constexpr std::uintptr_t sc_move_by_mouse = 0xF012;
    send(msg_syscommand, syscommand_close);
    send(msg_syscommand, sc_move_by_mouse);
    EXPECT_EQ(fake.calls, (Calls{"default_window_procedure 274 61536",
                                 "default_window_procedure 274 61458"}));
}

TEST_F(WindowProcedureTable, TimerOneRetitlesWithTheFrameCountAndResetsIt)
{
    app.frame_count = 60;
    EXPECT_EQ(send(msg_timer, 1), 0);
    EXPECT_EQ(fake.title, "Quorvex   [60 FPS]");
    EXPECT_EQ(app.frame_count, 0);

    app.frame_count = 12345;
    send(msg_timer, 1);
    EXPECT_EQ(fake.title, "Quorvex   [12345 FPS]");
}

TEST_F(WindowProcedureTable, TimerWithAnotherIdLeavesTitleAndCountAlone)
{
    app.frame_count = 17;
    send(msg_timer, 2);
    EXPECT_EQ(fake.calls, Calls{"default_window_procedure 275 2"});
    EXPECT_EQ(fake.title, "");
    EXPECT_EQ(app.frame_count, 17);
}

TEST_F(WindowProcedureTable, InAHostsWindowKeysAndTheTitleAreTheHosts)
{
    ASSERT_TRUE(window_create(800, 600, 32, true, {Host::foreign, 0x2a}));
    fake.calls.clear();
    app.frame_count = 60;
    send(msg_keydown, 'A');
    send(msg_timer, 1);
    EXPECT_EQ(fake.calls, Calls{"default_window_procedure 256 65"});
    EXPECT_EQ(fake.title, "");
    EXPECT_EQ(app.frame_count, 0);
    EXPECT_EXIT(send(msg_close), ::testing::ExitedWithCode(0),
                "\npost_quit 0\nmake_current dc null\ndelete_context rc\n");
}

TEST_F(WindowProcedureTable, AScreensaverEndingOnTheMouseEndsOnAClickOrARealMove)
{
    ASSERT_TRUE(window_create(800, 600, 32, true, {Host::fullscreen, 0, false, true}));
    fake.calls.clear();
    auto at = [](int x, int y) { return static_cast<std::intptr_t>((x & 0xFFFF) | (y << 16)); };
    for (std::intptr_t jitter : {at(100, 100), at(104, 96), at(96, 104)}) {
        send(msg_mousemove, 0, jitter);
    }
    EXPECT_EXIT(send(msg_mousemove, 0, at(105, 100)), ::testing::ExitedWithCode(0), "exit 0\n$");
    EXPECT_EXIT(send(msg_mousemove, 0, at(100, 95)), ::testing::ExitedWithCode(0), "exit 0\n$");
    for (std::uint32_t button : {msg_lbuttondown, msg_rbuttondown, msg_mbuttondown}) {
        EXPECT_EXIT(send(button), ::testing::ExitedWithCode(0), "post_quit 0\nexit 0\n$");
    }
}
