// run_options.h -- where the demo is asked to run: the command line and the X screensaver's window
#pragma once

#include <cstdint>
#include <string>

// The host the picture is shown in.
enum class Host : std::uint8_t {
    fullscreen,  // the display switched to 800x600 (no argument; a .scr's /s)
    window,      // a framed, resizable window on the desktop, the picture scaled into it
    foreign,     // a window another program made (the X screensaver's, a preview box), scaled too
    settings,    // a screensaver's settings request: a box saying there are none
    help,        // --help: the usage text
};

struct RunOptions {
    Host host = Host::fullscreen;
    std::uintptr_t window_id = 0;   // Host::foreign: the host window (X window id / HWND); 0 with root
    bool root = false;              // --root: the X root window
    bool end_on_mouse = false;      // .scr /s: a click or a real mouse move ends it as a key does
};

// Reads the command line and XSCREENSAVER_WINDOW (passed in, may be null). False
// with `error` set (one line, no program-name prefix) on bad input; the caller
// prints "quorvex: <error>" and "Try 'quorvex --help'." and exits with 2. Called
// by main only.
bool parse_run_options(int argc, const char* const* argv, const char* xscreensaver_window,
                       RunOptions& options, std::string& error);

// What --help prints.
extern const char run_options_usage[];
