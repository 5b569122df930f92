// platform_sdl_internal.h -- what the SDL platform's files share, and nothing outside platform/ sees
#pragma once

// True for SDL's drivers that show nothing ("offscreen", "dummy"), in any case.
bool sdl_is_headless_driver(const char* name);

// A closed standard descriptor's number would go to the next file opened (the
// watcher's socket, say), and what a library prints to stderr would land
// there: each closed one gets /dev/null. Call it before anything opens a file.
void fill_closed_standard_descriptors();

// What the display-mode watcher found when it started.
enum class ModeSwitch {
    watched,          // this demo may switch: the watcher hands the desktop's mode back
    held_by_another,  // another demo's switch is in force: this one must not switch again
    unwatched,        // no X display with RandR to watch: switching is left to SDL alone
};

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
// Xlib's error and lost-connection handlers, in place of SDL's: installed
// after SDL's video subsystem has started.
void endings_install_x_error_handlers();
// The demo's X window: an error about it means another client destroyed it.
void endings_watch_window(unsigned long x_window);
