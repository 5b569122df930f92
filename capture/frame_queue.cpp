// frame_queue.cpp -- frames waiting for the one writer, put in place in order
#include "capture/frame_queue.h"

#include <chrono>
#include <new>

#include "capture/signals.h"

static constexpr auto wait_step = std::chrono::milliseconds(interrupt_poll_ms);

void queue_init(FrameQueue* queue, int count, std::size_t bytes)
{
    queue->slots.resize(static_cast<std::size_t>(count));
    for (FrameSlot& slot : queue->slots) {
        slot.rgba.resize(bytes);
        queue->free_slots.push_back(&slot);
    }
}

FrameSlot* queue_free_slot(FrameQueue* queue)
{
    std::unique_lock<std::mutex> hold(queue->lock);
    while (queue->free_slots.empty() && !queue->failed && interrupted_by() == 0) {
        queue->changed.wait_for(hold, wait_step);
    }
    if (queue->failed || interrupted_by() != 0) {
        return nullptr;
    }
    FrameSlot* slot = queue->free_slots.back();
    queue->free_slots.pop_back();
    return slot;
}

void queue_push(FrameQueue* queue, FrameSlot* slot, std::int32_t frame)
{
    {
        std::lock_guard<std::mutex> hold(queue->lock);
        slot->frame = frame;
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

void queue_write_all(FrameQueue* queue, const FrameWriter& write)
{
    for (;;) {
        FrameSlot* slot = nullptr;
        bool skip = false;
        {
            std::unique_lock<std::mutex> hold(queue->lock);
            while (queue->queued.empty() && !queue->no_more && interrupted_by() == 0) {
                queue->changed.wait_for(hold, wait_step);
            }
            if (queue->queued.empty() || interrupted_by() != 0) {
                return;
            }
            slot = queue->queued.front();
            queue->queued.pop_front();
            skip = queue->failed;
        }
        std::string error;
        Outcome outcome = Outcome::interrupted;
        try {
            outcome = skip ? outcome : write(*slot, &error);
        } catch (const std::bad_alloc&) {
            outcome = Outcome::failed;
            error = "out of memory";
        }
        {
            std::lock_guard<std::mutex> hold(queue->lock);
            if (outcome == Outcome::ok) {
                queue->written += 1;
                queue->last_written = slot->frame;
            } else if (outcome == Outcome::failed && !queue->failed) {
                queue->failed = true;
                queue->error = error;
            }
            queue->free_slots.push_back(slot);
        }
        queue->changed.notify_all();
    }
}
