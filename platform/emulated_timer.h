// emulated_timer.h -- a queue-driven one-second timer for platforms without one
//
// Behaves as a native window timer does: the message is low priority (produced
// only when nothing else is queued), due once at least one period has passed
// since the last delivery, and never more than one is pending however long the
// queue stays busy. The clock is passed in, so tests can drive it.
#pragma once

#include <cstdint>

struct EmulatedTimer {
    bool running;
    unsigned id;
    unsigned period_ms;
    std::uint64_t last_ms;  // when the last message was delivered (or the timer started)
    bool held;              // nothing is being drawn: the time to the next message stands still
    std::uint64_t held_since_ms;
};

// Starts (or restarts) the timer at `now_ms`.
void emulated_timer_start(EmulatedTimer* timer, unsigned id, unsigned period_ms,
                          std::uint64_t now_ms);

// Called when the queue is empty: true when a timer message is due at `now_ms`,
// in which case it counts as delivered.
bool emulated_timer_take(EmulatedTimer* timer, std::uint64_t now_ms);

// Holds the timer while nothing is drawn (a minimised window, a hidden page) and
// lets it go on again, the time held added to the last delivery: the first
// rate after a window comes back counts a second of drawing, not the few
// frames before it went. Each is a no-op when repeated.
void emulated_timer_hold(EmulatedTimer* timer, std::uint64_t now_ms);
void emulated_timer_release(EmulatedTimer* timer, std::uint64_t now_ms);
