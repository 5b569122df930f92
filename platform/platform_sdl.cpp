// platform_sdl.cpp -- the platform steps on SDL2 (X11, Wayland; offscreen for tests)
#include <SDL.h>
#include <SDL_syswm.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "app/native_rules.h"
#include "platform/emulated_timer.h"
#include "platform/platform.h"
#include "platform/platform_sdl_internal.h"
#include "platform/posix_process.h"
#include "platform/scaled_picture.h"

SdlPlatform sdl;

// Keeps `reason` as the last failure, on one line: a later SDL call (the
// teardown's, say) would overwrite SDL's own error string.
static void note_failure(const char* reason)
{
    SDL_strlcpy(sdl.failure, reason ? reason : "", sizeof sdl.failure);
    for (char* c = sdl.failure; *c; ++c) {
        if (*c == '\n' || *c == '\r') {
            *c = ' ';
        }
    }
}

// Notes a native step's refusal (app/native_rules.h); true when there was one.
static bool refused(const char* reason)
{
    if (reason) {
        note_failure(reason);
    }
    return reason != nullptr;
}

static void note_sdl_failure()
{
    note_failure(SDL_GetError());
}

static SDL_Window* sdl_window(PlatformWindow* window)
{
    return reinterpret_cast<SDL_Window*>(window);
}

// SDL has no device context: a window's GL surface is the window itself.
static SDL_Window* sdl_window(PlatformDc* dc)
{
    return reinterpret_cast<SDL_Window*>(dc);
}

bool sdl_is_headless_driver(const char* name)
{
    return name && (SDL_strcasecmp(name, "offscreen") == 0 || SDL_strcasecmp(name, "dummy") == 0);
}

static bool is_set(const char* name)
{
    const char* value = SDL_getenv(name);
    return value && value[0] != '\0';
}

// SDL says nothing useful when it finds no display ("No available video device",
// or no error at all when it falls back to a headless driver); this names what
// was looked at, so a user sees which variable to set.
static void note_no_display()
{
    char text[sizeof sdl.failure];
    SDL_strlcpy(text, "there is no display to show the window on (", sizeof text);
    const char* names[] = {"DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER"};
    for (const char* name : names) {
        char part[160];
        if (is_set(name)) {
            SDL_snprintf(part, sizeof part, "%s=%s", name, SDL_getenv(name));
        } else {
            SDL_snprintf(part, sizeof part, "%s is not set", name);
        }
        if (name != names[0]) {
            SDL_strlcat(text, ", ", sizeof text);
        }
        SDL_strlcat(text, part, sizeof text);
    }
    SDL_strlcat(text, ")", sizeof text);
    note_failure(text);
}

// Why no display could be used: what is wrong with the X display DISPLAY
// names, else SDL's own word where a variable was set, else which variables
// were looked at.
static void note_display_failure()
{
    char reason[sizeof sdl.failure];
    if (is_set("DISPLAY") && x11_display_failure(reason, sizeof reason)) {
        note_failure(reason);
    } else if (is_set("WAYLAND_DISPLAY") || is_set("SDL_VIDEODRIVER") || is_set("DISPLAY")) {
        note_sdl_failure();
    } else {
        note_no_display();
    }
}

// A demo on a real display (not the headless drivers tests ask for by name) on
// X11 gets a watcher for the display mode and the signal handlers that use it.
static bool on_x11_display()
{
    const char* asked = SDL_getenv("SDL_VIDEODRIVER");
    return is_set("DISPLAY") && (!asked || asked[0] == '\0' || SDL_strcasecmp(asked, "x11") == 0);
}

bool platform_register_class(const char*, WindowProcedure procedure, WindowStyle style)
{
    // Before SDL starts: the watcher is forked while the process has one thread.
    // Only a full-screen window may switch the mode; the others leave it, and
    // the selection the watcher holds, to a full-screen demo started beside them.
    fill_closed_standard_descriptors();
    sdl.mode_switch = ModeSwitch::unwatched;
    const bool guarded = on_x11_display();
    if (guarded) {
        if (style == window_style_fullscreen) {
            sdl.mode_switch = mode_watcher_start();
        }
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        endings_install_signal_handlers();
        endings_install_x_connection_handlers();
    }
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        note_display_failure();
        return false;
    }
    // With no display at all SDL quietly falls back to its offscreen driver, and
    // the demo would run where nobody can see it or press a key to end it. Only
    // a caller that asks for a headless driver by name gets one.
    const char* driver = SDL_GetCurrentVideoDriver();
    const char* asked = SDL_getenv("SDL_VIDEODRIVER");
    if (sdl_is_headless_driver(driver) && !(asked && SDL_strcasecmp(asked, driver) == 0)) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        note_display_failure();
        return false;
    }
    sdl.procedure = procedure;
    if (guarded && SDL_strcmp(driver, "x11") == 0) {
        endings_install_x_error_handler();
    }
    sdl_select_events();
    return true;
}

bool platform_unregister_class(const char*)
{
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    sdl.procedure = nullptr;
    return true;
}

int platform_change_display_mode(int width, int height, int bits)
{
    // SDL switches the mode when a full-screen window is shown, so here the mode
    // is only looked up: a display without it is the "bad mode" case, a display
    // whose modes cannot be read at all is the failed switch.
    // Another demo's switch in force is a mode this display cannot be given
    // now: this one keeps the full-screen styles on the unchanged display, and
    // only the first hands a mode back, the desktop's.
    if (sdl.mode_switch == ModeSwitch::held_by_another) {
        sdl.switch_mode = false;
        return display_change_badmode;
    }
    if (SDL_GetNumVideoDisplays() < 1 || SDL_GetNumDisplayModes(0) < 1) {
        note_sdl_failure();
        return display_change_failed;
    }
    SDL_DisplayMode wanted = {};
    wanted.format = bits >= 24 ? SDL_PIXELFORMAT_RGB888 : SDL_PIXELFORMAT_RGB565;
    wanted.w = width;
    wanted.h = height;
    SDL_DisplayMode closest = {};
    if (!SDL_GetClosestDisplayMode(0, &wanted, &closest) || closest.w != width ||
        closest.h != height) {
        sdl.switch_mode = false;
        return display_change_badmode;
    }
    sdl.mode = closest;
    sdl.switch_mode = true;
    return display_change_successful;
}

int platform_restore_display_mode()
{
    if (sdl.window && (SDL_GetWindowFlags(sdl.window) & SDL_WINDOW_FULLSCREEN)) {
        return SDL_SetWindowFullscreen(sdl.window, 0);
    }
    return 0;
}

void platform_show_cursor(bool show)
{
    SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE);
}

// SDL answers every pointer crossing with requests that wait for the server's
// reply, so a pointer going back and forth over the window's edge stalls the
// pump however the events are dropped. The demo ignores the mouse: its window
// does not ask the server for crossings at all.
static void ignore_pointer_crossings(Display* display, Window window)
{
    XWindowAttributes attributes;
    if (XGetWindowAttributes(display, window, &attributes)) {
        XSelectInput(display, window,
                     attributes.your_event_mask & ~(EnterWindowMask | LeaveWindowMask));
    }
}

// A host's window: the one it names, made usable for GL by SDL, never mapped,
// raised or retitled by the demo.
static SDL_Window* create_hosted_window(std::uintptr_t host)
{
    if (SDL_strcmp(SDL_GetCurrentVideoDriver(), "x11") != 0) {
        note_failure("drawing into another program's window needs an X11 display");
        return nullptr;
    }
    unsigned long x_window = 0;
    char reason[sizeof sdl.failure];
    if (!x11_find_host_window(host, &x_window, reason, sizeof reason)) {
        note_failure(reason);
        return nullptr;
    }
    // An error about it from now on means its owner destroyed it: the demo ends.
    endings_watch_window(x_window);
    SDL_SetHint(SDL_HINT_VIDEO_FOREIGN_WINDOW_OPENGL, "1");
    SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
    SDL_Window* window = SDL_CreateWindowFrom(reinterpret_cast<const void*>(x_window));
    if (!window) {
        note_sdl_failure();
        return nullptr;
    }
    sdl.host_window = x_window;
    SDL_SysWMinfo native;
    SDL_VERSION(&native.version);
    if (SDL_GetWindowWMInfo(window, &native) && native.subsystem == SDL_SYSWM_X11) {
        // SDL selects nothing on a window it did not make: without this it
        // would never learn of the host's mapping, size or end.
        x11_follow_host_window(native.info.x11.display, x_window);
    }
    return window;
}

PlatformWindow* platform_create_window(const char*, const char* title, WindowStyle style, int x,
                                       int y, int width, int height,
                                       const PixelFormatRequest* format, std::uintptr_t host)
{
    sdl.style = style;
    sdl.picture_width = width;
    sdl.picture_height = height;
    sdl.picture_started = false;
    sdl.host_window = 0;
    sdl.host_gone = false;
    // SDL fixes the pixel format when the window is made, so it is asked for here.
    int channel_bits = format->color_bits >= 24 ? 8 : format->color_bits / 3;
    SDL_GL_ResetAttributes();
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, channel_bits);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, channel_bits);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, channel_bits);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, format->depth_bits);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_ACCUM_RED_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_ACCUM_GREEN_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_ACCUM_BLUE_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_ACCUM_ALPHA_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, format->double_buffer ? 1 : 0);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);

    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN;
    if (style == window_style_fullscreen) {
        flags |= sdl.switch_mode ? SDL_WINDOW_FULLSCREEN : SDL_WINDOW_BORDERLESS;
    } else {
        flags |= SDL_WINDOW_RESIZABLE;
    }
    SDL_Window* window = style == window_style_hosted
                             ? create_hosted_window(host)
                             : SDL_CreateWindow(title, x, y, width, height, flags);
    if (!window) {
        if (style != window_style_hosted) {
            note_sdl_failure();
        }
        return nullptr;
    }
    if (flags & SDL_WINDOW_FULLSCREEN) {
        SDL_SetWindowDisplayMode(window, &sdl.mode);
    }
    sdl.window = window;
    SDL_SysWMinfo native;
    SDL_VERSION(&native.version);
    if (style != window_style_hosted && SDL_GetWindowWMInfo(window, &native) &&
        native.subsystem == SDL_SYSWM_X11) {
        endings_watch_window(native.info.x11.window);
        ignore_pointer_crossings(native.info.x11.display, native.info.x11.window);
    }
    if (sdl.procedure) {
        sdl.procedure(reinterpret_cast<PlatformWindow*>(window), msg_create, 0, 0);
    }
    return reinterpret_cast<PlatformWindow*>(window);
}

PlatformDc* platform_get_dc(PlatformWindow* window)
{
    return reinterpret_cast<PlatformDc*>(window);
}

int platform_choose_pixel_format(PlatformDc* dc, const PixelFormatRequest*)
{
    // The format was chosen with the window; an OpenGL window has exactly one.
    if (dc && (SDL_GetWindowFlags(sdl_window(dc)) & SDL_WINDOW_OPENGL)) {
        return 1;
    }
    note_failure("the window has no OpenGL surface");
    return 0;
}

bool platform_set_pixel_format(PlatformDc* dc, int index, const PixelFormatRequest*)
{
    return !refused(refused_pixel_format(dc, index));
}

PlatformContext* platform_create_context(PlatformDc* dc)
{
    SDL_GLContext context = SDL_GL_CreateContext(sdl_window(dc));
    if (!context) {
        note_sdl_failure();
    }
    return static_cast<PlatformContext*>(context);
}

static bool is_scaled(WindowStyle style)
{
    return style == window_style_scaled || style == window_style_hosted;
}

static void* look_up_gl(const char* name)
{
    return SDL_GL_GetProcAddress(name);
}

bool platform_make_current(PlatformDc* dc, PlatformContext* rc)
{
    if (SDL_GL_MakeCurrent(sdl_window(dc), static_cast<SDL_GLContext>(rc)) != 0) {
        note_sdl_failure();
        return false;
    }
    // The scaled styles draw every frame into the picture's buffer, made as soon
    // as there is a context to make it in.
    if (rc && is_scaled(sdl.style) && !sdl.picture_started) {
        if (!scaled_picture_start(look_up_gl, sdl.picture_width, sdl.picture_height)) {
            note_failure(scaled_picture_failure());
            return false;
        }
        sdl.picture_started = true;
    }
    return true;
}

bool platform_delete_context(PlatformContext* rc)
{
    if (refused(refused_context(rc))) {
        return false;
    }
    SDL_GL_DeleteContext(static_cast<SDL_GLContext>(rc));
    return true;
}

bool platform_release_dc(PlatformWindow* window, PlatformDc* dc)
{
    return !refused(refused_surface(window, dc));
}

bool platform_destroy_window(PlatformWindow* window)
{
    if (refused(refused_window(window))) {
        return false;
    }
    if (sdl.procedure) {
        sdl.procedure(window, msg_destroy, 0, 0);
    }
    // SDL leaves a window it did not make to its owner.
    SDL_DestroyWindow(sdl_window(window));
    if (sdl.window == sdl_window(window)) {
        sdl.window = nullptr;
        sdl.timer.running = false;
        sdl.picture_started = false;
    }
    return true;
}

std::intptr_t sdl_size_lparam(int width, int height)
{
    // The scaled styles' viewport is always the picture's.
    if (is_scaled(sdl.style)) {
        width = sdl.picture_width;
        height = sdl.picture_height;
    }
    return (width & 0xFFFF) | ((height & 0xFFFF) << 16);
}

static void send_size(SDL_Window* window)
{
    int width = 0;
    int height = 0;
    SDL_GetWindowSize(window, &width, &height);
    std::intptr_t lparam = sdl_size_lparam(width, height);
    if (sdl.procedure) {
        sdl.procedure(reinterpret_cast<PlatformWindow*>(window), msg_size, 0, lparam);
    }
}

void platform_show_window(PlatformWindow* window)
{
    // A host's window is mapped, stacked and focused by its owner alone.
    if (sdl.style == window_style_hosted) {
        send_size(sdl_window(window));
        return;
    }
    SDL_ShowWindow(sdl_window(window));
    send_size(sdl_window(window));
    SDL_RaiseWindow(sdl_window(window));
}

void platform_set_window_title(PlatformWindow* window, const char* text)
{
    SDL_SetWindowTitle(sdl_window(window), text);
}

void platform_swap_buffers(PlatformDc* dc)
{
    // Mesa's software driver sizes the window's buffer from a geometry request
    // whose failure leaves the size unset: drawing into a host's window just
    // destroyed cleared a buffer of any size, for seconds. The destruction,
    // when the server has told of it, stops the presenting here; the pump
    // then ends the demo.
    if (sdl.style == window_style_hosted && sdl_host_gone()) {
        return;
    }
    if (sdl.picture_started) {
        int width = 0;
        int height = 0;
        SDL_GL_GetDrawableSize(sdl_window(dc), &width, &height);
        scaled_picture_present(width, height);
    }
    SDL_GL_SwapWindow(sdl_window(dc));
}

void platform_sleep(unsigned milliseconds)
{
    SDL_Delay(milliseconds);
}

void platform_exit_process(int code)
{
    // With a watcher the desktop's mode is back once it answers, and the
    // server releases the window, cursor and context with the connection:
    // SDL's own shutdown, which waits on the window for up to a second, is
    // left out. Without one (or one that does not answer), a process that
    // ends with SDL still up leaves an X11 display in the changed mode;
    // shutting SDL down restores it. A signal that asked for the close ends
    // the process by that signal afterwards.
    if (mode_watcher_hand_back() == HandBack::handed_back) {
        std::fflush(nullptr);
        endings_end_by_requesting_signal();
        _exit(code);
    }
    SDL_Quit();
    std::fflush(nullptr);
    endings_end_by_requesting_signal();
    std::exit(code);
}

const char* platform_last_error()
{
    return sdl.failure;
}

void platform_report_bad_input(const char* text)
{
    std::fputs(text, stderr);
    std::fflush(stderr);
}
