// main.cpp -- quorvex-capture's entry point: the command line, then the capture
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <new>
#include <string>

#include "capture/capture_args.h"
#include "capture/capture_run.h"
#include "capture/output_path.h"
#include "capture/signals.h"
#include "platform/posix_process.h"

// Standard output was closed when the process started: what goes there is lost.
static bool stdout_was_closed = false;

static int stdout_failed(int code)
{
    std::fprintf(stderr, "quorvex-capture: cannot write to standard output: %s\n", std::strerror(code));
    return 1;
}

// --help and --version: a failed write (a full disk, a closed pipe) is an error.
static int print_to_stdout(const std::string& text)
{
    if (stdout_was_closed) {
        return stdout_failed(EBADF);
    }
    return std::fputs(text.c_str(), stdout) < 0 || std::fflush(stdout) != 0 ? stdout_failed(errno) : 0;
}

static int run(int argc, char** argv)
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
    // /dev/null stands in for a closed standard output only to keep other
    // files off its number: a stream asked for there would go nowhere.
    if (options.output == capture_output_y4m && options.y4m_path == "-" && stdout_was_closed) {
        return stdout_failed(EBADF);
    }
    // A plain return, not the platform's exit: that unloads the GL driver, whose
    // leftovers would then look like this program's leaks.
    install_interrupt_handlers();
    return run_capture(options);
}

int main(int argc, char** argv)
{
    stdout_was_closed = fcntl(STDOUT_FILENO, F_GETFD) < 0;
    fill_closed_standard_descriptors();
    // What deeper code does not catch still ends with one line and status 1.
    try {
        return run(argc, argv);
    } catch (const std::exception& error) {
        remove_created_dirs();
        const bool memory = dynamic_cast<const std::bad_alloc*>(&error) != nullptr;
        std::fprintf(stderr, "quorvex-capture: %s\n", memory ? "out of memory" : error.what());
    }
    return 1;
}
