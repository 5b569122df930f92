// window_procedure.cpp -- window_procedure and the frame-rate title
#include "app/window_procedure.h"

#include <cstdio>
#include <cstdlib>

#include "app/frame_loop.h"
#include "app/gl_window.h"
#include "state/app_state.h"

static void show_frame_rate(PlatformWindow* window)
{
    // The timer runs once a second, so the frames counted since the last title
    // are the frame rate. A host's window keeps the title its owner gave it.
    if (window_options().host != Host::foreign) {
        char title[64];
        std::snprintf(title, sizeof title, "Quorvex   [%ld FPS]",
                      static_cast<long>(app.frame_count));
        platform_set_window_title(window, title);
    }
    app.frame_count = 0;
}

// How far the pointer may wander from where it was first seen before a
// screensaver that ends on the mouse takes it as a real move: a desk's
// vibration or a wireless mouse's jitter is not the user coming back.
static constexpr int mouse_move_slack = 4;

// True when a screensaver that ends on the mouse sees a real move: more than
// the slack from the first position reported.
static bool mouse_moved_away(std::intptr_t lparam)
{
    const std::int32_t x = static_cast<std::int16_t>(lparam & 0xFFFF);
    const std::int32_t y = static_cast<std::int16_t>((lparam >> 16) & 0xFFFF);
    if (!app.mouse_seen) {
        app.mouse_seen = true;
        app.mouse_start_x = x;
        app.mouse_start_y = y;
        return false;
    }
    return std::abs(x - app.mouse_start_x) > mouse_move_slack ||
           std::abs(y - app.mouse_start_y) > mouse_move_slack;
}

[[noreturn]] static void end_as_key()
{
    platform_post_quit_message(0);
    exit_program();
}

// The system commands the demo answers itself, so that they do nothing. Alt or
// F10 alone asks for the window menu, whose default handling runs the menu's own
// message loop: no frames are drawn and the next key goes to the menu rather
// than ending the demo. The screensaver and the monitor's power saving would
// cover the picture, and the screensaver's own desktop drops a full-screen
// display mode that nothing sets again. Every other
// command, the close that Alt+F4 asks for among them, keeps its default handling.
static bool is_suppressed_command(std::uintptr_t wparam)
{
    switch (wparam & syscommand_mask) {
    case syscommand_keymenu:
    case syscommand_screensave:
    case syscommand_monitorpower:
        return true;
    default:
        return false;
    }
}

std::intptr_t window_procedure(PlatformWindow* window, std::uint32_t message,
                               std::uintptr_t wparam, std::intptr_t lparam)
{
    switch (message) {
    case msg_create:
        return 0;
    case msg_size: {
        // Each half of lParam is a signed 16-bit number.
        auto width = static_cast<std::int16_t>(lparam & 0xFFFF);
        auto height = static_cast<std::int16_t>((lparam >> 16) & 0xFFFF);
        window_resize(width, height);
        return platform_default_window_procedure(window, message, wparam, lparam);
    }
    case msg_keydown:
        // In a host's window the host owns the keyboard and ends the demo itself.
        if (window_options().host == Host::foreign) {
            break;
        }
        end_as_key();
    case msg_mousemove:
        if (window_options().end_on_mouse && mouse_moved_away(lparam)) {
            end_as_key();
        }
        break;
    case msg_lbuttondown:
    case msg_rbuttondown:
    case msg_mbuttondown:
        if (window_options().end_on_mouse) {
            end_as_key();
        }
        break;
    case msg_close:
        platform_post_quit_message(0);
        window_teardown(!window_scaled());
        exit_program();
    case msg_destroy:
        platform_post_quit_message(0);
        return 0;
    case msg_syscommand:
        if (is_suppressed_command(wparam)) {
            return 0;
        }
        break;
    case msg_timer:
        if (wparam == 1) {
            show_frame_rate(window);
            return 0;
        }
        break;
    default:
        break;
    }
    return platform_default_window_procedure(window, message, wparam, lparam);
}
