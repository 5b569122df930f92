// frame_queue.h -- frames read back and waiting to be written, put on disk in frame order
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "capture/output_file.h"

// One read-back frame.
struct FrameSlot {
    std::vector<std::uint8_t> rgba;
    std::int32_t frame = 0;
    std::uint64_t sequence = 0;   // its place in the order frames were queued
};

// How a thread puts out a frame it takes: a stream's writer writes it; a PNG
// writer writes and closes its file under a temporary name in `pending`, which
// the queue renames into place after every frame queued before it. Each
// thread has its own (its own buffers in `context`).
struct FrameWriter {
    Outcome (*write)(void* context, const FrameSlot& slot, OutputFile* pending, std::string* error);
    void* context;
};

// Shared by the renderer, which queues frames, and the threads that write them.
// Frames go in place in the order queued, whatever the order they are written
// in, so after a failure or an interrupt the first N frames are on disk.
struct FrameQueue {
    std::mutex lock;
    std::condition_variable changed;
    std::vector<FrameSlot> slots;
    std::vector<FrameSlot*> free_slots;
    std::deque<FrameSlot*> queued;
    // Frames taken, by sequence number, waiting for the ones queued before them.
    struct Finished {
        OutputFile file;    // closed, under its temporary name
        std::int32_t frame;
        bool ok;            // false: not written (failed, skipped, interrupted)
    };
    std::map<std::uint64_t, Finished> finished;
    std::uint64_t next_sequence = 0;
    std::uint64_t next_in_place = 0;   // the sequence number to put in place next
    bool no_more = false;      // the renderer has queued its last frame
    bool stopped = false;      // interrupted: nothing more is written or put in place
    bool failed = false;       // a write failed: `error` says which
    bool broken = false;       // a frame not written has had its turn: none after it goes in place
    std::string error;
    std::int32_t written = 0;        // frames in place
    std::int32_t last_written = 0;   // the last of them, 0 while none
};

// Gives `queue` `count` free slots of `bytes` bytes each. May throw bad_alloc.
void queue_init(FrameQueue* queue, int count, std::size_t bytes);

// A slot to read the next frame into; null after a failed write or an
// interrupt. While every slot waits, `self` (when not null) writes the oldest
// itself; otherwise this waits for a writer.
FrameSlot* queue_free_slot(FrameQueue* queue, FrameWriter* self);

// Hands a slot filled with `frame` to the writers.
void queue_push(FrameQueue* queue, FrameSlot* slot, std::int32_t frame);

// The renderer has queued its last frame.
void queue_end(FrameQueue* queue);

// The one way a frame is taken: writes the oldest queued frame with `writer`
// (after a failure, only hands its slot back). With `wait`, waits while more
// may come. False when there was nothing to take, or the queue is stopped.
bool queue_write_next(FrameQueue* queue, FrameWriter* writer, bool wait);

// After an interrupt: nothing more is written or put in place, and frames not
// yet in place are dropped. Returns the last frame in place (0: none).
std::int32_t queue_stop(FrameQueue* queue);
