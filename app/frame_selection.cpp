// frame_selection.cpp -- which frames a run draws, and the step that draws a frame or passes over it
#include "app/frame_selection.h"

#include <algorithm>

#include "app/frame_loop.h"

// Frame N depends on the frames before it in three ways:
// - The clock and the fade level, single-precision sums: skip_frame makes
//   exactly draw_frame's steps, so they hold the same bits.
// - GL state: the torus and the panels blend with whatever blend function the
//   frame before left, and the logo overlay ends every frame in the same state.
//   Frame 1 instead inherits start-up's fade quad (GL_SRC_ALPHA,
//   GL_ONE_MINUS_SRC_ALPHA); start-up's fog, lighting and culling the scenes
//   switch off themselves.
// - Pixels: none. Every frame clears the whole surface first, and Scene A
//   captures its blur texture in the same frame before it reads it.
// So one frame drawn before N reproduces all that N inherits; none is not
// enough (the seek test shows it when seek_lead_in_frames is 0).

// Whether a run draws `frame`: with `seek`, a selected frame or one of the
// seek_lead_in_frames before one; without it, every frame up to the last.
static bool run_draws_frame(const std::vector<FrameRange>& selected, bool seek, std::int32_t frame)
{
    if (selected.empty() || frame > selected.back().last) {
        return false;
    }
    if (!seek) {
        return true;
    }
    // The first range that ends at or after `frame`.
    auto range = std::lower_bound(selected.begin(), selected.end(), frame,
                                  [](const FrameRange& r, std::int32_t f) { return r.last < f; });
    return frame >= range->first - seek_lead_in_frames;
}

std::int32_t drawn_frame_count(const std::vector<FrameRange>& selected, bool seek)
{
    std::int32_t count = 0;
    for (std::int32_t frame = 1; !selected.empty() && frame <= selected.back().last; ++frame) {
        count += run_draws_frame(selected, seek, frame) ? 1 : 0;
    }
    return count;
}

bool advance_to_frame(const std::vector<FrameRange>& selected, bool seek, std::int32_t frame)
{
    if (run_draws_frame(selected, seek, frame)) {
        draw_frame();
        return true;
    }
    skip_frame();
    return false;
}
