// platform.h -- the operating-system steps the program needs, one plain function per step
//
// The rules (which step comes next, which message, what is torn down after which
// failure) live in app/. A platform file only performs a step and says whether it
// worked. Exactly one platform is linked into a program: platform_sdl.cpp (with
// its sdl_* and x11_* files) for Linux, platform_win32.cpp for Windows,
// platform_web.cpp for the browser, a fake for the unit tests. What a native
// window system decides and SDL and the page must emulate alike (system keys,
// refused null handles) is app/native_rules.h.
#pragma once

#include <cstdint>

// Opaque handles; only the platform file knows what they are.
struct PlatformWindow;
struct PlatformDc;
struct PlatformContext;

// Message numbers as the window procedure sees them (the native values, so a
// native platform can pass its own messages straight through).
enum : std::uint32_t {
    msg_null = 0x0000,
    msg_create = 0x0001,
    msg_destroy = 0x0002,
    msg_size = 0x0005,
    msg_close = 0x0010,
    msg_quit = 0x0012,
    msg_keydown = 0x0100,
    msg_syskeydown = 0x0104,
    msg_syscommand = 0x0112,
    msg_timer = 0x0113,
    // lparam: x in the low 16 bits, y in the high 16 bits, each signed.
    msg_mousemove = 0x0200,
    msg_lbuttondown = 0x0201,
    msg_rbuttondown = 0x0204,
    msg_mbuttondown = 0x0207,
};

// The commands msg_syscommand carries in wparam. The system uses the low four
// bits of wparam itself, so a command is wparam & syscommand_mask.
enum : std::uintptr_t {
    syscommand_mask = 0xFFF0,
    syscommand_close = 0xF060,
    syscommand_keymenu = 0xF100,
    syscommand_screensave = 0xF140,
    syscommand_monitorpower = 0xF170,
};

// One queued window message, as the pump takes it from the queue.
struct Message {
    PlatformWindow* window;
    std::uint32_t message;
    std::uintptr_t wparam;
    std::intptr_t lparam;
};

using WindowProcedure = std::intptr_t (*)(PlatformWindow* window, std::uint32_t message,
                                          std::uintptr_t wparam, std::intptr_t lparam);

// Results of a display-mode change, with the native codes.
enum DisplayChange : int {
    display_change_successful = 0,
    display_change_failed = -1,
    display_change_badmode = -2,
};

// The pixel format the window asks for; every field not named is zero.
struct PixelFormatRequest {
    std::uint8_t color_bits;
    std::uint8_t depth_bits;
    bool double_buffer;
};

// Window styles: full screen is a borderless popup, windowed a framed, resizable window.
enum WindowStyle : int {
    window_style_fullscreen = 0,
    window_style_windowed = 1,
    // The picture is drawn at the size asked for into an off-screen buffer and shown
    // scaled to the window's client area, aspect kept, black around it.
    window_style_scaled = 2,   // a framed, resizable top-level window
    window_style_hosted = 3,   // drawn into (SDL/X11) or as a child of (Win32) the window `host` names
};

// Makes the windowing system usable and registers `procedure` as the procedure
// of the program's window class. `style` is the style the window will be asked
// for: only a full-screen one may change the display mode, so only it needs
// whatever a platform keeps to hand the desktop's mode back. False when no
// visible display can be had.
bool platform_register_class(const char* class_name, WindowProcedure procedure, WindowStyle style);
// Undoes platform_register_class. False on failure.
bool platform_unregister_class(const char* class_name);

// Switches the display to width x height at bits per pixel for a full-screen
// window; returns one of DisplayChange.
int platform_change_display_mode(int width, int height, int bits);
// Returns the display to the desktop's own mode. The result is not used.
int platform_restore_display_mode();
// Shows or hides the mouse cursor over the program's window.
void platform_show_cursor(bool show);

// Creates the (hidden) top-level window at x, y with the given outer size.
// `format` is the pixel format the GL context will ask for; platforms that
// must fix it before the window exists take it here. In the scaled styles
// width x height is the picture's size: msg_size always reports it, whatever
// the window's client size, which only presenting uses. `host` is the window a
// hosted one draws into (0: the root window), 0 for every other style. A hosted
// window shows while its host is mapped, takes no input and ends the program
// (msg_close; on Win32, where the host destroys its child with itself, at once
// with status 0) when the host goes away. Null on failure (for hosted: no such window).
PlatformWindow* platform_create_window(const char* class_name, const char* title, WindowStyle style,
                                       int x, int y, int width, int height,
                                       const PixelFormatRequest* format, std::uintptr_t host);
// The drawing surface of `window`. Null on failure.
PlatformDc* platform_get_dc(PlatformWindow* window);
// Index of the pixel format closest to `format`; 0 when there is none.
int platform_choose_pixel_format(PlatformDc* dc, const PixelFormatRequest* format);
// Gives `dc` the chosen pixel format. False on failure.
bool platform_set_pixel_format(PlatformDc* dc, int index, const PixelFormatRequest* format);
// A new GL rendering context for `dc`. Null on failure.
PlatformContext* platform_create_context(PlatformDc* dc);
// Makes `rc` current on `dc` (a null `rc` releases the current one). False on failure.
bool platform_make_current(PlatformDc* dc, PlatformContext* rc);
// Deletes `rc`; false on failure, and a null context is a failure.
bool platform_delete_context(PlatformContext* rc);
// Releases `dc`. False on failure.
bool platform_release_dc(PlatformWindow* window, PlatformDc* dc);
// Destroys `window`, sending msg_destroy to its procedure first. False on failure.
bool platform_destroy_window(PlatformWindow* window);

// Starts a timer that queues msg_timer with wparam `id` every `period_ms`.
void platform_start_timer(PlatformWindow* window, unsigned id, unsigned period_ms);
// Shows the window (its procedure receives msg_size), raises it and gives it the focus.
void platform_show_window(PlatformWindow* window);

// Takes at most one message off the queue. False when the queue is empty.
// While the window is minimised (or unmapped) it waits instead, until there is
// a message or the window is shown again, so no frame is drawn meanwhile.
bool platform_peek_message(Message* message);
// Translates and dispatches `message` to its window's procedure.
void platform_dispatch_message(const Message* message);
// The platform's own handling of a message the program does not handle.
std::intptr_t platform_default_window_procedure(PlatformWindow* window, std::uint32_t message,
                                                std::uintptr_t wparam, std::intptr_t lparam);
// Queues a quit message. Nothing reads it.
void platform_post_quit_message(int exit_code);

void platform_set_window_title(PlatformWindow* window, const char* text);
// A modal error box with no owner; returns when the user has dismissed it (or at
// once, after writing "caption: text" to standard error, where none can be shown).
void platform_message_box(const char* text, const char* caption);
// Tells the user the command line was wrong: `text` (whole lines) on standard
// error and, where a program may be started with no console to show it in (a
// Windows screensaver), in a box as well.
void platform_report_bad_input(const char* text);

// The platform's own text for why its last step failed ("" when it has none).
// Valid until the next platform call.
const char* platform_last_error();

// Presents the back buffer of `dc`.
void platform_swap_buffers(PlatformDc* dc);
void platform_sleep(unsigned milliseconds);
// Ends the process with `code`, handing the display back first.
[[noreturn]] void platform_exit_process(int code);
