// fake_platform.h -- a scripted platform for unit tests: records every call, fails on demand
#pragma once

#include <deque>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"

struct FakePlatform {
    std::vector<std::string> calls;   // every platform call, in order, with its arguments
    std::set<std::string> fail;       // steps to fail, by the name they are recorded under
    int display_result = display_change_successful;
    std::deque<Message> queue;        // what platform_peek_message hands out, front first
    WindowProcedure procedure = nullptr;
    std::string title;
    int cursor_hidden = 0;            // ShowCursor-style counter: hides minus shows
    std::string last_error;           // "<step> refused" after each failed step
};

extern FakePlatform fake;

// A fresh fake: no calls, nothing failing, an empty queue.
void fake_reset();

// The recorded calls that start with `prefix`, in order.
std::vector<std::string> fake_calls_starting(const std::string& prefix);

// The fake window handle the fake hands out.
PlatformWindow* fake_window();
