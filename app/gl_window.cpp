// gl_window.cpp -- window_create / window_teardown / window_resize
#include "app/gl_window.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <string>

#include "app/window_procedure.h"
#include "platform/platform.h"
#include "state/app_state.h"

static const char class_name[] = "OpenGL";
static const char window_title[] = "Quorvex";

static void error_box(const char* text)
{
    platform_message_box(text, "error?!");
}

// Why the last creation failed, in the platform's words at the failing step:
// the boxes and the teardown after it make platform calls that replace the text.
static std::string failure_reason;
static RunOptions options_given;
static bool host_refused = false;

const RunOptions& window_options()
{
    return options_given;
}

bool window_scaled()
{
    return options_given.host == Host::window || options_given.host == Host::foreign;
}

bool window_host_refused()
{
    return host_refused;
}

// The style the options ask for, before the display has had its say.
static WindowStyle requested_style(bool fullscreen)
{
    switch (options_given.host) {
    case Host::window:
        return window_style_scaled;
    case Host::foreign:
        return window_style_hosted;
    default:
        return fullscreen ? window_style_fullscreen : window_style_windowed;
    }
}

const char* window_failure_reason()
{
    return failure_reason.c_str();
}

bool window_create(std::int32_t width, std::int32_t height, std::uint8_t color_bits,
                   bool fullscreen, const RunOptions& options)
{
    const PixelFormatRequest format = {color_bits, 16, true};
    failure_reason.clear();
    options_given = options;
    host_refused = false;
    WindowStyle style = requested_style(fullscreen);
    // The scaled styles never touch the display's mode or the cursor.
    fullscreen = fullscreen && !window_scaled();

    // Each reason is taken at its failing step: the boxes and the teardown that
    // follow make platform calls of their own.
    if (!platform_register_class(class_name, window_procedure, style)) {
        failure_reason = platform_last_error();
        error_box("Failed To register the window class!");
        return false;
    }

    // Only an outright failure falls back to a window; any other refusal (no such
    // mode, say) keeps the full-screen styles on the unchanged desktop.
    if (fullscreen &&
        platform_change_display_mode(width, height, color_bits) == display_change_failed) {
        error_box(fullscreen_refused_box);
        fullscreen = false;
    }

    if (fullscreen) {
        platform_show_cursor(false);
    } else if (style == window_style_fullscreen) {
        style = window_style_windowed;
    }

    // The size is the outer size: in a window the client area is smaller by the
    // frame. In the scaled styles it is the picture's.
    const std::uintptr_t host = style == window_style_hosted ? options.window_id : 0;
    app.window = platform_create_window(class_name, window_title, style, 0, 0, width, height,
                                        &format, host);
    if (!app.window) {
        failure_reason = platform_last_error();
        // A host window that is not there is the caller's bad input, which
        // start-up reports as such: no box, and nothing but the class to undo
        // (the teardown would box the context that was never made).
        if (style == window_style_hosted) {
            host_refused = true;
            platform_unregister_class(class_name);
            return false;
        }
        error_box("Unable To create window!");
        window_teardown(fullscreen);
        return false;
    }

    app.dc = platform_get_dc(app.window);
    if (!app.dc) {
        failure_reason = platform_last_error();
        window_teardown(fullscreen);
        error_box("Unable to get device context!");
        return false;
    }

    int pixel_format = platform_choose_pixel_format(app.dc, &format);
    if (pixel_format == 0) {
        failure_reason = platform_last_error();
        window_teardown(fullscreen);
        error_box("Unable To find a suitable pixel format");
        return false;
    }

    if (!platform_set_pixel_format(app.dc, pixel_format, &format)) {
        failure_reason = platform_last_error();
        window_teardown(fullscreen);
        error_box("Unable To set required pixel format");
        return false;
    }

    app.rc = platform_create_context(app.dc);
    if (!app.rc) {
        failure_reason = platform_last_error();
        window_teardown(fullscreen);
        error_box("Unable To create an OpenGL rendering context");
        return false;
    }

    if (!platform_make_current(app.dc, app.rc)) {
        failure_reason = platform_last_error();
        window_teardown(fullscreen);
        error_box("Unable To activate OpenGL rendering context");
        return false;
    }

    platform_start_timer(app.window, 1, 1000);
    platform_show_window(app.window);
    // A size message during showing may have come before the context was
    // current; this sets the real viewport.
    window_resize(width, height);
    return true;
}

void window_teardown(bool fullscreen)
{
    if (fullscreen) {
        platform_restore_display_mode();
        platform_show_cursor(true);
    }

    // Neither of these looks at whether a context exists: a teardown during a
    // failed creation reports the missing context as well.
    if (!platform_make_current(app.dc, nullptr)) {
        error_box("Release of DC And RC failed!");
    }
    if (!platform_delete_context(app.rc)) {
        error_box("Release of rendering context failed!");
        app.rc = nullptr;
    }

    if (app.dc && !platform_release_dc(app.window, app.dc)) {
        error_box("Release of device context failed!");
        app.dc = nullptr;
    }

    if (app.window && !platform_destroy_window(app.window)) {
        error_box("Unable To destroy window!");
        app.window = nullptr;
    }

    if (!platform_unregister_class(class_name)) {
        error_box("Unable To unregister window class!");
    }
}

void window_resize(std::int32_t width, std::int32_t height)
{
    if (height == 0) {
        height = 1;
    }
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    // Every argument is a single-precision value widened for GLU: 800x600 gives
    // the aspect 1.3333334, not 4/3.
    float aspect = static_cast<float>(static_cast<double>(width) / static_cast<double>(height));
    gluPerspective(45.0f, aspect, 1.0f, 100.0f);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}
