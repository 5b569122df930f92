// frame_seek.h -- which frames a capture draws, and the step that draws a frame or passes over it
#pragma once

#include <cstdint>
#include <vector>

#include "capture/capture_args.h"

// How many frames right before a selected frame a seeking capture draws (see
// frame_seek.cpp for why one is enough).
constexpr std::int32_t seek_lead_in_frames = 1;

// Whether a capture of `selected` (sorted, non-overlapping ranges) draws frame
// `frame`: with `seek`, a selected frame or one of the seek_lead_in_frames
// before one; without it, every frame up to the last selected one. The frames
// it does not draw it passes over with skip_next_frame.
bool capture_draws_frame(const std::vector<FrameRange>& selected, bool seek, std::int32_t frame);

// How many frames capture_draws_frame draws of 1 to the last selected frame.
std::int32_t capture_drawn_frame_count(const std::vector<FrameRange>& selected, bool seek);

// Brings the demo, which has drawn or passed over frames 1 to `frame` - 1, through
// frame `frame`: draw_next_frame when capture_draws_frame says so, otherwise
// skip_next_frame. Returns whether it drew. Presents nothing. quorvex-capture
// steps through its frames with it, and the seek test checks it.
bool advance_capture_frame(const std::vector<FrameRange>& selected, bool seek, std::int32_t frame);
