// frame_loop.h -- start-up, one frame, the endless loop and the end of the process
#pragma once

#include <cstdint>

#include "app/run_options.h"

// The scene clock's step per frame: the single nearest to 0.22.
constexpr float scene_time_step = 0.22f;
// The fade level's step per frame: 0x3D4CCCCC, one ulp below the single nearest
// to 0.05. Not 0.05f: the fade's timing at each scene change depends on it.
constexpr float fade_step = 0.049999997f;

// Zero-fills AppState, creates the window (where `options` say), sets up
// rendering, builds the torus and draws the first fade quad. Ends the process
// with status 1 (after the window layer's message boxes) when the window cannot
// be created, with status 2 and "quorvex: <id> is not a window" when the host's
// window it was given is none.
void start_up(const RunOptions& options = RunOptions{});

// The step every frame is drawn by: the clock's step, then everything the frame
// draws (frame counter, clear, scene, fade and its step, logo). No message, no
// pause, no presentation: the demo's loop adds those around it; quorvex-capture
// and the GL frame test call it as it is.
void draw_frame();

// start_up's two halves, for a caller that returns to its event loop between
// them (the page: each is one task of the browser's, so neither holds it up
// for long). open_window_or_exit zero-fills AppState and creates the window,
// ending the process as start_up does when it cannot; prepare_scene sets up
// rendering, builds the torus and draws the first fade quad.
void open_window_or_exit(const RunOptions& options = RunOptions{});
void prepare_scene();

// start_up without its exit: false, after the window layer's boxes and teardown,
// when the window cannot be created. The capture tool calls it to report such a
// failure its own way.
bool try_start_up(const RunOptions& options = RunOptions{});

// Passes over the next frame without drawing it: the clock, the frame counter
// and the fade level change exactly as draw_frame changes them, bit for
// bit, and the GL is not touched. Used by quorvex-capture to seek.
void skip_frame();

// One frame up to its presentation: at most one message, draw_frame,
// swap. run_frame without the pause; benchmarks time it.
void run_frame_without_pause();

// One frame: at most one message, clock, clear, scene, fade, logo, present, sleep.
// Tests call it directly.
void run_frame();

// run_frame forever; the process ends from inside the window procedure.
[[noreturn]] void run_frame_loop();

// The logo overlay and the state every frame ends with.
void draw_logo_overlay();

// Ends the process with exit code 0. Run by the window procedure.
[[noreturn]] void exit_program();

// Rounds toward zero whatever the FPU's rounding mode (2.9 -> 2, -2.9 -> -2).
std::int32_t truncate_to_int(float value);
