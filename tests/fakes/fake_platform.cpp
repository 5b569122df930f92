// fake_platform.cpp -- the scripted platform: records each step, fails the ones it is told to
#include "tests/fakes/fake_platform.h"

#include <unistd.h>

#include <cstdarg>
#include <cstdio>

FakePlatform fake;

// Distinct, recognisable non-null handles.
static char window_object, dc_object, context_object;

void fake_reset()
{
    fake = FakePlatform{};
}

PlatformWindow* fake_window()
{
    return reinterpret_cast<PlatformWindow*>(&window_object);
}

std::vector<std::string> fake_calls_starting(const std::string& prefix)
{
    std::vector<std::string> found;
    for (const std::string& call : fake.calls) {
        if (call.rfind(prefix, 0) == 0) {
            found.push_back(call);
        }
    }
    return found;
}

// printf into a string, for the records with numbers in them.
[[gnu::format(printf, 1, 2)]] static std::string formatted(const char* format, ...)
{
    char text[256];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    return text;
}

static bool record(const std::string& call, const std::string& step)
{
    fake.calls.push_back(call);
    if (fake.fail.count(step) != 0) {
        fake.last_error = step + " refused";
        return false;
    }
    return true;
}

static const char* handle_name(const void* handle)
{
    if (handle == nullptr) return "null";
    if (handle == &window_object) return "window";
    if (handle == &dc_object) return "dc";
    if (handle == &context_object) return "rc";
    return "other";
}

static const char* style_name(WindowStyle style)
{
    static const char* const names[] = {"fullscreen", "windowed", "scaled", "hosted"};
    return names[style];
}

bool platform_register_class(const char* class_name, WindowProcedure procedure, WindowStyle style)
{
    std::string call = std::string("register_class ") + class_name;
    if (style != window_style_fullscreen) call += std::string(" for ") + style_name(style);
    if (!record(call, "register_class")) return false;
    fake.procedure = procedure;
    return true;
}

bool platform_unregister_class(const char* class_name)
{
    return record(std::string("unregister_class ") + class_name, "unregister_class");
}

int platform_change_display_mode(int width, int height, int bits)
{
    record(formatted("change_display_mode %dx%dx%d", width, height, bits), "change_display_mode");
    return fake.display_result;
}

int platform_restore_display_mode()
{
    record("restore_display_mode", "restore_display_mode");
    return 0;
}

void platform_show_cursor(bool show)
{
    record(show ? "show_cursor 1" : "show_cursor 0", "show_cursor");
    fake.cursor_hidden += show ? -1 : 1;
}

PlatformWindow* platform_create_window(const char* class_name, const char* title, WindowStyle style,
                                       int x, int y, int width, int height,
                                       const PixelFormatRequest* format, std::uintptr_t host)
{
    std::string call = formatted("create_window %s \"%s\" %s %d,%d %dx%d color %d depth %d %s",
                                 class_name, title, style_name(style), x, y, width, height,
                                 format->color_bits, format->depth_bits,
                                 format->double_buffer ? "double" : "single");
    if (host != 0) call += formatted(" host 0x%lx", static_cast<unsigned long>(host));
    if (!record(call, "create_window")) return nullptr;
    // A native window procedure sees its creation message inside the creation call.
    if (fake.procedure) fake.procedure(fake_window(), msg_create, 0, 0);
    return fake_window();
}

PlatformDc* platform_get_dc(PlatformWindow* window)
{
    if (!record(std::string("get_dc ") + handle_name(window), "get_dc")) return nullptr;
    return reinterpret_cast<PlatformDc*>(&dc_object);
}

int platform_choose_pixel_format(PlatformDc* dc, const PixelFormatRequest*)
{
    return record(std::string("choose_pixel_format ") + handle_name(dc), "choose_pixel_format") ? 7
                                                                                                : 0;
}

bool platform_set_pixel_format(PlatformDc* dc, int index, const PixelFormatRequest*)
{
    return record(formatted("set_pixel_format %s %d", handle_name(dc), index),
                  "set_pixel_format");
}

PlatformContext* platform_create_context(PlatformDc* dc)
{
    if (!record(std::string("create_context ") + handle_name(dc), "create_context")) return nullptr;
    return reinterpret_cast<PlatformContext*>(&context_object);
}

bool platform_make_current(PlatformDc* dc, PlatformContext* rc)
{
    // Making a context current and releasing it are separate steps to fail.
    const char* step = rc ? "make_current" : "release_current";
    return record(std::string("make_current ") + handle_name(dc) + " " + handle_name(rc), step);
}

bool platform_delete_context(PlatformContext* rc)
{
    bool ok = record(std::string("delete_context ") + handle_name(rc), "delete_context");
    // As on a native system, deleting no context is an error.
    if (ok && rc == nullptr) fake.last_error = "no context to delete";
    return ok && rc != nullptr;
}

bool platform_release_dc(PlatformWindow* window, PlatformDc* dc)
{
    return record(std::string("release_dc ") + handle_name(window) + " " + handle_name(dc),
                  "release_dc");
}

bool platform_destroy_window(PlatformWindow* window)
{
    if (fake.fail.count("destroy_window")) {
        return record(std::string("destroy_window ") + handle_name(window), "destroy_window");
    }
    fake.calls.push_back(std::string("destroy_window ") + handle_name(window));
    if (fake.procedure) fake.procedure(window, msg_destroy, 0, 0);
    return true;
}

void platform_start_timer(PlatformWindow* window, unsigned id, unsigned period_ms)
{
    record(formatted("start_timer %s %u %u", handle_name(window), id, period_ms), "start_timer");
}

void platform_show_window(PlatformWindow* window)
{
    record(std::string("show_window ") + handle_name(window), "show_window");
    // Showing a window sends it its size; 800x600 as a native full-screen window gets.
    if (fake.procedure) fake.procedure(window, msg_size, 0, 800 | (600 << 16));
}

bool platform_peek_message(Message* message)
{
    if (fake.queue.empty()) return false;
    *message = fake.queue.front();
    fake.queue.pop_front();
    fake.calls.push_back(formatted("peek_message %u", unsigned{message->message}));
    return true;
}

void platform_dispatch_message(const Message* message)
{
    fake.calls.push_back(formatted("dispatch_message %u", unsigned{message->message}));
    if (fake.procedure) {
        fake.procedure(message->window, message->message, message->wparam, message->lparam);
    }
}

std::intptr_t platform_default_window_procedure(PlatformWindow*, std::uint32_t message,
                                                std::uintptr_t wparam, std::intptr_t)
{
    fake.calls.push_back(formatted("default_window_procedure %u %llu", unsigned{message},
                                   static_cast<unsigned long long>(wparam)));
    return 0;
}

void platform_post_quit_message(int exit_code)
{
    fake.calls.push_back(formatted("post_quit %d", exit_code));
}

void platform_set_window_title(PlatformWindow* window, const char* text)
{
    fake.calls.push_back(std::string("set_title ") + handle_name(window) + " " + text);
    fake.title = text;
}

void platform_message_box(const char* text, const char* caption)
{
    fake.calls.push_back(std::string("box ") + caption + " " + text);
}

void platform_report_bad_input(const char* text)
{
    fake.calls.push_back(std::string("report_bad_input ") + text);
    std::fputs(text, stderr);
}

void platform_swap_buffers(PlatformDc* dc)
{
    fake.calls.push_back(std::string("swap ") + handle_name(dc));
}

void platform_sleep(unsigned milliseconds)
{
    fake.calls.push_back(formatted("sleep %u", milliseconds));
}

const char* platform_last_error()
{
    // Recorded, so a test sees when the reason is asked for: right after the
    // failed step, before the teardown's own failures replace it.
    fake.calls.push_back("last_error");
    return fake.last_error.c_str();
}

void platform_exit_process(int code)
{
    // Tests watch the end of the process from outside (death tests): the calls
    // go to stderr, one a line, so the expectation can match their order.
    fake.calls.push_back(formatted("exit %d", code));
    for (const std::string& call : fake.calls) {
        std::fprintf(stderr, "%s\n", call.c_str());
    }
    std::fflush(stderr);
    _exit(code);
}
