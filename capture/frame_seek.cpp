// frame_seek.cpp -- which frames a capture draws, and the step that draws a frame or passes over it
#include "capture/frame_seek.h"

#include <algorithm>

#include "app/frame_loop.h"

// Frame N of the demo depends on the frames before it in three ways:
//
// - The clock and the fade level are single-precision sums, one step a frame.
//   skip_next_frame makes exactly the steps draw_next_frame makes, so after any
//   mix of the two they hold the same bits.
// - GL state each frame leaves to the next. Every frame sets nearly all the
//   state it uses, but the torus and the panels are blended with whatever
//   blend function the frame before left: GL_ONE, GL_ONE from the logo
//   overlay, which ends every frame in the same state whichever scene it drew
//   (blending and depth test on, texturing off, the logo's texture bound, the
//   modelview current). Frame 1 instead inherits start-up's fade quad
//   (GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA) and start-up's fog, lighting and
//   culling, which each scene switches off before drawing.
// - Pixels: none. Every frame clears colour and depth over the whole surface
//   first, and Scene A captures its blur texture in the same frame before it
//   reads it; Scene B does not read it.
//
// So whichever frame is drawn right after start-up leaves the state every later
// frame inherits, and one frame drawn before N reproduces all that N inherits.
// Drawing none is not enough: frame N then takes frame 1's blend function and
// comes out different (the seek test shows it when seek_lead_in_frames is 0).

bool capture_draws_frame(const std::vector<FrameRange>& selected, bool seek, std::int32_t frame)
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

std::int32_t capture_drawn_frame_count(const std::vector<FrameRange>& selected, bool seek)
{
    if (selected.empty()) {
        return 0;
    }
    if (!seek) {
        return selected.back().last;
    }
    std::int32_t count = 0;
    std::int32_t drawn_up_to = 0;  // the last frame counted so far
    for (const FrameRange& range : selected) {
        std::int32_t first = std::max(drawn_up_to + 1, range.first - seek_lead_in_frames);
        count += range.last - first + 1;
        drawn_up_to = range.last;
    }
    return count;
}

bool advance_capture_frame(const std::vector<FrameRange>& selected, bool seek, std::int32_t frame)
{
    if (capture_draws_frame(selected, seek, frame)) {
        draw_next_frame();
        return true;
    }
    skip_next_frame();
    return false;
}
