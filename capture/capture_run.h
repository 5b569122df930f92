// capture_run.h -- renders the demo's frames headless and hands them to a writer
#pragma once

#include "capture/capture_args.h"

// Frame size of a capture: the demo's window size.
constexpr int capture_width = 800;
constexpr int capture_height = 600;

// Starts the demo as the interactive program does but on the offscreen video
// driver, steps through frames 1 to the last selected one with the demo's own
// frame step (without the message pump, the pause and, where options.seek
// allows, the drawing of frames nothing selected needs), and writes the
// selected frames as `options` says while the next ones render. Creates nothing
// before the GL context exists (a failure there is "cannot create an OpenGL
// context: <reason>"). Reports any failure on one line on standard error and
// removes what it had not finished; unless options.quiet, a progress line is
// shown while standard error is a terminal, and a summary at the end. Returns
// the exit status: 0 when every selected frame was written, 1 after an error.
// After SIGINT, SIGTERM or SIGHUP (handlers installed by
// install_interrupt_handlers) it does not return: it cleans up and the process
// dies by that signal. Called once by quorvex-capture's main.
int run_capture(const CaptureOptions& options);
