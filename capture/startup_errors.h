// startup_errors.h -- the demo's message boxes, kept for quorvex-capture's own one-line error
#pragma once

#include <string>

// What the first message box of the demo's start-up said, and the platform's
// reason for the failure as it stood then (later teardown steps overwrite it).
struct StartupError {
    bool raised = false;
    std::string text;      // the box text, as the demo shows it
    std::string reason;    // platform_last_error() at the box; may be empty
};

// The first box raised since the process began; `raised` is false while none
// has been. The capture links its own platform_message_box, which shows
// nothing and records here instead.
const StartupError& first_startup_error();
