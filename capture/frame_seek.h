// frame_seek.h -- which frames a capture draws, and the step that draws a frame or passes over it
#pragma once

#include <cstdint>
#include <vector>

#include "capture/capture_args.h"

// How many frames right before a selected frame a seeking capture draws (see
// frame_seek.cpp for why one is enough).
constexpr std::int32_t seek_lead_in_frames = 1;

// How many of frames 1 to the last selected one a capture of `selected` (sorted,
// non-overlapping ranges) draws: with `seek`, the selected frames and the
// seek_lead_in_frames before each; without it, all of them.
std::int32_t capture_drawn_frame_count(const std::vector<FrameRange>& selected, bool seek);

// Brings the demo, which has drawn or passed over frames 1 to `frame` - 1,
// through `frame`: draw_next_frame where a capture draws it, otherwise
// skip_next_frame. Returns whether it drew. Presents nothing.
bool advance_capture_frame(const std::vector<FrameRange>& selected, bool seek, std::int32_t frame);
