// capture_run.cpp -- renders the demo's frames headless and hands them to a writer thread
#include "capture/capture_run.h"

#include <GL/gl.h>
#include <pthread.h>
#include <sched.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#include "app/frame_loop.h"
#include "app/gl_window.h"
#include "capture/frame_seek.h"
#include "capture/output_file.h"
#include "capture/png_writer.h"
#include "capture/progress.h"
#include "capture/signals.h"
#include "capture/startup_errors.h"
#include "capture/y4m_writer.h"
#include "platform/platform.h"
#include "state/app_state.h"

// Frames read back but not yet written (1.9 MB each): enough for the writer to
// fall several frames behind while the renderer is busy and catch up in its
// quieter frames.
static constexpr int slot_count = 8;

struct FrameSlot {
    std::vector<std::uint8_t> rgba;
    std::int32_t frame;
};

// What the renderer (main thread) and the writer thread share, under `lock`.
static struct {
    std::mutex lock;
    std::condition_variable changed;
    std::vector<FrameSlot*> free_slots;
    std::deque<FrameSlot*> queued;
    bool no_more = false;    // the renderer has queued its last frame
    bool failed = false;     // the writer hit an error: `error` says which
    std::string error;
    std::int32_t written = 0;
    std::atomic<bool> writer_done{false};   // read without the lock after an interrupt
} shared;

// No wait on another thread is longer than this without a look at the
// interrupt flag: a signal reaches whichever thread it reaches, and nothing
// may be left waiting for a partner that has stopped.
static constexpr auto wait_step = std::chrono::milliseconds(50);

static std::string frame_path(const std::string& dir, std::int32_t frame)
{
    char name[32];
    std::snprintf(name, sizeof name, "frame-%06d.png", static_cast<int>(frame));
    std::string path = dir;
    if (path.back() != '/') {
        path += '/';
    }
    return path + name;
}

static bool write_frame(const CaptureOptions& options, OutputFile* stream, const FrameSlot& slot,
                        std::vector<std::uint8_t>* encoded, std::string* error)
{
    switch (options.output) {
    case capture_output_png: {
        std::string path = frame_path(options.out_dir, slot.frame);
        PngCompression compression = options.best ? png_compression_small : png_compression_fast;
        std::size_t size =
            encode_png(slot.rgba.data(), capture_width, capture_height, compression, encoded);
        if (size == 0) {
            *error = "cannot encode '" + path + "': out of memory";
            return false;
        }
        return write_whole_file(path, encoded->data(), size, error);
    }
    case capture_output_y4m: {
        // The frame line and the planes go out in one write.
        const std::size_t header_size = sizeof y4m_frame_header - 1;
        encoded->resize(header_size + y4m_frame_size(capture_width, capture_height));
        std::copy(y4m_frame_header, y4m_frame_header + header_size, encoded->begin());
        rgba_to_yuv420(slot.rgba.data(), capture_width, capture_height,
                       encoded->data() + header_size);
        return output_write(stream, encoded->data(), encoded->size(), error);
    }
    case capture_output_none:
        return true;
    }
    return true;
}

// Writes one queued frame, unless an earlier write failed, and hands its buffer
// back.
static void write_queued(const CaptureOptions& options, OutputFile* stream, FrameSlot* slot,
                         bool skip, std::vector<std::uint8_t>* encoded)
{
    std::string error;
    bool ok = skip;
    if (!skip) {
        try {
            ok = write_frame(options, stream, *slot, encoded, &error);
        } catch (const std::bad_alloc&) {
            error = "out of memory";
        }
    }
    {
        std::lock_guard<std::mutex> hold(shared.lock);
        // An empty message is an interrupt: the main thread reports that.
        if (!ok && !error.empty() && !shared.failed) {
            shared.failed = true;
            shared.error = error;
        }
        if (ok && !skip) {
            shared.written += 1;
        }
        shared.free_slots.push_back(slot);
    }
    shared.changed.notify_all();
}

// PNG frames are files of their own, so the renderer may write one itself, in
// any order; a stream's frames must go out in order, by the writer alone.
static bool renderer_may_write(const CaptureOptions& options)
{
    return options.output == capture_output_png;
}

// The writer thread: takes read-back frames in order, writes them, and hands the
// buffers back. After a failure it only drains the queue.
static void run_writer(const CaptureOptions* options, OutputFile* stream)
{
    if (renderer_may_write(*options)) {
        // The GL driver renders on every core, in bursts. A writer of equal
        // priority takes turns with it and every frame comes out later; at idle
        // priority it writes in the gaps between bursts, which on two cores
        // hold most of a PNG frame's encoding. When it falls behind (or other
        // programs keep the cores busy) the renderer writes frames itself, at
        // its own priority, so the capture never waits on this thread.
        sched_param param{};
        pthread_setschedparam(pthread_self(), SCHED_IDLE, &param);
    }
    std::vector<std::uint8_t> encoded;
    for (;;) {
        FrameSlot* slot = nullptr;
        bool skip = false;
        {
            std::unique_lock<std::mutex> hold(shared.lock);
            while (shared.queued.empty() && !shared.no_more && interrupted_by() == 0) {
                shared.changed.wait_for(hold, wait_step);
            }
            if (shared.queued.empty() || interrupted_by() != 0) {
                shared.writer_done = true;
                return;
            }
            slot = shared.queued.front();
            shared.queued.pop_front();
            skip = shared.failed;
        }
        write_queued(*options, stream, slot, skip, &encoded);
    }
}

// A buffer to read the next frame into; null when a write has failed or an
// interrupt came. Where
// every buffer holds a frame still to be written, the renderer writes the
// oldest itself if it may, and otherwise waits for the writer.
static FrameSlot* take_free_slot(const CaptureOptions& options, std::vector<std::uint8_t>* encoded)
{
    for (;;) {
        FrameSlot* oldest = nullptr;
        {
            std::unique_lock<std::mutex> hold(shared.lock);
            while (!(!shared.free_slots.empty() || shared.failed || interrupted_by() != 0 ||
                     (renderer_may_write(options) && !shared.queued.empty()))) {
                shared.changed.wait_for(hold, wait_step);
            }
            if (shared.failed || interrupted_by() != 0) {
                return nullptr;
            }
            if (!shared.free_slots.empty()) {
                FrameSlot* slot = shared.free_slots.back();
                shared.free_slots.pop_back();
                return slot;
            }
            oldest = shared.queued.front();
            shared.queued.pop_front();
        }
        write_queued(options, nullptr, oldest, false, encoded);
    }
}

// At the end, the renderer writes what is still queued alongside the writer.
static void help_drain(const CaptureOptions& options, std::vector<std::uint8_t>* encoded)
{
    if (!renderer_may_write(options)) {
        return;
    }
    for (;;) {
        FrameSlot* slot = nullptr;
        bool skip = false;
        {
            std::lock_guard<std::mutex> hold(shared.lock);
            if (shared.queued.empty() || interrupted_by() != 0) {
                return;
            }
            slot = shared.queued.front();
            shared.queued.pop_front();
            skip = shared.failed;
        }
        write_queued(options, nullptr, slot, skip, encoded);
    }
}

static void queue_frame(FrameSlot* slot)
{
    {
        std::lock_guard<std::mutex> hold(shared.lock);
        shared.queued.push_back(slot);
    }
    shared.changed.notify_all();
}

static bool writer_failed()
{
    std::lock_guard<std::mutex> hold(shared.lock);
    return shared.failed;
}

static void report(const std::string& text)
{
    std::fprintf(stderr, "quorvex-capture: %s\n", text.c_str());
    std::fflush(stderr);
}

// After an interrupt: the writer is woken and given a moment to drop its
// file, but not waited for (it may be stuck behind busy cores at idle
// priority); whatever it leaves is removed from here. Then the process dies by
// the signal that asked.
[[noreturn]] static void end_by_interrupt(std::thread* writer, OutputFile* stream,
                                          std::int32_t next_frame, bool show_progress)
{
    shared.changed.notify_all();
    if (writer->joinable()) {
        // A thread at idle priority beside busy cores may wait seconds for its
        // next turn, and the process is not gone (nor its death seen by the
        // parent) until every thread has run to its end. Back at normal
        // priority it ends at once; only privilege allows this (root, or
        // CAP_SYS_NICE, or RLIMIT_NICE of 20), and without it the attempt
        // fails harmlessly.
        sched_param normal{};
        pthread_setschedparam(writer->native_handle(), SCHED_OTHER, &normal);
    }
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::milliseconds(250);
    while (writer->joinable() && !shared.writer_done &&
           std::chrono::steady_clock::now() < give_up) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    bool writer_stopped = true;
    if (writer->joinable()) {
        writer_stopped = shared.writer_done;
        if (writer_stopped) {
            writer->join();
        } else {
            writer->detach();
        }
    }
    remove_all_temporaries();
    if (writer_stopped) {
        // Otherwise the writer may still hold the stream; its temporary is
        // gone with the others, and the process ends in a moment.
        output_abandon(stream);
    }
    remove_created_dirs();
    if (show_progress) {
        std::fprintf(stderr, "\n");
    }
    std::string message = "interrupted at frame ";
    message.append(std::to_string(next_frame)).append("; nothing half-written is left");
    report(message);
    die_by_signal(interrupted_by());
}

static void fail(const std::string& error)
{
    std::lock_guard<std::mutex> hold(shared.lock);
    if (!shared.failed) {
        shared.failed = true;
        shared.error = error;
    }
}

int run_capture(const CaptureOptions& options)
{
    // The demo's own start-up, on a window nobody sees: the offscreen driver
    // gives the same 800x600 surface and the same GL as the interactive program.
    // The GL driver's own warnings stay quiet (unless asked for): a failure is
    // reported below, on one line, with the reason the platform gives.
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    setenv("EGL_LOG_LEVEL", "fatal", 0);
    report_driver_crashes(true);
    const bool context_made = try_start_up();
    report_driver_crashes(false);
    if (!context_made) {
        const std::string reason = window_failure_reason();
        report("cannot create an OpenGL context: " +
               (reason.empty() ? first_startup_error().text : reason));
        return 1;
    }
    if (first_startup_error().raised) {
        // A texture the demo could not make: its frames would not be the demo's.
        report("cannot set up rendering: " + first_startup_error().text);
        return 1;
    }

    // Nothing is created before the frames can be drawn.
    OutputFile stream;
    std::string error;
    std::thread writer;
    const bool show_progress = !options.quiet && isatty(STDERR_FILENO) != 0;
    defer_interrupts();
    if (options.output == capture_output_png && !prepare_output_dir(options.out_dir, &error)) {
        report(error);
        return 1;
    }
    std::vector<FrameSlot> slots;
    try {
        if (options.output == capture_output_y4m) {
            std::string header = y4m_stream_header(capture_width, capture_height,
                                                   options.fps.numerator, options.fps.denominator);
            if (!output_open(options.y4m_path, &stream, &error) ||
                !output_write(&stream, header.data(), header.size(), &error)) {
                if (error.empty()) {
                    end_by_interrupt(&writer, &stream, 1, false);
                }
                output_abandon(&stream);
                report(error);
                return 1;
            }
        }
        slots.resize(slot_count);
        for (FrameSlot& slot : slots) {
            slot.rgba.resize(static_cast<std::size_t>(capture_width) * capture_height * 4);
            shared.free_slots.push_back(&slot);
        }
        writer = std::thread(run_writer, &options, &stream);
    } catch (const std::bad_alloc&) {
        error = "out of memory";
    } catch (const std::system_error& thread_error) {
        error = "cannot start the writer thread: " + thread_error.code().message();
    }
    if (!writer.joinable()) {
        output_abandon(&stream);
        remove_created_dirs();
        report(error);
        return 1;
    }
    std::vector<std::uint8_t> renderer_encoded;

    const std::int32_t last = options.frames.back().last;
    const std::int32_t to_draw = capture_drawn_frame_count(options.frames, options.seek);
    const auto started = std::chrono::steady_clock::now();
    auto shown = started;
    std::size_t range = 0;
    std::int32_t rendered = 0;   // the last frame drawn or passed over
    std::int32_t drawn = 0;

    try {
        for (std::int32_t frame = 1; frame <= last && interrupted_by() == 0; ++frame) {
            // Each frame builds on the ones before: a frame that is not drawn still
            // moves the clock and the fade level on (frame_seek.cpp says why that
            // leaves the pictures as they are).
            if (!advance_capture_frame(options.frames, options.seek, frame)) {
                rendered = frame;
                continue;
            }
            drawn += 1;

            while (options.frames[range].last < frame) {
                ++range;
            }
            if (frame >= options.frames[range].first) {
                if (options.output == capture_output_none) {
                    glFinish();
                } else {
                    FrameSlot* slot = take_free_slot(options, &renderer_encoded);
                    if (!slot) {
                        break;
                    }
                    // The offscreen surface is single-buffered: the frame is read
                    // before the swap.
                    glReadPixels(0, 0, capture_width, capture_height, GL_RGBA, GL_UNSIGNED_BYTE,
                                 slot->rgba.data());
                    slot->frame = frame;
                    queue_frame(slot);
                }
            }
            platform_swap_buffers(app.dc);
            rendered = frame;

            auto now = std::chrono::steady_clock::now();
            if (show_progress && (now - shown > std::chrono::milliseconds(100) || frame == last)) {
                shown = now;
                std::string line = format_progress(
                    drawn, to_draw, std::chrono::duration<double>(now - started).count());
                // Back to the line's start, and clear what a longer line left.
                std::fprintf(stderr, "\r%s\x1b[K", line.c_str());
                std::fflush(stderr);
            }
            if (writer_failed()) {
                break;
            }
        }
    } catch (const std::bad_alloc&) {
        fail("out of memory");
    }

    if (interrupted_by() != 0) {
        end_by_interrupt(&writer, &stream, rendered + 1, show_progress);
    }
    {
        std::lock_guard<std::mutex> hold(shared.lock);
        shared.no_more = true;
    }
    shared.changed.notify_all();
    help_drain(options, &renderer_encoded);
    // The writer ends once the queue is empty, or at once after an interrupt.
    while (!shared.writer_done && interrupted_by() == 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    if (interrupted_by() != 0) {
        end_by_interrupt(&writer, &stream, rendered + 1, show_progress);
    }
    writer.join();
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

    bool ok = !shared.failed;
    error = shared.error;
    if (ok) {
        ok = output_finish(&stream, &error);
    } else {
        output_abandon(&stream);
    }
    if (show_progress) {
        std::fprintf(stderr, "\n");
    }
    if (!ok) {
        remove_created_dirs();
        report(error);
        return 1;
    }
    std::string destination = options.output == capture_output_png ? options.out_dir
                              : stream.is_stdout                    ? "standard output"
                                                                    : options.y4m_path;
    if (!options.quiet) {
        report(format_summary(drawn, shared.written, destination, elapsed));
    }
    return 0;
}
