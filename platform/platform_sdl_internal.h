// platform_sdl_internal.h -- what the SDL platform's files share, and nothing outside platform/ sees
#pragma once

#include <SDL.h>

#include <cstddef>
#include <cstdint>

#include "platform/emulated_timer.h"
#include "platform/platform.h"

struct _XDisplay;  // Xlib's Display

// True for SDL's drivers that show nothing ("offscreen", "dummy"), in any case.
bool sdl_is_headless_driver(const char* name);


// What the display-mode watcher found when it started.
enum class ModeSwitch {
    watched,          // this demo may switch: the watcher hands the desktop's mode back
    held_by_another,  // another demo's switch is in force: this one must not switch again
    unwatched,        // no X display with RandR to watch: switching is left to SDL alone
};

// The SDL platform's one record, shared by its files (nothing outside
// platform/ sees it).
struct SdlPlatform {
    WindowProcedure procedure;
    SDL_Window* window;
    bool switch_mode;       // the display offers the requested mode: use exclusive full screen
    SDL_DisplayMode mode;   // that mode
    EmulatedTimer timer;
    ModeSwitch mode_switch; // whether this demo may switch modes, and who hands them back
    WindowStyle style;      // the window's: the scaled ones draw into the picture's buffer
    int picture_width;      // the scaled styles' picture, the size msg_size reports
    int picture_height;
    bool picture_started;   // its buffer exists (made once the context is first current)
    unsigned long host_window;  // a hosted window's X window, 0 for every other
    bool host_gone;         // its owner has destroyed it: nothing may be drawn into it again
    char failure[512];      // why the last failed step failed, one line
};
extern SdlPlatform sdl;

// Reads the events the server has sent; true when the host's window has been
// destroyed meanwhile (a hosted window only).
bool sdl_host_gone();

// msg_size's lparam for a window of width x height: the picture's size in the
// scaled styles.
std::intptr_t sdl_size_lparam(int width, int height);

// Switches off the events the pump never uses and drops those it cannot at the
// source, so the one-message-a-frame pump takes only messages that matter.
void sdl_select_events();

// Forks the watcher and waits (at most a few seconds) for its answer. Call it
// before SDL starts, while the process has one thread.
ModeSwitch mode_watcher_start();
// What asking the watcher to hand the desktop's mode back came to.
enum class HandBack {
    handed_back,  // the mode is the desktop's again
    unanswered,   // asked, but no answer yet: it restores once it can run
    no_watcher,   // none was started, or it has died: the demo must restore it
};
// Asks the watcher to put the desktop's mode back now and waits up to a quarter
// of a second for it. Async-signal-safe; no_watcher at once without one.
HandBack mode_watcher_hand_back();

// SIGINT, SIGTERM, SIGHUP and SIGQUIT hand the mode back through the watcher
// and end the process from the handler, on whichever thread they land. Where
// the watcher does not answer, they ask the main thread to close the window
// instead (endings_close_requested), whose teardown and SDL's shutdown restore
// the mode; a watcher that is alive but slow gets half a second of that before
// the process ends anyway, and a second signal ends it at once.
void endings_install_signal_handlers();
// True once a signal has asked the main thread to close the window.
bool endings_close_requested();
// After SDL's shutdown: a SIGHUP or SIGQUIT that asked for the close ends the
// process by that signal; otherwise returns.
void endings_end_by_requesting_signal();
// Xlib's lost-connection handler, and a crash handler that tells a GL driver
// faulting on a vanished server (a null reply) from a crash of the demo's own:
// the first ends with the lost-connection line and status 1, the second stays
// a crash. Installed before SDL starts, so no moment is left uncovered.
void endings_install_x_connection_handlers();
// Xlib's error handler, in place of SDL's: installed after SDL's video
// subsystem has started.
void endings_install_x_error_handler();
// The demo's X window: an error about it means another client destroyed it.
void endings_watch_window(unsigned long x_window);

// Notes the local sockets of the X server that DISPLAY names (none for a remote
// one), for x11_server_gone.
void x11_note_display(const char* display);
// The X window a hosted window draws into: `requested`, or the root window for 0.
// False, with the reason, where DISPLAY's server has no such window (or it is an
// input-only one). Uses a connection of its own, closed before it returns.
bool x11_find_host_window(unsigned long requested, unsigned long* window, char* reason,
                          std::size_t size);
// The host's window tells the demo's connection when it is mapped, unmapped,
// resized and destroyed; nothing else of it is asked for, so its input stays
// its owner's.
void x11_follow_host_window(_XDisplay* display, unsigned long window);

// True when the noted local server no longer takes connections.
// Async-signal-safe.
bool x11_server_gone();
// True when a connection to DISPLAY can be opened now.
bool x11_display_opens();
// Why DISPLAY cannot be used, in one line (no server answers there, it refused
// this client, no descriptor is left); false when it can be opened after all.
bool x11_display_failure(char* reason, std::size_t size);
