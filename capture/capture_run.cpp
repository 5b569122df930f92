// capture_run.cpp -- renders the demo's frames headless and hands them to a writer thread
#include "capture/capture_run.h"

#include <GL/gl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#include "app/frame_loop.h"
#include "app/gl_window.h"
#include "capture/frame_queue.h"
#include "app/frame_selection.h"
#include "capture/output_file.h"
#include "capture/png_writer.h"
#include "capture/progress.h"
#include "capture/signals.h"
#include "capture/message_box.h"
#include "capture/y4m_writer.h"
#include "platform/platform.h"
#include "state/app_state.h"

// Frames read back but not yet written (1.9 MB each): room for the writer to
// fall behind in the renderer's busy frames and catch up in its quiet ones.
static constexpr int slot_count = 8;

namespace {

struct Capture;

// The writer thread's own buffer, and the capture it writes for.
struct WriterBuffers {
    Capture* capture;
    std::vector<std::uint8_t> encoded;
};

// Everything one capture holds. The writer thread alone touches `stream` and
// `cut_frame` until it is joined.
struct Capture {
    const CaptureOptions* options = nullptr;
    FrameQueue queue;
    OutputFile stream;
    std::thread writer_thread;
    std::int32_t cut_frame = 0;   // a stream's frame an interrupt cut short
    WriterBuffers writer_buffers{this, {}};
    FrameWriter writer{nullptr, &writer_buffers};
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

static std::string frame_path(const std::string& dir, std::int32_t frame)
{
    return dir + (dir.back() == '/' ? "" : "/") + frame_name(frame);
}

// A PNG frame, written and closed under its temporary name; the queue renames it.
static Outcome write_png_frame(void* buffers, const FrameSlot& slot, OutputFile* pending,
                               std::string* error)
{
    WriterBuffers& writer = *static_cast<WriterBuffers*>(buffers);
    const CaptureOptions& options = *writer.capture->options;
    const std::string path = frame_path(options.out_dir, slot.frame);
    PngCompression compression = options.best ? png_compression_small : png_compression_fast;
    std::size_t size = encode_png(slot.rgba.data(), capture_width, capture_height, compression,
                                  &writer.encoded);
    if (size == 0) {
        *error = "cannot encode '" + path + "': out of memory";
        return Outcome::failed;
    }
    Outcome outcome = output_open_in(prepared_output_dir(), frame_name(slot.frame), path, pending, error);
    if (outcome == Outcome::ok) {
        outcome = output_write(pending, writer.encoded.data(), size, error);
    }
    return outcome == Outcome::ok ? output_close(pending, error) : outcome;
}

// A stream's frame: its line and its planes, in one write.
static Outcome write_stream_frame(void* buffers, const FrameSlot& slot, OutputFile*, std::string* error)
{
    WriterBuffers& writer = *static_cast<WriterBuffers*>(buffers);
    const std::size_t header_size = sizeof y4m_frame_header - 1;
    writer.encoded.resize(header_size + y4m_frame_size(capture_width, capture_height));
    std::copy(y4m_frame_header, y4m_frame_header + header_size, writer.encoded.begin());
    rgba_to_yuv420(slot.rgba.data(), capture_width, capture_height, writer.encoded.data() + header_size);
    OutputFile* stream = &writer.capture->stream;
    const std::uint64_t before = stream->written;
    Outcome outcome = output_write(stream, writer.encoded.data(), writer.encoded.size(), error);
    if (outcome == Outcome::interrupted && stream->written != before) {
        writer.capture->cut_frame = slot.frame;
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

// After an interrupt: the writer has finished or dropped its frame and been
// joined, so what is on disk is known. Then the process dies by the signal
// that asked.
[[noreturn]] static void end_by_interrupt(Capture* capture)
{
    if (capture->writer_thread.joinable()) {
        capture->writer_thread.join();
    }
    const std::string message = interrupt_message(*capture, capture->queue.last_written);
    output_abandon(&capture->stream);
    remove_created_dirs();
    if (capture->show_progress) {
        std::fprintf(stderr, "\n");
    }
    report(message);
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
        report("cannot create an OpenGL context: " +
               (reason.empty() ? first_startup_error().text : reason));
        return false;
    }
    if (first_startup_error().raised) {
        // A texture the demo could not make: its frames would not be the demo's.
        report("cannot set up rendering: " + first_startup_error().text);
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
    Outcome outcome = output_open(options.y4m_path, &capture->stream, error);
    messages_off = same_as_standard_error(capture->stream.fd);
    if (outcome == Outcome::ok) {
        outcome = output_write(&capture->stream, header.data(), header.size(), error);
    }
    return outcome;
}

static bool start_writer(Capture* capture, std::string* error)
{
    capture->writer.write = capture->options->output == capture_output_png ? write_png_frame : write_stream_frame;
    try {
        queue_init(&capture->queue, slot_count, std::size_t{capture_width} * capture_height * 4);
        capture->writer_thread = std::thread(queue_write_all, &capture->queue, &capture->writer);
        return true;
    } catch (const std::bad_alloc&) {
        *error = "out of memory";
    } catch (const std::system_error& thread_error) {
        *error = "cannot start the writer thread: " + thread_error.code().message();
    }
    return false;
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
        // Each frame builds on the ones before: a frame that is not drawn still
        // moves the clock and the fade level on (frame_selection.cpp says why that
        // leaves the pictures as they are).
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
                // The offscreen surface is single-buffered: the frame is read
                // before the swap.
                glReadPixels(0, 0, capture_width, capture_height, GL_RGBA, GL_UNSIGNED_BYTE,
                             slot->rgba.data());
                queue_push(&capture->queue, slot, frame);
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

// After a failure: takes back what was made and says why.
static int fail(Capture* capture, const std::string& error)
{
    output_abandon(&capture->stream);
    remove_created_dirs();
    report(error);
    return 1;
}

int run_capture(const CaptureOptions& options)
{
    if (!start_rendering()) {
        return 1;
    }
    // Nothing is created before the frames can be drawn.
    Capture capture;
    capture.options = &options;
    capture.show_progress = !options.quiet && isatty(STDERR_FILENO) != 0;
    defer_interrupts();
    std::string error;
    Outcome opened = Outcome::failed;
    try {
        opened = open_outputs(&capture, &error);
    } catch (const std::bad_alloc&) {
        error = "out of memory";
    }
    if (opened == Outcome::interrupted) {
        end_by_interrupt(&capture);
    }
    if (opened != Outcome::ok || !start_writer(&capture, &error)) {
        return fail(&capture, error);
    }

    const auto started = std::chrono::steady_clock::now();
    try {
        render_frames(&capture);
    } catch (const std::bad_alloc&) {
        std::lock_guard<std::mutex> hold(capture.queue.lock);
        capture.queue.failed = true;
        capture.queue.error = "out of memory";
    }
    queue_end(&capture.queue);
    capture.writer_thread.join();
    if (interrupted_by() != 0) {
        end_by_interrupt(&capture);
    }
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

    error = capture.queue.error;
    const bool ok = !capture.queue.failed && output_finish(&capture.stream, &error) == Outcome::ok;
    if (capture.show_progress) {
        std::fprintf(stderr, "\n");
    }
    if (!ok) {
        return fail(&capture, error);
    }
    std::string destination = options.output == capture_output_png ? options.out_dir
                              : capture.stream.is_stdout             ? "standard output"
                                                                     : options.y4m_path;
    if (!options.quiet) {
        report(format_summary(capture.drawn, capture.queue.written, destination, elapsed));
    }
    return 0;
}
