// sdl_messages.cpp -- the SDL platform's messages: which events are kept, the pump, the timer, dispatch
#include <SDL.h>
#include <SDL_syswm.h>

#include "app/native_rules.h"
#include "platform/platform_sdl_internal.h"

// The events translate_event makes a message of. The rest (pointer crossings,
// focus, exposure, moves) are dropped as SDL queues them, where a native queue
// would merge them or not send them: taken one a frame, 2,000 crossings would
// hold a key press up for minutes. SDL has already updated the window's flags
// by then, so the pump still sees a window minimised.
// The host's window destroyed by its owner. SDL itself does nothing with it,
// so the raw event is the only word of it.
static bool is_host_destroyed(const SDL_Event& event)
{
    if (event.type != SDL_SYSWMEVENT || event.syswm.msg->subsystem != SDL_SYSWM_X11) {
        return false;
    }
    const XEvent& x_event = event.syswm.msg->msg.x11.event;
    return x_event.type == DestroyNotify && x_event.xdestroywindow.window == sdl.host_window;
}

static int SDLCALL keep_used_event(void*, SDL_Event* event)
{
    switch (event->type) {
    case SDL_KEYDOWN:
    case SDL_QUIT:
        return 1;
    case SDL_SYSWMEVENT:
        // Noted as soon as SDL reads it, for the presenting step.
        sdl.host_gone = sdl.host_gone || is_host_destroyed(*event);
        return is_host_destroyed(*event);
    case SDL_WINDOWEVENT:
        return event->window.event == SDL_WINDOWEVENT_CLOSE ||
               event->window.event == SDL_WINDOWEVENT_SIZE_CHANGED;
    default:
        return 0;
    }
}

void sdl_select_events()
{
    // SDL queues every mouse move and key release, where a native queue merges or
    // drops them; switched off here, they cannot pile up ahead of a key press in a
    // pump that takes one message a frame.
    static const Uint32 unused_events[] = {
        SDL_MOUSEMOTION, SDL_MOUSEBUTTONDOWN, SDL_MOUSEBUTTONUP, SDL_MOUSEWHEEL,
        SDL_KEYUP, SDL_TEXTINPUT, SDL_TEXTEDITING, SDL_TEXTEDITING_EXT,
        SDL_FINGERDOWN, SDL_FINGERUP, SDL_FINGERMOTION, SDL_KEYMAPCHANGED,
    };
    for (Uint32 type : unused_events) {
        SDL_EventState(type, SDL_IGNORE);
    }
    SDL_StopTextInput();
    SDL_SetEventFilter(keep_used_event, nullptr);
}

bool sdl_host_gone()
{
    SDL_PumpEvents();
    return sdl.host_gone;
}

void platform_start_timer(PlatformWindow*, unsigned id, unsigned period_ms)
{
    emulated_timer_start(&sdl.timer, id, period_ms, SDL_GetTicks64());
}

static void translate_event(const SDL_Event& event, Message* message)
{
    *message = Message{reinterpret_cast<PlatformWindow*>(sdl.window), msg_null, 0, 0};
    switch (event.type) {
    case SDL_KEYDOWN: {
        SDL_Keycode key = event.key.keysym.sym;
        NativeKey press = native_key_press((event.key.keysym.mod & KMOD_ALT) != 0, key == SDLK_F10,
                                          key == SDLK_LALT || key == SDLK_RALT);
        message->message = press.message;
        message->wparam = static_cast<std::uintptr_t>(key);
        message->lparam = press.lparam;
        break;
    }
    case SDL_QUIT:
    case SDL_SYSWMEVENT:
        // Also what SIGINT and SIGTERM become where SDL handles them (off X11),
        // and the host's window gone.
        message->message = msg_close;
        break;
    case SDL_WINDOWEVENT:
        if (event.window.event == SDL_WINDOWEVENT_CLOSE) {
            message->message = msg_close;
        } else if (event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
            message->message = msg_size;
            message->lparam = sdl_size_lparam(event.window.data1, event.window.data2);
        }
        break;
    default:
        break;
    }
}

static bool window_hidden()
{
    return sdl.window &&
           (SDL_GetWindowFlags(sdl.window) & (SDL_WINDOW_MINIMIZED | SDL_WINDOW_HIDDEN)) != 0;
}

// How long a hidden window's pump waits for an event before it looks again.
static constexpr int hidden_wait_ms = 250;
// Unused events dropped in one call at most, so that a client flooding the
// queue cannot keep the frame from being drawn.
static constexpr int most_dropped = 4096;

bool platform_peek_message(Message* message)
{
    // An event that passed the filter but makes no message is dropped here
    // too. While the window is minimised or unmapped nothing is drawn: the
    // pump waits for an event that matters, and the frame resumes where it
    // left off when the window is shown. The timer waits as well, so the
    // title keeps the last rate shown.
    SDL_Event event;
    int dropped = 0;
    while (dropped < most_dropped) {
        // A signal the watcher could not answer: the window closes, and its
        // teardown and SDL's shutdown put the desktop's mode back.
        if (endings_close_requested()) {
            *message = Message{reinterpret_cast<PlatformWindow*>(sdl.window), msg_close, 0, 0};
            return true;
        }
        bool hidden = window_hidden();
        if (hidden) {
            emulated_timer_hold(&sdl.timer, SDL_GetTicks64());
        } else {
            emulated_timer_release(&sdl.timer, SDL_GetTicks64());
        }
        bool taken = hidden ? SDL_WaitEventTimeout(&event, hidden_wait_ms) != 0
                            : SDL_PollEvent(&event) != 0;
        if (!taken) {
            if (hidden) {
                continue;
            }
            break;
        }
        translate_event(event, message);
        if (message->message != msg_null) {
            return true;
        }
        ++dropped;
    }
    if (emulated_timer_take(&sdl.timer, SDL_GetTicks64())) {
        *message = Message{reinterpret_cast<PlatformWindow*>(sdl.window), msg_timer, sdl.timer.id, 0};
        return true;
    }
    return false;
}

void platform_dispatch_message(const Message* message)
{
    if (sdl.procedure) {
        sdl.procedure(message->window, message->message, message->wparam, message->lparam);
    }
}

std::intptr_t platform_default_window_procedure(PlatformWindow* window, std::uint32_t message,
                                                std::uintptr_t wparam, std::intptr_t lparam)
{
    // Alt+F4 closes the window, as a native system's default handling makes it.
    if (message == msg_syskeydown && wparam == static_cast<std::uintptr_t>(SDLK_F4) &&
        (lparam & key_alt_held) && sdl.procedure) {
        return sdl.procedure(window, msg_close, 0, 0);
    }
    return 0;
}

void platform_post_quit_message(int)
{
    // Nothing reads a quit message: the process ends right after it is posted.
}
