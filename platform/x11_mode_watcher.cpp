// x11_mode_watcher.cpp -- a child process that hands the desktop's display mode back however the demo ends
//
// SDL restores the desktop's mode only when the demo shuts SDL down. A demo
// killed by a signal, stuck in a driver call, or cut off from the display never
// gets there, and the desktop stays at 800x600. The watcher is forked before
// SDL starts, while the demo has a single thread, so it may use Xlib freely.
// It opens a display connection of its own, notes every CRTC's configuration
// before anything has switched, and waits on a socket to the demo: a byte asks
// it to restore the mode now (and it answers one), and the end of the stream
// (the demo gone, by whatever means) makes it restore the mode and leave.
//
// Two demos at once: the one whose watcher holds the selection below is the
// one that may switch modes. Another demo finds it owned and stays in a
// window. The mode is noted under the same server grab that takes the claim,
// and a watcher restores the mode before its connection (and so the claim)
// goes, so the mode a watcher notes is always the desktop's own, never that of
// a demo still ending. The X server drops the selection when the watcher's
// connection closes, so a demo that died leaves no stale claim.
//
// The watcher is the fast path, not the only one: a demo whose watcher is
// gone (never forked, killed) ends through SDL's own shutdown, which restores
// the mode too (see x11_endings.cpp).
#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

#include "platform/platform_sdl_internal.h"

static const char claim_name[] = "_QUORVEX_DISPLAY_MODE";

// The answers on the socket.
enum : char {
    answer_may_switch = 'w',
    answer_held_by_another = 't',
    answer_unwatched = 'n',
    request_restore = 'r',
    answer_restored = 'a',
};

// The demo's end of the socket; -1 when there is no watcher.
static int watcher_socket = -1;

struct CrtcSetting {
    RRCrtc crtc;
    RRMode mode;
    int x;
    int y;
    Rotation rotation;
    std::vector<RROutput> outputs;
};

struct DesktopMode {
    int width;
    int height;
    int width_mm;
    int height_mm;
    std::vector<CrtcSetting> crtcs;
};

// The root window's size as the server has it now: Xlib's DisplayWidth is the
// size when the connection opened.
static void current_screen_size(Display* display, Window root, int* width, int* height)
{
    Window ignored_root;
    int x = 0;
    int y = 0;
    unsigned w = 0;
    unsigned h = 0;
    unsigned border = 0;
    unsigned depth = 0;
    XGetGeometry(display, root, &ignored_root, &x, &y, &w, &h, &border, &depth);
    *width = static_cast<int>(w);
    *height = static_cast<int>(h);
}

// A screen without a physical size (virtual or dummy displays report 0 mm) is
// given one at 96 dots per inch: the server refuses a size of 0 mm.
static int millimetres(int stated_mm, int pixels)
{
    return stated_mm > 0 ? stated_mm : pixels * 254 / 960;
}

static DesktopMode note_desktop_mode(Display* display, Window root)
{
    int screen = DefaultScreen(display);
    DesktopMode desktop{0, 0, 0, 0, {}};
    current_screen_size(display, root, &desktop.width, &desktop.height);
    desktop.width_mm = millimetres(DisplayWidthMM(display, screen), desktop.width);
    desktop.height_mm = millimetres(DisplayHeightMM(display, screen), desktop.height);
    XRRScreenResources* resources = XRRGetScreenResourcesCurrent(display, root);
    if (!resources) {
        return desktop;
    }
    for (int i = 0; i < resources->ncrtc; ++i) {
        XRRCrtcInfo* info = XRRGetCrtcInfo(display, resources, resources->crtcs[i]);
        if (!info) {
            continue;
        }
        desktop.crtcs.push_back({resources->crtcs[i], info->mode, info->x, info->y, info->rotation,
                                 std::vector<RROutput>(info->outputs, info->outputs + info->noutput)});
        XRRFreeCrtcInfo(info);
    }
    XRRFreeScreenResources(resources);
    return desktop;
}

static bool same_setting(const CrtcSetting& want, const XRRCrtcInfo* now)
{
    return now->mode == want.mode && now->x == want.x && now->y == want.y &&
           now->rotation == want.rotation &&
           std::vector<RROutput>(now->outputs, now->outputs + now->noutput) == want.outputs;
}

static void set_screen_size(Display* display, Window root, const DesktopMode& desktop)
{
    XRRSetScreenSize(display, root, desktop.width, desktop.height, desktop.width_mm,
                     desktop.height_mm);
}

// Puts back every CRTC that differs from the desktop's setting. The screen is
// grown first where it shrank and shrunk last where it grew, so every CRTC fits
// the screen at every step.
static void restore_desktop_mode(Display* display, Window root, const DesktopMode& desktop)
{
    XGrabServer(display);
    int width = 0;
    int height = 0;
    current_screen_size(display, root, &width, &height);
    if (desktop.width > width || desktop.height > height) {
        set_screen_size(display, root, desktop);
    }
    XRRScreenResources* resources = XRRGetScreenResourcesCurrent(display, root);
    for (const CrtcSetting& want : desktop.crtcs) {
        XRRCrtcInfo* now = resources ? XRRGetCrtcInfo(display, resources, want.crtc) : nullptr;
        if (now && !same_setting(want, now)) {
            XRRSetCrtcConfig(display, resources, want.crtc, CurrentTime, want.x, want.y, want.mode,
                             want.rotation, const_cast<RROutput*>(want.outputs.data()),
                             static_cast<int>(want.outputs.size()));
        }
        if (now) {
            XRRFreeCrtcInfo(now);
        }
    }
    if (resources) {
        XRRFreeScreenResources(resources);
    }
    if (desktop.width != width || desktop.height != height) {
        set_screen_size(display, root, desktop);
    }
    XUngrabServer(display);
    XSync(display, False);
}

// A request the server refuses (a mode that went away, say) must not end the
// watcher before it has tried the rest.
static int ignore_x_error(Display*, XErrorEvent*)
{
    return 0;
}

[[noreturn]] static int leave_on_lost_display(Display*)
{
    _exit(0);
}

static void answer(int socket, char byte)
{
    send(socket, &byte, 1, MSG_NOSIGNAL);
}

// Takes the claim unless another watcher holds it, and notes the desktop's
// mode under the same grab: two demos starting together cannot both find it
// free, and no demo can switch (or be handing back) between the note and the
// claim.
static bool take_claim(Display* display, Window root, Window owner, DesktopMode* desktop)
{
    Atom claim = XInternAtom(display, claim_name, False);
    XGrabServer(display);
    bool taken = XGetSelectionOwner(display, claim) == None;
    if (taken) {
        *desktop = note_desktop_mode(display, root);
        XSetSelectionOwner(display, claim, owner, CurrentTime);
        taken = XGetSelectionOwner(display, claim) == owner;
    }
    XUngrabServer(display);
    XSync(display, False);
    return taken;
}

// Keeps only the socket, as descriptor 3, and the standard three on /dev/null:
// a descriptor inherited from the demo (a pipe a supervisor reads, a file the
// demo holds) must close when the demo ends, not when the watcher does.
static int keep_only_socket(int socket)
{
    int nowhere = open("/dev/null", O_RDWR);
    if (nowhere >= 0) {
        dup2(nowhere, STDIN_FILENO);
        dup2(nowhere, STDOUT_FILENO);
        dup2(nowhere, STDERR_FILENO);
    }
    const int kept = STDERR_FILENO + 1;
    if (socket != kept) {
        dup2(socket, kept);
    }
    close_range(kept + 1, ~0U, 0);
    return kept;
}

[[noreturn]] static void run_watcher(int socket)
{
    // Out of the demo's session, named apart from it, and deaf to the signals
    // that end it: a closed terminal or a Ctrl+C reaches the whole foreground
    // group, `killall quorvex` or `pkill quorvex` every process of that name,
    // and the watcher has to outlive the demo to do its work. It ends when the
    // demo's end of the socket closes.
    setsid();
    prctl(PR_SET_NAME, "quorvex-watcher", 0, 0, 0);
    for (int signal_number : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGTSTP, SIGTTIN, SIGTTOU}) {
        signal(signal_number, SIG_IGN);
    }
    socket = keep_only_socket(socket);

    Display* display = XOpenDisplay(nullptr);
    int event_base = 0;
    int error_base = 0;
    int major = 0;
    int minor = 0;
    if (!display || !XRRQueryExtension(display, &event_base, &error_base) ||
        !XRRQueryVersion(display, &major, &minor) || major < 1 || (major == 1 && minor < 2)) {
        answer(socket, answer_unwatched);
        _exit(0);
    }
    XSetErrorHandler(ignore_x_error);
    XSetIOErrorHandler(leave_on_lost_display);

    Window root = DefaultRootWindow(display);
    Window owner = XCreateWindow(display, root, -1, -1, 1, 1, 0, 0, InputOnly, CopyFromParent, 0,
                                 nullptr);
    DesktopMode desktop{0, 0, 0, 0, {}};
    if (!take_claim(display, root, owner, &desktop)) {
        answer(socket, answer_held_by_another);
        _exit(0);
    }
    answer(socket, answer_may_switch);

    pollfd watched[2] = {{socket, POLLIN, 0}, {ConnectionNumber(display), POLLIN, 0}};
    for (;;) {
        if (poll(watched, 2, -1) < 0) {
            continue;
        }
        if (watched[1].revents) {
            // Only the selection's own events arrive; reading them notices a
            // closed connection.
            while (XPending(display) > 0) {
                XEvent event;
                XNextEvent(display, &event);
            }
        }
        if (watched[0].revents) {
            char request = 0;
            ssize_t got = recv(socket, &request, 1, 0);
            restore_desktop_mode(display, root, desktop);
            if (got <= 0) {
                _exit(0);
            }
            answer(socket, answer_restored);
        }
    }
}

ModeSwitch mode_watcher_start()
{
    int sockets[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sockets) != 0) {
        return ModeSwitch::unwatched;
    }
    pid_t child = fork();
    if (child < 0) {
        close(sockets[0]);
        close(sockets[1]);
        return ModeSwitch::unwatched;
    }
    if (child == 0) {
        close(sockets[0]);
        run_watcher(sockets[1]);
    }
    close(sockets[1]);

    // Opening a display takes milliseconds; a watcher that has not answered in
    // five seconds is not going to be of use.
    char reply = answer_unwatched;
    pollfd ready = {sockets[0], POLLIN, 0};
    if (poll(&ready, 1, 5000) <= 0 || recv(sockets[0], &reply, 1, 0) != 1) {
        reply = answer_unwatched;
    }
    if (reply == answer_may_switch) {
        watcher_socket = sockets[0];
        return ModeSwitch::watched;
    }
    // The watcher has ended (or will not be heard): reap it now, not at exit.
    close(sockets[0]);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    return reply == answer_held_by_another ? ModeSwitch::held_by_another : ModeSwitch::unwatched;
}

HandBack mode_watcher_hand_back()
{
    // Only send, poll and recv: this runs in signal handlers and in Xlib's error
    // handlers, where the demo's own display connection may be locked.
    if (watcher_socket < 0) {
        return HandBack::no_watcher;
    }
    char byte = request_restore;
    if (send(watcher_socket, &byte, 1, MSG_NOSIGNAL) != 1) {
        return HandBack::no_watcher;
    }
    // A quarter of a second: a watcher kept from the server (by another
    // client's grab, say) or stopped restores the mode when it can, after the
    // demo has gone; meanwhile the demo tries its own way.
    pollfd done = {watcher_socket, POLLIN, 0};
    if (poll(&done, 1, 250) <= 0) {
        return HandBack::unanswered;
    }
    // End of stream: the watcher has died since it started.
    if (recv(watcher_socket, &byte, 1, 0) != 1) {
        return HandBack::no_watcher;
    }
    return byte == answer_restored ? HandBack::handed_back : HandBack::unanswered;
}
