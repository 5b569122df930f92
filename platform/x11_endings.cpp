// x11_endings.cpp -- the ends the demo does not choose: signals, X errors, a lost display connection
//
// Each hands the desktop's mode back through the watcher (x11_mode_watcher.cpp)
// and ends the process from where it is caught, without waiting for the main
// thread: it may be the thread that is stuck, inside a driver call or Xlib.
// Where the watcher is gone, the main thread is asked to close the window
// instead, as SDL's own signal handling would, so SDL's shutdown hands the
// mode back.
#include <X11/Xlib.h>
#include <signal.h>
#include <sys/time.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/platform_sdl_internal.h"
#include "platform/posix_process.h"

// The demo's X window, so that an error about it can be told from others.
static std::atomic<unsigned long> demo_window{0};

static void say(const char* text)
{
    ssize_t written = write(STDERR_FILENO, text, std::strlen(text));
    (void)written;
}

// The signal that asked the main thread to close the window; 0 until one has.
static volatile sig_atomic_t requesting_signal = 0;

// SIGINT and SIGTERM ask the demo to close, and it ends as a closed window
// does, with 0. The others (a closed terminal, SIGQUIT's core dump) end it by
// the same signal.
[[noreturn]] static void end_by(int signal_number)
{
    if (signal_number == SIGINT || signal_number == SIGTERM) {
        _exit(0);
    }
    end_by_signal(signal_number);
}

// The watcher was asked but has not answered, and the main thread has had its
// half second to close the window: the watcher restores the mode once it runs.
static void on_close_overdue(int)
{
    end_by(requesting_signal);
}

// Only async-signal-safe calls: the signal may have stopped any thread
// anywhere, the allocator and Xlib's locks included.
static void on_end_signal(int signal_number)
{
    if (requesting_signal != 0) {
        end_by(requesting_signal);
    }
    HandBack outcome = mode_watcher_hand_back();
    if (outcome == HandBack::handed_back) {
        end_by(signal_number);
    }
    requesting_signal = signal_number;
    if (outcome == HandBack::unanswered) {
        // A main thread stuck in a driver call must not keep the demo alive.
        struct itimerval overdue {};
        overdue.it_value.tv_usec = 500000;
        setitimer(ITIMER_REAL, &overdue, nullptr);
    }
}

bool endings_close_requested()
{
    return requesting_signal != 0;
}

void endings_end_by_requesting_signal()
{
    if (requesting_signal != 0) {
        end_by(requesting_signal);
    }
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
    sigaddset(&action.sa_mask, SIGALRM);
    for (int signal_number : ending_signals) {
        // A signal ignored by whoever started the demo (nohup, a background
        // job's SIGINT) stays ignored.
        struct sigaction inherited {};
        if (sigaction(signal_number, nullptr, &inherited) == 0 && inherited.sa_handler == SIG_IGN) {
            continue;
        }
        sigaction(signal_number, &action, nullptr);
    }
    action.sa_handler = on_close_overdue;
    sigaction(SIGALRM, &action, nullptr);
}

// Xlib calls this with the demo's connection locked, so it makes no X request:
// SDL's own handler restores the mode from here through libXrandr, waits for
// that lock, and hangs the demo for good.
static int on_x_error(Display* display, XErrorEvent* error)
{
    HandBack outcome = mode_watcher_hand_back();
    // The window destroyed by another client (a window manager's kill, a
    // session ending): the demo ends as if it had been closed. Without a
    // watcher the connection still works: the main thread closes, and SDL's
    // shutdown restores the mode; the requests that meet the missing window
    // meanwhile come back here and are let go.
    if (error->resourceid != 0 && error->resourceid == demo_window.load()) {
        if (outcome != HandBack::no_watcher) {
            _exit(0);
        }
        requesting_signal = SIGTERM;
        return 0;
    }
    if (outcome == HandBack::no_watcher && requesting_signal != 0) {
        return 0;
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

// A fault with the server gone is the driver's null reply, not a fault of the
// demo's: it ends as a lost connection does. Any other fault is let through to
// the default action, core dump and all.
static void on_fault(int signal_number)
{
    if (x11_server_gone()) {
        say("Quorvex: the connection to the display was lost\n");
        _exit(1);
    }
    signal(signal_number, SIG_DFL);
    raise(signal_number);
}

void endings_install_x_connection_handlers()
{
    x11_note_display(std::getenv("DISPLAY"));
    XSetIOErrorHandler(on_x_connection_lost);
    struct sigaction action {};
    action.sa_handler = on_fault;
    sigemptyset(&action.sa_mask);
    sigaction(SIGSEGV, &action, nullptr);
    sigaction(SIGBUS, &action, nullptr);
}

void endings_install_x_error_handler()
{
    XSetErrorHandler(on_x_error);
}

void endings_watch_window(unsigned long x_window)
{
    demo_window.store(x_window);
}
