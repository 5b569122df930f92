// capture_run.cpp -- renders the demo's frames headless and hands them to a writer thread
#include "capture/capture_run.h"

#include <GL/gl.h>
#include <pthread.h>
#include <sched.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "app/frame_loop.h"
#include "capture/output_file.h"
#include "capture/png_writer.h"
#include "capture/progress.h"
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
} shared;

static volatile std::sig_atomic_t interrupted_by = 0;

static void on_interrupt(int signal_number)
{
    interrupted_by = signal_number;
}

static void install_signal_handlers()
{
    // Installed before SDL starts, which then leaves them in place. A stopped
    // capture removes its unfinished file instead of leaving it behind.
    struct sigaction action {};
    action.sa_handler = on_interrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
    // A reader that goes away shows as a failed write (EPIPE), reported like any other.
    signal(SIGPIPE, SIG_IGN);
}

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
    bool ok = skip || write_frame(options, stream, *slot, encoded, &error);
    {
        std::lock_guard<std::mutex> hold(shared.lock);
        if (!ok && !shared.failed) {
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
            shared.changed.wait(hold, [] { return !shared.queued.empty() || shared.no_more; });
            if (shared.queued.empty()) {
                return;
            }
            slot = shared.queued.front();
            shared.queued.pop_front();
            skip = shared.failed;
        }
        write_queued(*options, stream, slot, skip, &encoded);
    }
}

// A buffer to read the next frame into; null when a write has failed. Where
// every buffer holds a frame still to be written, the renderer writes the
// oldest itself if it may, and otherwise waits for the writer.
static FrameSlot* take_free_slot(const CaptureOptions& options, std::vector<std::uint8_t>* encoded)
{
    for (;;) {
        FrameSlot* oldest = nullptr;
        {
            std::unique_lock<std::mutex> hold(shared.lock);
            shared.changed.wait(hold, [&] {
                return !shared.free_slots.empty() || shared.failed ||
                       (renderer_may_write(options) && !shared.queued.empty());
            });
            if (shared.failed) {
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
            if (shared.queued.empty()) {
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

int run_capture(const CaptureOptions& options)
{
    install_signal_handlers();

    // Checked before the demo starts, so a bad directory is reported at once.
    std::string error;
    if (options.output == capture_output_png && !prepare_output_dir(options.out_dir, &error)) {
        report(error);
        return 1;
    }

    // The demo's own start-up, on a window nobody sees: the offscreen driver
    // gives the same 800x600 surface and the same GL as the interactive program.
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    start_up();

    OutputFile stream;
    if (options.output == capture_output_y4m) {
        std::string header = y4m_stream_header(capture_width, capture_height, options.fps);
        if (!output_open(options.y4m_path, &stream, &error) ||
            !output_write(&stream, header.data(), header.size(), &error)) {
            output_abandon(&stream);
            report(error);
            return 1;
        }
    }

    std::vector<FrameSlot> slots(slot_count);
    for (FrameSlot& slot : slots) {
        slot.rgba.resize(static_cast<std::size_t>(capture_width) * capture_height * 4);
        shared.free_slots.push_back(&slot);
    }
    std::thread writer(run_writer, &options, &stream);
    std::vector<std::uint8_t> renderer_encoded;

    const bool show_progress = isatty(STDERR_FILENO) != 0;
    const std::int32_t last = options.frames.back().last;
    const auto started = std::chrono::steady_clock::now();
    auto shown = started;
    std::size_t range = 0;
    std::int32_t rendered = 0;

    for (std::int32_t frame = 1; frame <= last && !interrupted_by; ++frame) {
        // Every frame is drawn, written or not: the clock, the fade level and the
        // GL state each frame leaves behind carry into the next.
        app.scene_time += scene_time_step;
        draw_frame_body();

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
            std::string line =
                format_progress(frame, last, std::chrono::duration<double>(now - started).count());
            // Back to the line's start, and clear what a longer line left.
            std::fprintf(stderr, "\r%s\x1b[K", line.c_str());
            std::fflush(stderr);
        }
        if (writer_failed()) {
            break;
        }
    }

    {
        std::lock_guard<std::mutex> hold(shared.lock);
        shared.no_more = true;
    }
    shared.changed.notify_all();
    help_drain(options, &renderer_encoded);
    writer.join();
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

    bool ok = !shared.failed && !interrupted_by;
    error = shared.error;
    if (ok) {
        ok = output_finish(&stream, &error);
    } else {
        output_abandon(&stream);
    }
    if (show_progress) {
        std::fprintf(stderr, "\n");
    }

    if (interrupted_by) {
        report(std::string("interrupted at frame ").append(std::to_string(rendered + 1))
                   .append("; nothing half-written is left"));
        return 128 + interrupted_by;
    }
    if (!ok) {
        report(error);
        return 1;
    }
    std::string destination = options.output == capture_output_png ? options.out_dir
                              : stream.is_stdout                    ? "standard output"
                                                                    : options.y4m_path;
    report(format_summary(rendered, shared.written, destination, elapsed));
    return 0;
}
