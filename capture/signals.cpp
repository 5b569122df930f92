// signals.cpp -- the interrupt flag, its handler, the GL driver's crash report, the death by a signal
#include "capture/signals.h"

#include <dirent.h>
#include <sched.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/uio.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "platform/posix_process.h"

// Set from a signal handler and read by every thread: it must be lock-free to
// be touched from a handler at all.
static std::atomic<int> first_signal{0};
static_assert(std::atomic<int>::is_always_lock_free);
static std::atomic<bool> deferred{false};   // see defer_interrupts
static_assert(std::atomic<bool>::is_always_lock_free);

static void on_interrupt(int signal_number)
{
    if (!deferred.load()) {
        // The signal is blocked while its handler runs: raised again with its
        // default action, it ends the process as the handler returns.
        signal(signal_number, SIG_DFL);
        raise(signal_number);
        return;
    }
    // The first signal wins: the death at the end is by the signal that asked.
    int none = 0;
    first_signal.compare_exchange_strong(none, signal_number);
}

void defer_interrupts()
{
    deferred.store(true);
}

void install_interrupt_handlers()
{
    // EINTR cannot be relied on (see interrupted_by), so library calls may restart.
    struct sigaction action {};
    action.sa_handler = on_interrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction inherited {};
        if (sigaction(signal_number, nullptr, &inherited) == 0 && inherited.sa_handler == SIG_IGN) {
            continue;
        }
        sigaction(signal_number, &action, nullptr);
    }
    signal(SIGPIPE, SIG_IGN);
    signal(SIGXFSZ, SIG_IGN);
}

static const int crash_signals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT};
static struct sigaction crash_dispositions[std::size(crash_signals)];

static void on_driver_crash(int signal_number)
{
    // Only async-signal-safe calls: the heap may be what failed.
    static const char start[] = "quorvex-capture: cannot create an OpenGL context: the GL driver crashed (";
    const char* name = sigdescr_np(signal_number);
    const iovec parts[] = {{const_cast<char*>(start), sizeof start - 1},
                           {const_cast<char*>(name), std::strlen(name)}, {const_cast<char*>(")\n"), 2}};
    writev(STDERR_FILENO, parts, 3);
    _exit(1);
}

void report_driver_crashes(bool on)
{
    for (std::size_t i = 0; i < std::size(crash_signals); ++i) {
        if (on) {
            struct sigaction action {};
            action.sa_handler = on_driver_crash;
            sigemptyset(&action.sa_mask);
            sigaction(crash_signals[i], &action, &crash_dispositions[i]);
        } else {
            sigaction(crash_signals[i], &crash_dispositions[i], nullptr);
        }
    }
}

int interrupted_by()
{
    return first_signal.load();
}

// A process is gone, and its parent told, only once every thread has ended.
// The GL driver's shader-cache thread runs at nice 19 and may wait seconds for
// a turn beside busy cores; back at normal priority it ends at once. Without
// the privilege to raise a priority the calls change nothing.
void die_by_signal(int signal_number)
{
    if (DIR* tasks = opendir("/proc/self/task")) {
        while (const dirent* entry = readdir(tasks)) {
            const pid_t thread = static_cast<pid_t>(std::atoi(entry->d_name));
            sched_param normal{};
            if (thread > 0) {
                sched_setscheduler(thread, SCHED_OTHER, &normal);
                setpriority(PRIO_PROCESS, static_cast<id_t>(thread), 0);
            }
        }
        closedir(tasks);
    }
    end_by_signal(signal_number);
}
