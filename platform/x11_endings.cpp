// x11_endings.cpp -- the ends the demo does not choose: signals, X errors, a lost display connection
//
// Each hands the desktop's mode back through the watcher (x11_mode_watcher.cpp)
// and ends the process from where it is caught. None waits for the main
// thread: it may be the thread that is stuck, inside a driver call or Xlib.
#include <X11/Xlib.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>

#include "platform/platform_sdl_internal.h"

// The demo's X window, so that an error about it can be told from others.
static std::atomic<unsigned long> demo_window{0};

static void say(const char* text)
{
    ssize_t written = write(STDERR_FILENO, text, std::strlen(text));
    (void)written;
}

// Only async-signal-safe calls: the signal may have stopped any thread
// anywhere, the allocator and Xlib's locks included.
static void on_end_signal(int signal_number)
{
    mode_watcher_hand_back();
    // SIGINT and SIGTERM ask the demo to close, and it ends as a closed window
    // does, with 0. The others (a closed terminal, SIGQUIT's core dump) end it
    // by the same signal, with the desktop already back.
    if (signal_number == SIGINT || signal_number == SIGTERM) {
        _exit(0);
    }
    signal(signal_number, SIG_DFL);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signal_number);
    sigprocmask(SIG_UNBLOCK, &only, nullptr);
    raise(signal_number);
    _exit(128 + signal_number);
}

void endings_install_signal_handlers()
{
    struct sigaction action {};
    action.sa_handler = on_end_signal;
    sigemptyset(&action.sa_mask);
    const int ending_signals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
    for (int signal_number : ending_signals) {
        sigaddset(&action.sa_mask, signal_number);
    }
    for (int signal_number : ending_signals) {
        // A signal ignored by whoever started the demo (nohup, a background
        // job's SIGINT) stays ignored.
        struct sigaction inherited {};
        if (sigaction(signal_number, nullptr, &inherited) == 0 && inherited.sa_handler == SIG_IGN) {
            continue;
        }
        sigaction(signal_number, &action, nullptr);
    }
}

// Xlib calls this with the demo's connection locked, so it makes no X request:
// SDL's own handler restores the mode from here through libXrandr, waits for
// that lock, and hangs the demo for good.
static int on_x_error(Display* display, XErrorEvent* error)
{
    mode_watcher_hand_back();
    // The window destroyed by another client (a window manager's kill, a
    // session ending): the demo ends as if it had been closed.
    if (error->resourceid != 0 && error->resourceid == demo_window.load()) {
        _exit(0);
    }
    char reason[160];
    XGetErrorText(display, error->error_code, reason, sizeof reason);
    char line[256];
    std::snprintf(line, sizeof line, "Quorvex: the display refused a request: %s (request %d.%d)\n",
                  reason, error->request_code, error->minor_code);
    say(line);
    _exit(1);
}

static int on_x_connection_lost(Display*)
{
    mode_watcher_hand_back();
    say("Quorvex: the connection to the display was lost\n");
    _exit(1);
}

void endings_install_x_error_handlers()
{
    XSetErrorHandler(on_x_error);
    XSetIOErrorHandler(on_x_connection_lost);
}

void endings_watch_window(unsigned long x_window)
{
    demo_window.store(x_window);
}
