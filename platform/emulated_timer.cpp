// emulated_timer.cpp -- a queue-driven one-second timer for platforms without one
#include "platform/emulated_timer.h"

void emulated_timer_start(EmulatedTimer* timer, unsigned id, unsigned period_ms,
                          std::uint64_t now_ms)
{
    timer->running = true;
    timer->id = id;
    timer->period_ms = period_ms;
    timer->last_ms = now_ms;
    timer->held = false;
}

bool emulated_timer_take(EmulatedTimer* timer, std::uint64_t now_ms)
{
    if (!timer->running || timer->held || now_ms < timer->last_ms + timer->period_ms) {
        return false;
    }
    timer->last_ms = now_ms;
    return true;
}

void emulated_timer_hold(EmulatedTimer* timer, std::uint64_t now_ms)
{
    if (!timer->held) {
        timer->held = true;
        timer->held_since_ms = now_ms;
    }
}

void emulated_timer_release(EmulatedTimer* timer, std::uint64_t now_ms)
{
    if (timer->held) {
        timer->held = false;
        timer->last_ms += now_ms - timer->held_since_ms;
    }
}
