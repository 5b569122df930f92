// progress.cpp -- the capture's progress line and closing summary
#include "capture/progress.h"

#include <cstdio>

std::string format_duration(double seconds)
{
    long total = seconds > 0.0 ? static_cast<long>(seconds + 0.5) : 0;
    char text[32];
    if (total >= 3600) {
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", total / 3600, total / 60 % 60,
                      total % 60);
    } else {
        std::snprintf(text, sizeof text, "%ld:%02ld", total / 60, total % 60);
    }
    return text;
}

std::string format_progress(std::int32_t done, std::int32_t total, double elapsed_seconds)
{
    constexpr int bar_width = 30;
    int filled = total > 0 ? static_cast<int>(static_cast<std::int64_t>(done) * bar_width / total) : 0;
    std::string bar(bar_width + 2, ' ');
    bar.front() = '[';
    bar.replace(1, static_cast<std::size_t>(filled), static_cast<std::size_t>(filled), '#');
    bar.back() = ']';

    char numbers[96];
    if (elapsed_seconds > 0.0 && done > 0) {
        double rate = done / elapsed_seconds;
        std::snprintf(numbers, sizeof numbers, " %d/%d frames  %.1f fps  %s left", done, total, rate,
                      format_duration((total - done) / rate).c_str());
    } else {
        std::snprintf(numbers, sizeof numbers, " %d/%d frames  -- fps  -- left", done, total);
    }
    bar += numbers;
    return bar;
}

std::string format_summary(std::int32_t rendered, std::int32_t written,
                           const std::string& destination, double elapsed_seconds)
{
    char text[160];
    double rate = elapsed_seconds > 0.0 ? rendered / elapsed_seconds : 0.0;
    std::snprintf(text, sizeof text, "%d frame%s rendered in %.1f s (%.1f fps), ", rendered,
                  rendered == 1 ? "" : "s", elapsed_seconds, rate);
    const std::string summary = text;
    return written == 0 ? summary + "none written"
                        : summary + std::to_string(written) + " written to " + destination;
}
