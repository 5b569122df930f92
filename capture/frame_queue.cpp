// frame_queue.cpp -- frames waiting to be written, taken in one way and put in place in order
#include "capture/frame_queue.h"

#include <chrono>
#include <new>

#include "capture/signals.h"

// No wait on another thread is longer than this without a look at the
// interrupt flag: a signal reaches whichever thread it reaches, and nothing
// may be left waiting for a partner that has stopped.
static constexpr auto wait_step = std::chrono::milliseconds(50);

static bool stopping(const FrameQueue& queue)
{
    return queue.stopped || interrupted_by() != 0;
}

void queue_init(FrameQueue* queue, int count, std::size_t bytes)
{
    queue->slots.resize(static_cast<std::size_t>(count));
    for (FrameSlot& slot : queue->slots) {
        slot.rgba.resize(bytes);
        queue->free_slots.push_back(&slot);
    }
}

FrameSlot* queue_free_slot(FrameQueue* queue, FrameWriter* self)
{
    for (;;) {
        {
            std::unique_lock<std::mutex> hold(queue->lock);
            while (queue->free_slots.empty() && !queue->failed && !stopping(*queue) &&
                   !(self && !queue->queued.empty())) {
                queue->changed.wait_for(hold, wait_step);
            }
            if (queue->failed || stopping(*queue)) {
                return nullptr;
            }
            if (!queue->free_slots.empty()) {
                FrameSlot* slot = queue->free_slots.back();
                queue->free_slots.pop_back();
                return slot;
            }
        }
        queue_write_next(queue, self, false);
    }
}

void queue_push(FrameQueue* queue, FrameSlot* slot, std::int32_t frame)
{
    {
        std::lock_guard<std::mutex> hold(queue->lock);
        slot->frame = frame;
        slot->sequence = queue->next_sequence++;
        queue->queued.push_back(slot);
    }
    queue->changed.notify_all();
}

void queue_end(FrameQueue* queue)
{
    {
        std::lock_guard<std::mutex> hold(queue->lock);
        queue->no_more = true;
    }
    queue->changed.notify_all();
}

// Under the lock: puts in place every finished frame whose predecessors are.
static void put_in_place(FrameQueue* queue)
{
    for (auto next = queue->finished.find(queue->next_in_place); next != queue->finished.end();
         next = queue->finished.find(queue->next_in_place)) {
        FrameQueue::Finished& entry = next->second;
        // Nothing after a frame that was not written appears: it would leave a gap.
        queue->broken = queue->broken || !entry.ok;
        std::string error;
        if (!queue->broken && output_commit(&entry.file, &error) == Outcome::ok) {
            queue->written += 1;
            queue->last_written = entry.frame;
        } else if (!queue->broken) {
            queue->broken = true;
            queue->failed = true;
            queue->error = error;
        }
        output_abandon(&entry.file);
        queue->finished.erase(next);
        queue->next_in_place += 1;
    }
}

bool queue_write_next(FrameQueue* queue, FrameWriter* writer, bool wait)
{
    FrameSlot* slot = nullptr;
    bool skip = false;
    {
        std::unique_lock<std::mutex> hold(queue->lock);
        while (wait && queue->queued.empty() && !queue->no_more && !stopping(*queue)) {
            queue->changed.wait_for(hold, wait_step);
        }
        if (queue->queued.empty() || stopping(*queue)) {
            return false;
        }
        slot = queue->queued.front();
        queue->queued.pop_front();
        skip = queue->failed;
    }
    OutputFile pending;
    std::string error;
    Outcome outcome = Outcome::ok;
    if (!skip) {
        try {
            outcome = writer->write(writer->context, *slot, &pending, &error);
        } catch (const std::bad_alloc&) {
            outcome = Outcome::failed;
            error = "out of memory";
        }
    }
    {
        std::lock_guard<std::mutex> hold(queue->lock);
        // A frame finished after an interrupt is dropped, never counted.
        const bool ok = !skip && outcome == Outcome::ok && !stopping(*queue);
        if (!ok) {
            output_abandon(&pending);
        }
        if (outcome == Outcome::failed && !queue->failed) {
            queue->failed = true;
            queue->error = error;
        }
        if (!queue->stopped) {
            queue->finished[slot->sequence] = {pending, slot->frame, ok};
            put_in_place(queue);
        }
        queue->free_slots.push_back(slot);
    }
    queue->changed.notify_all();
    return true;
}

std::int32_t queue_stop(FrameQueue* queue)
{
    std::lock_guard<std::mutex> hold(queue->lock);
    queue->stopped = true;
    for (auto& entry : queue->finished) {
        output_abandon(&entry.second.file);
    }
    queue->finished.clear();
    queue->changed.notify_all();
    return queue->last_written;
}
