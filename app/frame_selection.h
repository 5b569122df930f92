// frame_selection.h -- which frames a run draws (a capture, a page held on one frame), and the step that draws a frame or passes over it
#pragma once

#include <cstdint>
#include <vector>

// The highest frame number a run may ask for: a capture's file names hold six
// digits, so they sort in frame order.
constexpr std::int32_t max_frame_number = 999999;

// Frames first..last, both counted from 1, first <= last.
struct FrameRange {
    std::int32_t first;
    std::int32_t last;
};

// How many frames right before a selected frame a seeking run draws (see
// frame_selection.cpp for why one is enough).
constexpr std::int32_t seek_lead_in_frames = 1;

// How many of frames 1 to the last selected one a run of `selected` (sorted,
// non-overlapping ranges) draws: with `seek`, the selected frames and the
// seek_lead_in_frames before each; without it, all of them.
std::int32_t drawn_frame_count(const std::vector<FrameRange>& selected, bool seek);

// Brings the demo, which has drawn or passed over frames 1 to `frame` - 1,
// through `frame`: draw_frame where the run draws it, otherwise
// skip_frame. Returns whether it drew. Presents nothing.
bool advance_to_frame(const std::vector<FrameRange>& selected, bool seek, std::int32_t frame);
