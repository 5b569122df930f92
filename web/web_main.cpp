// web_main.cpp -- the page's entry point: start-up, then one frame step per animation frame, or one frame held
#include <emscripten.h>

#include <charconv>
#include <cstring>
#include <vector>

#include "app/frame_loop.h"
#include "capture/capture_args.h"
#include "app/frame_selection.h"

// The frame named by "--frame N" (the page's ?frame=N), 0 when none is asked
// for, -1 when the request is not a frame number the demo can reach.
static std::int32_t requested_frame(int argc, char** argv)
{
    if (argc < 3 || std::strcmp(argv[1], "--frame") != 0) {
        return 0;
    }
    const char* text = argv[2];
    const char* end = text + std::strlen(text);
    std::int32_t frame = 0;
    auto [stop, error] = std::from_chars(text, end, frame);
    if (error != std::errc{} || stop != end || text == end || frame < 1 || frame > max_frame_number) {
        return -1;
    }
    return frame;
}

// Draws frame `frame` as quorvex-capture reaches it: every frame before it is
// passed over without drawing but the one right before, which leaves the GL
// state the frame inherits. Then the page holds it: no loop, no input.
static void hold_frame(std::int32_t frame)
{
    const std::vector<FrameRange> selected = {{frame, frame}};
    for (std::int32_t f = 1; f <= frame; ++f) {
        advance_to_frame(selected, true, f);
    }
    EM_ASM({ Module.frameHeld($0); }, frame);
}

// The frame ?frame=N asked for, 0 for the live demo; read by the second half of start-up.
static std::int32_t held_frame = 0;

// start-up's second half, a task of its own (the first is main's), then the
// frames: held, or the frame step the desktop loop runs, without its pause,
// which the browser calls once per display refresh.
static void finish_start_up(void*)
{
    prepare_scene();
    if (held_frame > 0) {
        hold_frame(held_frame);
        return;
    }
    emscripten_set_main_loop(run_frame_without_pause, 0, 0);
    EM_ASM({ Module.framesStarted(); });
}

int main(int argc, char** argv)
{
    held_frame = requested_frame(argc, argv);
    if (held_frame < 0) {
        EM_ASM({ Module.badFrameRequest(UTF8ToString($0), $1); }, argv[2], max_frame_number);
        return 2;
    }
    // The context and its shaders now; the textures, the torus and the first
    // frame each in a later task, so that no one task keeps the page busy long.
    open_window_or_exit();
    emscripten_async_call(finish_start_up, nullptr, 0);
    return 0;
}
