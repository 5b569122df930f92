// frame_queue.cpp -- frames waiting for the one writer, put in place in order
#include "capture/frame_queue.h"

#include <chrono>
#include <new>

#include "capture/signals.h"

static constexpr auto wait_step = std::chrono::milliseconds(interrupt_poll_ms);

void queue_init(FrameQueue* queue, int count, std::size_t bytes)
{
    queue->slots.assign(static_cast<std::size_t>(count), FrameSlot{std::vector<std::uint8_t>(bytes), 0});
}

FrameSlot* queue_free_slot(FrameQueue* queue)
{
    std::unique_lock<std::mutex> hold(queue->lock);
    while (queue->queued - queue->done == queue->slots.size() && !queue->failed && interrupted_by() == 0) {
        queue->changed.wait_for(hold, wait_step);
    }
    const bool stop = queue->failed || interrupted_by() != 0;
    return stop ? nullptr : &queue->slots[queue->queued % queue->slots.size()];
}

void queue_push(FrameQueue* queue, std::int32_t frame)
{
    {
        std::lock_guard<std::mutex> hold(queue->lock);
        queue->slots[queue->queued % queue->slots.size()].frame = frame;
        queue->queued += 1;
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
            while (queue->done == queue->queued && !queue->no_more && interrupted_by() == 0) {
                queue->changed.wait_for(hold, wait_step);
            }
            if (queue->done == queue->queued || interrupted_by() != 0) {
                return;
            }
            slot = &queue->slots[queue->done % queue->slots.size()];
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
            queue->done += 1;
        }
        queue->changed.notify_all();
    }
}
