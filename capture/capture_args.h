// capture_args.h -- the command line of quorvex-capture, parsed into plain options
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/frame_selection.h"

// One whole cycle of the two scenes, the default range.
constexpr std::int32_t capture_cycle_frames = 682;

enum CaptureOutput : int {
    capture_output_png = 0,   // one PNG file per frame in `out_dir`
    capture_output_y4m = 1,   // one YUV4MPEG2 stream to `y4m_path` ("-": standard output)
    capture_output_none = 2,  // render and read back, write nothing (timing)
};

// Frames a second in lowest terms, as a stream's header holds it (30000/1001
// for NTSC's 29.97); each term 1 to 1000000, at most 1000 frames a second.
struct FrameRate {
    std::int32_t numerator;
    std::int32_t denominator;
};

struct CaptureOptions {
    std::vector<FrameRange> frames;   // sorted, non-overlapping, non-adjacent
    CaptureOutput output = capture_output_png;
    std::string out_dir = "quorvex-frames";
    std::string y4m_path;
    FrameRate fps = {60, 1};
    bool best = false;    // PNG files as small as libdeflate makes them, not as fast
    bool seek = true;     // pass over frames nothing selected needs drawn (--no-seek: draw all)
    bool quiet = false;   // no progress line and no summary; errors are still reported
};

enum ArgsResult : int {
    args_run = 0,      // options are complete: capture
    args_help = 1,     // --help was given: print the usage and exit 0
    args_version = 2,  // --version was given: print the version and exit 0
    args_error = 3,    // `error` holds a one-line message; exit with status 2
};

// Parses argv[1..argc-1] into `options` (which starts from its defaults). On
// args_error `error` names the offending argument; nothing else is touched.
ArgsResult parse_capture_args(int argc, const char* const* argv, CaptureOptions* options,
                              std::string* error);

// The usage text --help prints, ending in a newline.
const char* capture_usage();
