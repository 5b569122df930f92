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

int main(int argc, char** argv)
{
    std::int32_t frame = requested_frame(argc, argv);
    if (frame < 0) {
        EM_ASM({ Module.badFrameRequest(UTF8ToString($0), $1); }, argv[2], max_frame_number);
        return 2;
    }
    start_up();
    if (frame > 0) {
        hold_frame(frame);
        return 0;
    }
    // The frame step the desktop loop runs, without its pause: the browser calls
    // it once per display refresh. It does not return here.
    emscripten_set_main_loop(run_frame_without_pause, 0, 1);
    return 0;
}
