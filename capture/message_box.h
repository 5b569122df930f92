// message_box.h -- the capture's message box: keeps the demo's boxes for a one-line error
#pragma once

#include <string>

// What the first message box of the demo's start-up said. The platform's reason
// for a failed window is window_failure_reason(), kept by the window layer.
struct StartupError {
    bool raised = false;
    std::string text;      // the box text, as the demo shows it
};

// The first box raised since the process began (the capture's own
// platform_message_box shows nothing and records here).
const StartupError& first_startup_error();
