// progress.h -- the capture's progress line and closing summary
#pragma once

#include <cstdint>
#include <string>

// A duration as "M:SS", or "H:MM:SS" from an hour on; negative counts as 0.
std::string format_duration(double seconds);

// The progress line: a bar, frames done of `total`, the rate so far and the time
// left at that rate, e.g. "[#####     ]  341/682 frames  31.2 fps  0:11 left".
// Before any time has passed the rate and time left show as "--".
std::string format_progress(std::int32_t done, std::int32_t total, double elapsed_seconds);

// The closing line: frames rendered and written, where to, time taken and rate.
std::string format_summary(std::int32_t rendered, std::int32_t written,
                           const std::string& destination, double elapsed_seconds);
