// platform_sdl_internal.h -- what the SDL platform's files share, and nothing outside platform/ sees
#pragma once

// True for SDL's drivers that show nothing ("offscreen", "dummy"), in any case.
bool sdl_is_headless_driver(const char* name);

// What the display-mode watcher found when it started.
enum class ModeSwitch {
    watched,          // this demo may switch: the watcher hands the desktop's mode back
    held_by_another,  // another demo's switch is in force: this one must not switch again
    unwatched,        // no X display with RandR to watch: switching is left to SDL alone
};

// Forks the watcher and waits (at most a few seconds) for its answer. Call it
// before SDL starts, while the process has one thread.
ModeSwitch mode_watcher_start();
// Asks the watcher to put the desktop's mode back now and waits up to half a
// second for it; true when it answered that it has. Async-signal-safe; false at
// once without a watcher.
bool mode_watcher_hand_back();

// SIGINT, SIGTERM, SIGHUP and SIGQUIT hand the mode back and end the process
// from the handler, on whichever thread they land.
void endings_install_signal_handlers();
// Xlib's error and lost-connection handlers, in place of SDL's: installed
// after SDL's video subsystem has started.
void endings_install_x_error_handlers();
// The demo's X window: an error about it means another client destroyed it.
void endings_watch_window(unsigned long x_window);
