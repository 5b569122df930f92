// platform_web.cpp -- the platform steps in a browser page (emscripten's html5.h, WebGL 2)
#include <emscripten.h>
#include <emscripten/html5.h>

#include <cstdio>
#include <cstring>

#include "gl11/gl11.h"
#include "app/native_rules.h"
#include "platform/emulated_timer.h"
#include "platform/platform.h"

// The page's own canvas (web/quorvex.html); its drawing buffer stays 800x600 and
// the page's style scales it to the window.
static const char canvas_selector[] = "#canvas";

// Key presses wait here for the frame step's pump, one a frame. A browser hands
// them over between frames, so a few slots are plenty; a press that finds the
// queue full is dropped (the first one already ends the demo).
constexpr int queue_slots = 16;

static struct {
    WindowProcedure procedure;
    bool window_exists;
    EMSCRIPTEN_WEBGL_CONTEXT_HANDLE context;
    EMSCRIPTEN_WEBGL_CONTEXT_HANDLE layer_context;  // the context the GL 1.1 layer was started on
    bool depth;              // whether the chosen pixel format has a depth buffer
    EmulatedTimer timer;
    Message queue[queue_slots];
    int queue_head;          // the oldest queued message
    int queue_count;
    char failure[256];       // why the last failed step failed
} web;

// The one window and its surface: a page has one canvas, so the handles only
// need to be distinct and non-null.
static PlatformWindow* web_window()
{
    return reinterpret_cast<PlatformWindow*>(&web.window_exists);
}

static void note_failure(const char* reason)
{
    std::snprintf(web.failure, sizeof web.failure, "%s", reason);
}

// Notes a native step's refusal (app/native_rules.h); true when there was one.
static bool refused(const char* reason)
{
    if (reason) {
        note_failure(reason);
    }
    return reason != nullptr;
}

static void queue_message(std::uint32_t message, std::uintptr_t wparam, std::intptr_t lparam)
{
    if (web.queue_count == queue_slots) {
        return;
    }
    int slot = (web.queue_head + web.queue_count) % queue_slots;
    web.queue[slot] = Message{web_window(), message, wparam, lparam};
    web.queue_count += 1;
}

static EM_BOOL on_key_down(int, const EmscriptenKeyboardEvent* event, void*)
{
    if (!web.window_exists) {
        return EM_FALSE;
    }
    NativeKey press = native_key_press(event->altKey != 0, std::strcmp(event->key, "F10") == 0,
                                      std::strcmp(event->key, "Alt") == 0);
    queue_message(press.message, event->keyCode, press.lparam);
    // The browser keeps its own handling of the key (reload, leaving full screen).
    return EM_FALSE;
}

static EM_BOOL on_visibility_change(int, const EmscriptenVisibilityChangeEvent* event, void*)
{
    // A hidden page gets no animation frames, so the timer stands still with
    // them: the next frame-rate title then counts a second of frames drawn,
    // not the few before the page was hidden over the time it was away.
    auto now = static_cast<std::uint64_t>(emscripten_get_now());
    if (event->hidden) {
        emulated_timer_hold(&web.timer, now);
    } else {
        emulated_timer_release(&web.timer, now);
    }
    return EM_FALSE;
}

static EM_BOOL on_context_lost(int, const void*, void*)
{
    // The browser may take the context away (a GPU reset, memory pressure);
    // every texture, list and shader of the demo goes with it, and nothing is
    // drawn any more. Stop the frames and say so rather than run on blank.
    if (web.window_exists) {
        emscripten_cancel_main_loop();
        web.window_exists = false;
        web.queue_count = 0;
        EM_ASM({ Module.contextLost(); });
    }
    return EM_TRUE;
}

bool platform_register_class(const char*, WindowProcedure procedure, WindowStyle)
{
    web.procedure = procedure;
    emscripten_set_keydown_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_TRUE, on_key_down);
    emscripten_set_visibilitychange_callback(nullptr, EM_FALSE, on_visibility_change);
    return true;
}

bool platform_unregister_class(const char*)
{
    emscripten_set_keydown_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_TRUE, nullptr);
    emscripten_set_visibilitychange_callback(nullptr, EM_FALSE, nullptr);
    web.procedure = nullptr;
    return true;
}

int platform_change_display_mode(int, int, int)
{
    // A page may go full screen only inside a user's gesture, never at start;
    // the page does it on a click. Not the failed switch: the window keeps its
    // full-screen style, as on a display that lacks the mode.
    return display_change_badmode;
}

int platform_restore_display_mode()
{
    return 0;
}

void platform_show_cursor(bool show)
{
    EM_ASM({ Module.canvas.style.cursor = $0 ? "" : "none"; }, show);
}

PlatformWindow* platform_create_window(const char*, const char* title, WindowStyle style, int, int,
                                       int width, int height, const PixelFormatRequest* format,
                                       std::uintptr_t)
{
    // The page scales its canvas itself and offers no other window to draw into.
    if (style == window_style_scaled || style == window_style_hosted) {
        note_failure("the page shows the demo in its own canvas only");
        return nullptr;
    }
    if (emscripten_set_canvas_element_size(canvas_selector, width, height) != EMSCRIPTEN_RESULT_SUCCESS) {
        note_failure("the page has no canvas");
        return nullptr;
    }
    web.depth = format->depth_bits > 0;
    web.window_exists = true;
    emscripten_set_window_title(title);
    if (web.procedure) {
        web.procedure(web_window(), msg_create, 0, 0);
    }
    return web_window();
}

PlatformDc* platform_get_dc(PlatformWindow* window)
{
    return reinterpret_cast<PlatformDc*>(window);
}

bool platform_release_dc(PlatformWindow* window, PlatformDc* dc)
{
    return !refused(refused_surface(window, dc));
}

int platform_choose_pixel_format(PlatformDc* dc, const PixelFormatRequest*)
{
    // A WebGL drawing buffer has one format, fixed when the context is made.
    if (dc) {
        return 1;
    }
    note_failure("there is no canvas");
    return 0;
}

bool platform_set_pixel_format(PlatformDc* dc, int index, const PixelFormatRequest*)
{
    return !refused(refused_pixel_format(dc, index));
}

PlatformContext* platform_create_context(PlatformDc*)
{
    EmscriptenWebGLContextAttributes attributes;
    emscripten_webgl_init_context_attributes(&attributes);
    attributes.majorVersion = 2;
    attributes.minorVersion = 0;
    // The native window has no alpha channel and no multisampling; the demo
    // clears with alpha 0.5, which an alpha canvas would let the page show through.
    attributes.alpha = EM_FALSE;
    attributes.depth = web.depth ? EM_TRUE : EM_FALSE;
    attributes.stencil = EM_FALSE;
    attributes.antialias = EM_FALSE;
    attributes.enableExtensionsByDefault = EM_FALSE;
    web.context = emscripten_webgl_create_context(canvas_selector, &attributes);
    if (web.context <= 0) {
        web.context = 0;
        note_failure("this browser gives the page no WebGL 2 context");
        return nullptr;
    }
    emscripten_set_webglcontextlost_callback(canvas_selector, nullptr, EM_FALSE, on_context_lost);
    return reinterpret_cast<PlatformContext*>(static_cast<std::intptr_t>(web.context));
}

bool platform_make_current(PlatformDc*, PlatformContext* rc)
{
    auto context = static_cast<EMSCRIPTEN_WEBGL_CONTEXT_HANDLE>(reinterpret_cast<std::intptr_t>(rc));
    if (emscripten_webgl_make_context_current(context) != EMSCRIPTEN_RESULT_SUCCESS) {
        note_failure("the WebGL context cannot be made current");
        return false;
    }
    // WebGL 2 has no fixed-function pipeline: the layer draws the demo's GL 1.1
    // calls with the context's own functions, looked up by name (never the
    // layer's functions of the same names).
    if (context > 0 && context != web.layer_context) {
        if (!gl11_start(gl11_web_lookup)) {
            note_failure("the WebGL 2 context lacks what the GL 1.1 layer needs");
            return false;
        }
        web.layer_context = context;
    }
    return true;
}

bool platform_delete_context(PlatformContext* rc)
{
    if (refused(refused_context(rc))) {
        return false;
    }
    auto context = static_cast<EMSCRIPTEN_WEBGL_CONTEXT_HANDLE>(reinterpret_cast<std::intptr_t>(rc));
    emscripten_webgl_destroy_context(context);
    if (web.context == context) {
        web.context = 0;
    }
    return true;
}

bool platform_destroy_window(PlatformWindow* window)
{
    if (refused(refused_window(window))) {
        return false;
    }
    if (web.procedure) {
        web.procedure(window, msg_destroy, 0, 0);
    }
    web.window_exists = false;
    web.timer.running = false;
    web.queue_count = 0;
    return true;
}

void platform_start_timer(PlatformWindow*, unsigned id, unsigned period_ms)
{
    auto now = static_cast<std::uint64_t>(emscripten_get_now());
    emulated_timer_start(&web.timer, id, period_ms, now);
    // A page opened in a background tab sees no visibility change until it is
    // shown, so the timer stands still from its start then, too.
    EmscriptenVisibilityChangeEvent visibility;
    if (emscripten_get_visibility_status(&visibility) == EMSCRIPTEN_RESULT_SUCCESS && visibility.hidden) {
        emulated_timer_hold(&web.timer, now);
    }
}

void platform_show_window(PlatformWindow* window)
{
    // The drawing buffer is the client area; the page's scaling does not change it.
    int width = 0;
    int height = 0;
    emscripten_get_canvas_element_size(canvas_selector, &width, &height);
    if (web.procedure) {
        web.procedure(window, msg_size, 0, (width & 0xFFFF) | ((height & 0xFFFF) << 16));
    }
}

bool platform_peek_message(Message* message)
{
    if (web.queue_count > 0) {
        *message = web.queue[web.queue_head];
        web.queue_head = (web.queue_head + 1) % queue_slots;
        web.queue_count -= 1;
        return true;
    }
    if (emulated_timer_take(&web.timer, static_cast<std::uint64_t>(emscripten_get_now()))) {
        *message = Message{web_window(), msg_timer, web.timer.id, 0};
        return true;
    }
    return false;
}

void platform_dispatch_message(const Message* message)
{
    if (web.procedure) {
        web.procedure(message->window, message->message, message->wparam, message->lparam);
    }
}

std::intptr_t platform_default_window_procedure(PlatformWindow*, std::uint32_t, std::uintptr_t,
                                                std::intptr_t)
{
    // The browser keeps the keys a native system would act on (Alt+F4 closes the
    // tab before the page sees it).
    return 0;
}

void platform_post_quit_message(int)
{
    // Nothing reads a quit message: the demo ends right after it is posted.
}

void platform_set_window_title(PlatformWindow*, const char* text)
{
    emscripten_set_window_title(text);
}

void platform_message_box(const char* text, const char* caption)
{
    // A page cannot wait for a dialog without blocking its own event loop, so the
    // boxes queue in the page's dialog, in the order they were raised, and the
    // program goes on at once; the steps after a failure raise no box that
    // depends on an answer.
    EM_ASM({ Module.showMessageBox(UTF8ToString($0), UTF8ToString($1)); }, caption, text);
}

const char* platform_last_error()
{
    return web.failure;
}

void platform_swap_buffers(PlatformDc*)
{
    // The browser presents the drawing buffer when the animation frame returns.
}

void platform_sleep(unsigned)
{
    // requestAnimationFrame paces the frames; a page cannot sleep on its main thread.
}

void platform_exit_process(int code)
{
    // A page cannot end its process: the frames stop, the last one stays on the
    // canvas, and the page says so. Unwinding to the browser's event loop leaves
    // the frame step (or main) that called this without returning into it.
    emscripten_cancel_main_loop();
    web.queue_count = 0;
    web.window_exists = false;
    EM_ASM({
        Module.canvas.style.cursor = "";
        Module.demoEnded($0);
    }, code);
    emscripten_exit_with_live_runtime();
}

void platform_report_bad_input(const char* text)
{
    std::fputs(text, stderr);
}
