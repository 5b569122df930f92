// frame_loop.cpp -- start-up, one frame, the loop, exit_program, truncate_to_int
#include "app/frame_loop.h"

#include <GL/gl.h>

#include <cstdio>

#include "app/gl_window.h"
#include "geometry/torus.h"
#include "platform/platform.h"
#include "render/fade.h"
#include "render/render_state.h"
#include "render/scene_a.h"
#include "render/scene_b.h"
#include "state/app_state.h"

void start_up(const RunOptions& options)
{
    open_window_or_exit(options);
    prepare_scene();
}

// The window and its context on a zero-filled AppState: false, after the
// window layer's boxes and teardown, when the window cannot be created.
static bool open_window(const RunOptions& options)
{
    app = AppState{};
    app.frame_count = 1;
    return window_create(800, 600, 32, true, options);
}

void open_window_or_exit(const RunOptions& options)
{
    if (!open_window(options)) {
        if (window_host_refused()) {
            char line[64];
            std::snprintf(line, sizeof line, "quorvex: 0x%llx is not a window\n",
                          static_cast<unsigned long long>(options.window_id));
            platform_report_bad_input(line);
            platform_exit_process(2);
        }
        // The boxes say which step failed; this line, after them, says why, so a
        // user whose demo will not start learns it from the terminal. Going on
        // would leave a process that no input can end.
        const char* reason = window_failure_reason();
        std::fprintf(stderr, "Quorvex could not open its window: %s\n",
                     reason[0] != '\0' ? reason : "the system gave no reason");
        std::fflush(stderr);
        platform_exit_process(1);
    }
}

void prepare_scene()
{
    setup_render_state();
    app.torus_list = generate_torus(32, 24, 18.0f, 15.0f, 0);
    app.fade_level = 1.0f;
    // Wiped by the first clear, but its blend function is the one the first
    // frame's Scene A inherits.
    draw_fade_quad(1.0f, 1.0f);
}

bool try_start_up(const RunOptions& options)
{
    if (!open_window(options)) {
        return false;
    }
    prepare_scene();
    return true;
}

std::int32_t truncate_to_int(float value)
{
    // A C++ conversion truncates by definition (cvttss2si), independent of the
    // current rounding mode.
    return static_cast<std::int32_t>(value);
}

void draw_logo_overlay()
{
    glEnable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    glBlendFunc(GL_ONE, GL_ONE);
    glLoadIdentity();
    glTranslatef(5.75f, -7.35f, -18.0f);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, app.logo_texture);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 0.0f);
    glVertex2f(0.0f, 0.0f);
    glTexCoord2f(0.0f, 1.0f);
    glVertex2f(0.0f, 1.0f);
    glTexCoord2f(1.0f, 1.0f);
    glVertex2f(4.0f, 1.0f);
    glTexCoord2f(1.0f, 0.0f);
    glVertex2f(4.0f, 0.0f);
    glEnd();

    // The state the next frame's scene starts from.
    glEnable(GL_DEPTH_TEST);
    glBlendFunc(GL_ONE, GL_ONE);
    glDisable(GL_TEXTURE_2D);
}

// The scenes take turns: 75 clock units of Scene A, then 75 of Scene B.
static bool scene_a_showing(float scene_time)
{
    return truncate_to_int(scene_time) % 150 < 75;
}

// The fade quad takes the level from before the step; it is never clamped, so
// it sinks far below 0 in Scene A and rises back through 1 in Scene B.
static void step_fade(bool scene_a)
{
    if (scene_a) {
        app.fade_level -= fade_step;
    } else {
        app.fade_level += fade_step;
    }
}

void draw_frame()
{
    app.scene_time += scene_time_step;
    app.frame_count += 1;

    // The blur capture leaves a dark-blue clear colour behind; black again here.
    glClearColor(0.0f, 0.0f, 0.0f, 0.5f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();

    bool scene_a = scene_a_showing(app.scene_time);
    if (scene_a) {
        draw_scene_a(app.scene_time);
    } else {
        draw_scene_b(app.scene_time);
    }
    draw_fade_quad(1.0f, app.fade_level);
    step_fade(scene_a);

    draw_logo_overlay();
}

void skip_frame()
{
    // draw_frame's arithmetic, operation for operation in single
    // precision, so that the sums carry the same rounding.
    app.scene_time += scene_time_step;
    app.frame_count += 1;
    step_fade(scene_a_showing(app.scene_time));
}

void run_frame_without_pause()
{
    // At most one message a frame, so a flood of messages cannot stall drawing.
    // A key press or close request ends the process inside the dispatch. The
    // window procedure does not read the clock, so taking the message before
    // the clock's step changes nothing it sees.
    if (platform_peek_message(&app.message)) {
        platform_dispatch_message(&app.message);
    }

    draw_frame();
    platform_swap_buffers(app.dc);
}

void run_frame()
{
    run_frame_without_pause();
    platform_sleep(2);
}

void run_frame_loop()
{
    for (;;) {
        run_frame();
    }
}

void exit_program()
{
    platform_exit_process(0);
}
