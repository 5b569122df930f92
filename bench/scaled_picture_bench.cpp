// scaled_picture_bench.cpp -- what showing the picture scaled adds to a frame: the same frames with and without it, in one run
#include <GL/gl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app/frame_loop.h"
#include "platform/scaled_picture.h"
#include "state/app_state.h"

namespace {

using Clock = std::chrono::steady_clock;

// Milliseconds a frame over `frames` frames of the demo's own cycle drawn into
// the picture, shown scaled into the window or not. glFinish brings the
// renderer's deferred work inside the measurement.
double milliseconds_a_frame(int frames, bool shown)
{
    const auto begin = Clock::now();
    for (int i = 0; i < frames; ++i) {
        draw_frame();
        if (shown) {
            scaled_picture_present(800, 600);
        }
        glFinish();
    }
    return std::chrono::duration<double, std::milli>(Clock::now() - begin).count() / frames;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

// The two kinds of frame take turns, so that the machine's drift between
// rounds (up to 30% on a shared one) falls on both alike.
int main()
{
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    RunOptions options;
    options.host = Host::window;
    start_up(options);
    milliseconds_a_frame(30, true);
    std::vector<double> plain, shown, ratio;
    for (int round = 0; round < 15; ++round) {
        plain.push_back(milliseconds_a_frame(40, false));
        shown.push_back(milliseconds_a_frame(40, true));
        ratio.push_back(shown.back() / plain.back());
    }
    std::printf("frame drawn into the 800x600 picture:           %.2f ms (median of 15 rounds of 40)\n",
                median(plain));
    std::printf("the same, then shown scaled into an 800x600 window: %.2f ms\n", median(shown));
    std::printf("shown / drawn: median %.3f, best %.3f, worst %.3f\n", median(ratio),
                *std::min_element(ratio.begin(), ratio.end()),
                *std::max_element(ratio.begin(), ratio.end()));
    exit_program();
}
