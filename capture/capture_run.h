// capture_run.h -- renders the demo's frames headless and hands them to a writer
#pragma once

#include "capture/capture_args.h"

// Frame size of a capture: the demo's window size.
constexpr int capture_width = 800;
constexpr int capture_height = 600;

// Starts the demo on the offscreen video driver and steps through frames 1 to
// the last selected one, writing the selected frames as `options` says while
// the next ones render. Creates nothing before the GL context exists. Reports a
// failure on one line and removes what it had not finished. Returns the exit
// status (0 or 1); after an interrupt the process dies by that signal instead.
int run_capture(const CaptureOptions& options);
