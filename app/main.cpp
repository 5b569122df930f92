// main.cpp -- the entry point: the options, start-up, then frames until the demo is ended
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/frame_loop.h"
#include "app/run_options.h"
#include "platform/platform.h"

int main(int argc, char** argv)
{
    RunOptions options;
    std::string error;
    if (!parse_run_options(argc, argv, std::getenv("XSCREENSAVER_WINDOW"), options, error)) {
        platform_report_bad_input(("quorvex: " + error + "\nTry 'quorvex --help'.\n").c_str());
        return 2;
    }
    if (options.host == Host::help) {
        std::fputs(run_options_usage, stdout);
        return 0;
    }
    if (options.host == Host::settings) {
        platform_message_box("Quorvex has no settings.", "Quorvex");
        return 0;
    }
    start_up(options);
    run_frame_loop();
}
