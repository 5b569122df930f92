// capture_run.cpp -- renders the demo's frames headless and hands them to a writer thread
#include "capture/capture_run.h"

#include <GL/gl.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#include "app/frame_loop.h"
#include "app/frame_selection.h"
#include "app/gl_window.h"
#include "capture/frame_queue.h"
#include "capture/message_box.h"
#include "capture/output_file.h"
#include "capture/output_path.h"
#include "capture/png_writer.h"
#include "capture/progress.h"
#include "capture/signals.h"
#include "capture/y4m_writer.h"
#include "platform/platform.h"
#include "state/app_state.h"

// Frames read back but not yet written (1.9 MB each): room for the writer to
// fall behind in busy frames and catch up in quiet ones.
static constexpr int slot_count = 8;

namespace {

// Everything one capture holds. The writer thread alone touches `stream`,
// `encoded` and `cut_frame` until it is joined.
struct Capture {
    const CaptureOptions* options = nullptr;
    FrameQueue queue;
    OutputFile stream;
    std::thread writer_thread;
    std::vector<std::uint8_t> encoded;
    std::int32_t cut_frame = 0;   // a stream's frame an interrupt cut short
    bool show_progress = false;
    std::int32_t drawn = 0;
};

}  // namespace

// Messages never go into the video: when the stream is where standard error
// leads, they are left out (the exit status still tells).
static bool messages_off = false;

static void report(const std::string& text)
{
    if (!messages_off) {
        std::fprintf(stderr, "quorvex-capture: %s\n", text.c_str());
        std::fflush(stderr);
    }
}

static std::string frame_name(std::int32_t frame)
{
    char name[32];
    std::snprintf(name, sizeof name, "frame-%06d.png", static_cast<int>(frame));
    return name;
}

// A PNG frame, written under its temporary name and renamed into place; one
// finished after an interrupt is dropped.
static Outcome write_png_frame(Capture* capture, const FrameSlot& slot, std::string* error)
{
    const std::string& dir = capture->options->out_dir;
    const std::string path = dir + (dir.back() == '/' ? "" : "/") + frame_name(slot.frame);
    const PngCompression compression = capture->options->best ? png_compression_small : png_compression_fast;
    const std::size_t size = encode_png(slot.rgba.data(), capture_width, capture_height, compression,
                                        &capture->encoded);
    if (size == 0) {
        *error = "cannot encode '" + path + "': out of memory";
        return Outcome::failed;
    }
    OutputFile file;
    Outcome outcome = output_open(prepared_output_dir(), frame_name(slot.frame), path, &file, error);
    if (outcome == Outcome::ok) {
        outcome = output_write(&file, capture->encoded.data(), size, error);
    }
    if (outcome == Outcome::ok) {
        outcome = interrupted_by() != 0 ? Outcome::interrupted : output_finish(&file, error);
    }
    output_abandon(&file);
    return outcome;
}

// A stream's frame: its line and its planes, in one write.
static Outcome write_stream_frame(Capture* capture, const FrameSlot& slot, std::string* error)
{
    const std::size_t header_size = sizeof y4m_frame_header - 1;
    capture->encoded.resize(header_size + y4m_frame_size(capture_width, capture_height));
    std::copy(y4m_frame_header, y4m_frame_header + header_size, capture->encoded.begin());
    rgba_to_yuv420(slot.rgba.data(), capture_width, capture_height, capture->encoded.data() + header_size);
    const std::uint64_t before = capture->stream.written;
    Outcome outcome = output_write(&capture->stream, capture->encoded.data(), capture->encoded.size(), error);
    if (outcome == Outcome::interrupted && capture->stream.written != before) {
        capture->cut_frame = slot.frame;
    }
    return outcome;
}

// What an interrupted capture leaves, in words.
static std::string interrupt_message(const Capture& capture, std::int32_t last_written)
{
    const bool stream = capture.options->output == capture_output_y4m;
    const bool nothing_kept = stream && (!capture.stream.temp_name.empty() || capture.stream.empty_on_failure);
    if (nothing_kept || (stream ? capture.stream.written == 0 : last_written == 0)) {
        return "interrupted before any frame was written; nothing half-written is left";
    }
    std::string message = "interrupted after frame " + std::to_string(last_written) + " was written";
    if (!stream) {
        return message + "; nothing half-written is left";
    }
    if (last_written == 0) {
        message = "interrupted after the stream header was written";
    }
    const std::int32_t cut = capture.cut_frame;
    return cut != 0 ? message + "; frame " + std::to_string(cut) + " was cut short"
                    : message + "; the stream ends there";
}

// After a failure: takes back what was made and says why.
static int fail(Capture* capture, const std::string& error)
{
    output_abandon(&capture->stream);
    remove_created_dirs();
    report(error);
    return 1;
}

// After an interrupt: once the writer has finished or dropped its frame, what
// is on disk is known; then the process dies by the signal that asked.
[[noreturn]] static void end_by_interrupt(Capture* capture)
{
    if (capture->writer_thread.joinable()) {
        capture->writer_thread.join();
    }
    fail(capture, interrupt_message(*capture, capture->queue.last_written));
    die_by_signal(interrupted_by());
}

// The demo's own start-up on the offscreen driver: the same 800x600 surface
// and GL as the interactive program, the driver's warnings quiet.
static bool start_rendering()
{
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    setenv("EGL_LOG_LEVEL", "fatal", 0);
    report_driver_crashes(true);
    const bool context_made = try_start_up();
    report_driver_crashes(false);
    if (!context_made) {
        const std::string reason = window_failure_reason();
        report("cannot create an OpenGL context: " + (reason.empty() ? first_startup_box().value_or("") : reason));
        return false;
    }
    if (first_startup_box()) {
        // A texture the demo could not make: its frames would not be the demo's.
        report("cannot set up rendering: " + *first_startup_box());
        return false;
    }
    return true;
}

// The output folder, or the stream with its header.
static Outcome open_outputs(Capture* capture, std::string* error)
{
    const CaptureOptions& options = *capture->options;
    if (options.output == capture_output_png) {
        const std::string first = frame_name(options.frames.front().first);
        return prepare_output_dir(options.out_dir, first, error) ? Outcome::ok : Outcome::failed;
    }
    if (options.output != capture_output_y4m) {
        return Outcome::ok;
    }
    const std::string header = y4m_stream_header(capture_width, capture_height, options.fps.numerator,
                                                 options.fps.denominator);
    Outcome outcome = output_open(AT_FDCWD, options.y4m_path, options.y4m_path, &capture->stream, error);
    messages_off = same_as_standard_error(capture->stream.fd);
    if (outcome == Outcome::ok) {
        outcome = output_write(&capture->stream, header.data(), header.size(), error);
    }
    return outcome;
}

static bool start_writer(Capture* capture, std::string* error)
{
    const bool png = capture->options->output == capture_output_png;
    try {
        queue_init(&capture->queue, slot_count, std::size_t{capture_width} * capture_height * 4);
        const FrameWriter writer = std::bind_front(png ? write_png_frame : write_stream_frame, capture);
        capture->writer_thread = std::thread(queue_write_all, &capture->queue, writer);
        return true;
    } catch (const std::system_error& thread_error) {
        *error = "cannot start the writer thread: " + thread_error.code().message();
        return false;
    }
}

// Steps the demo through frames 1 to the last selected one, queueing the
// selected ones. Stops early after a failed write or an interrupt.
static void render_frames(Capture* capture)
{
    const CaptureOptions& options = *capture->options;
    const std::int32_t last = options.frames.back().last;
    const std::int32_t to_draw = drawn_frame_count(options.frames, options.seek);
    const auto started = std::chrono::steady_clock::now();
    auto shown = started;
    std::size_t range = 0;
    for (std::int32_t frame = 1; frame <= last && interrupted_by() == 0; ++frame) {
        // A frame not drawn still moves the clock and the fade on (frame_selection.cpp).
        if (!advance_to_frame(options.frames, options.seek, frame)) {
            continue;
        }
        capture->drawn += 1;
        while (options.frames[range].last < frame) {
            ++range;
        }
        if (frame >= options.frames[range].first) {
            if (options.output == capture_output_none) {
                glFinish();
            } else {
                FrameSlot* slot = queue_free_slot(&capture->queue);
                if (!slot) {
                    return;
                }
                // The offscreen surface is single-buffered: read before the swap.
                glReadPixels(0, 0, capture_width, capture_height, GL_RGBA, GL_UNSIGNED_BYTE,
                             slot->rgba.data());
                queue_push(&capture->queue, frame);
            }
        }
        platform_swap_buffers(app.dc);

        auto now = std::chrono::steady_clock::now();
        if (capture->show_progress && (now - shown > std::chrono::milliseconds(100) || frame == last)) {
            shown = now;
            std::string line = format_progress(capture->drawn, to_draw,
                                               std::chrono::duration<double>(now - started).count());
            // Back to the line's start, and clear what a longer line left.
            std::fprintf(stderr, "\r%s\x1b[K", line.c_str());
            std::fflush(stderr);
        }
    }
}

// The capture once the frames can be drawn. While the writer runs a failed
// allocation is caught here: leaving with the thread running would abort.
static int capture_frames(Capture* capture)
{
    const CaptureOptions& options = *capture->options;
    std::string error;
    const Outcome opened = open_outputs(capture, &error);
    if (opened == Outcome::interrupted) {
        end_by_interrupt(capture);
    }
    if (opened != Outcome::ok || !start_writer(capture, &error)) {
        return fail(capture, error);
    }

    const auto started = std::chrono::steady_clock::now();
    try {
        render_frames(capture);
    } catch (const std::bad_alloc&) {
        std::lock_guard<std::mutex> hold(capture->queue.lock);
        capture->queue.failed = true;
        capture->queue.error = "out of memory";
    }
    if (capture->show_progress) {
        std::fprintf(stderr, "\n");   // the progress line stays
    }
    queue_end(&capture->queue);
    capture->writer_thread.join();
    if (interrupted_by() != 0) {
        end_by_interrupt(capture);
    }
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

    error = capture->queue.error;
    if (capture->queue.failed || output_finish(&capture->stream, &error) != Outcome::ok) {
        return fail(capture, error);
    }
    std::string destination = options.output == capture_output_png ? options.out_dir
                              : capture->stream.is_stdout            ? "standard output"
                                                                     : options.y4m_path;
    if (!options.quiet) {
        report(format_summary(capture->drawn, capture->queue.written, destination, elapsed));
    }
    return 0;
}

int run_capture(const CaptureOptions& options)
{
    if (!start_rendering()) {
        return 1;
    }
    Capture capture;
    capture.options = &options;
    capture.show_progress = !options.quiet && isatty(STDERR_FILENO) != 0;
    defer_interrupts();
    try {
        return capture_frames(&capture);
    } catch (const std::bad_alloc&) {
        return fail(&capture, "out of memory");
    }
}
