// message_box.h -- the capture's message box: keeps the demo's boxes for a one-line error
#pragma once

#include <optional>
#include <string>

// The text of the first box the demo's start-up raised, as the demo shows it
// (the capture's own platform_message_box shows nothing and keeps it here).
// The platform's reason for a failed window is window_failure_reason().
const std::optional<std::string>& first_startup_box();
