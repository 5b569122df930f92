// main.cpp -- quorvex-capture's entry point: the command line, then the capture
#include <cstdio>
#include <string>

#include "capture/capture_args.h"
#include "capture/capture_run.h"

// --help and --version go to standard output; a failed write there (a full disk,
// a closed pipe) is an error like any other.
static int print_to_stdout(const std::string& text)
{
    if (std::fputs(text.c_str(), stdout) < 0 || std::fflush(stdout) != 0) {
        std::fprintf(stderr, "quorvex-capture: cannot write to standard output\n");
        return 1;
    }
    return 0;
}

int main(int argc, char** argv)
{
    CaptureOptions options;
    std::string error;
    switch (parse_capture_args(argc, argv, &options, &error)) {
    case args_help:
        return print_to_stdout(capture_usage());
    case args_version:
        return print_to_stdout("quorvex-capture " QUORVEX_VERSION "\n");
    case args_error:
        std::fprintf(stderr, "quorvex-capture: %s\n", error.c_str());
        return 2;
    case args_run:
        break;
    }
    // A plain return, not the platform's exit: that shuts SDL down and unloads
    // the GL driver, whose leftovers would then look like this program's leaks,
    // and an offscreen surface has no display mode to hand back.
    return run_capture(options);
}
