// x11_display_check.cpp -- whether the X server named by DISPLAY is there, and if not, why
//
// Xlib and SDL say only that a display could not be opened. A user needs to
// know which of the causes it was: no server at that address, a server that
// refused this client, or a process out of descriptors. The demo also needs to
// tell, from inside a crash handler, whether the server has gone: the GL
// driver meets a vanished server as a null reply and faults.
#include <X11/Xlib.h>
#include <errno.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/platform_sdl_internal.h"

// A local server listens on an abstract socket and on a named one of the same
// path; either may be switched off, so it has gone only when neither answers.
static struct {
    sockaddr_un address;
    socklen_t length;
} local_sockets[2];
static bool display_is_local = false;

void x11_note_display(const char* display)
{
    display_is_local = false;
    if (!display) {
        return;
    }
    // ":N", ":N.S" or "unix:N": the server's number follows the colon.
    const char* colon = std::strchr(display, ':');
    if (!colon || !(colon == display || std::strncmp(display, "unix:", 5) == 0)) {
        return;
    }
    char* end = nullptr;
    long number = std::strtol(colon + 1, &end, 10);
    if (end == colon + 1 || number < 0 || (*end != '\0' && *end != '.')) {
        return;
    }
    char path[48];
    int length = std::snprintf(path, sizeof path, "/tmp/.X11-unix/X%ld", number);
    for (int abstract = 0; abstract < 2; ++abstract) {
        sockaddr_un& address = local_sockets[abstract].address;
        address = sockaddr_un{};
        address.sun_family = AF_UNIX;
        // The abstract name is the path behind a NUL; the named one ends in one.
        std::memcpy(address.sun_path + abstract, path, static_cast<std::size_t>(length));
        local_sockets[abstract].length =
            static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + static_cast<std::size_t>(length) + 1);
    }
    display_is_local = true;
}

// 0 when the local server accepts a connection, else why not: the abstract
// socket's refusal over the named one's missing file. Async-signal-safe:
// socket, connect and close alone.
static int local_server_answer()
{
    int failure = ENOENT;
    for (const auto& local : local_sockets) {
        int probe = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (probe < 0) {
            return errno;
        }
        int connected = connect(probe, reinterpret_cast<const sockaddr*>(&local.address), local.length);
        int why = errno;
        close(probe);
        if (connected == 0) {
            return 0;
        }
        if (why != ENOENT) {
            failure = why;
        }
    }
    return failure;
}

bool x11_server_gone()
{
    if (!display_is_local) {
        return false;
    }
    int answer = local_server_answer();
    return answer == ECONNREFUSED || answer == ENOENT;
}

bool x11_display_opens()
{
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        return false;
    }
    XCloseDisplay(display);
    return true;
}

bool x11_display_failure(char* reason, std::size_t size)
{
    const char* name = std::getenv("DISPLAY");
    x11_note_display(name);
    int answer = display_is_local ? local_server_answer() : 0;
    if (answer == EMFILE || answer == ENFILE) {
        std::snprintf(reason, size, "no file descriptor is left to reach the display DISPLAY=%s (%s)",
                      name, std::strerror(answer));
    } else if (answer != 0) {
        std::snprintf(reason, size, "no X server answers at DISPLAY=%s (%s)", name,
                      std::strerror(answer));
    } else if (!x11_display_opens()) {
        std::snprintf(reason, size,
                      display_is_local
                          ? "the X server at DISPLAY=%s refused the connection (see xhost and XAUTHORITY)"
                          : "cannot connect to the X server at DISPLAY=%s",
                      name);
    } else {
        return false;
    }
    return true;
}
