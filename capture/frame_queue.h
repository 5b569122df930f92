// frame_queue.h -- frames read back and waiting for the one writer thread
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "capture/output_file.h"

struct FrameSlot {
    std::vector<std::uint8_t> rgba;
    std::int32_t frame = 0;
};

// Puts one frame out: into its own file, renamed into place before it returns,
// or into the stream.
using FrameWriter = std::function<Outcome(const FrameSlot& slot, std::string* error)>;

// Shared by the renderer, which queues frames, and the one thread that writes
// them in that order: after a failure or an interrupt the first N are on disk.
struct FrameQueue {
    std::mutex lock;
    std::condition_variable changed;
    std::vector<FrameSlot> slots;   // a ring: slot n % size holds the nth frame queued
    std::size_t queued = 0;         // frames the renderer has queued
    std::size_t done = 0;           // frames the writer has handed back
    bool no_more = false;      // the renderer has queued its last frame
    bool failed = false;       // a write failed: `error` says which
    std::string error;
    std::int32_t written = 0;        // frames in place
    std::int32_t last_written = 0;   // the last of them, 0 while none
};

// Gives `queue` `count` free slots of `bytes` bytes each. May throw bad_alloc.
void queue_init(FrameQueue* queue, int count, std::size_t bytes);

// A slot to read the next frame into, waiting for the writer while none is
// free; null after a failed write or an interrupt.
FrameSlot* queue_free_slot(FrameQueue* queue);

// Hands the slot queue_free_slot gave, now holding `frame`, to the writer.
void queue_push(FrameQueue* queue, std::int32_t frame);

// The renderer has queued its last frame.
void queue_end(FrameQueue* queue);

// The writer thread's loop: writes queued frames in order until the renderer
// is done or an interrupt comes; after a failure it only hands frames back.
void queue_write_all(FrameQueue* queue, const FrameWriter& write);
