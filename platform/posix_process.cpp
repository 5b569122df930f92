// posix_process.cpp -- closed standard descriptors filled with /dev/null; death by a signal
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include "platform/posix_process.h"

void fill_closed_standard_descriptors()
{
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (fcntl(fd, F_GETFD) >= 0) {
            continue;
        }
        int null = open("/dev/null", O_RDWR);
        if (null < 0) {
            // Without /dev/null nothing that follows can be trusted with output.
            _exit(1);
        }
        if (null != fd) {
            dup2(null, fd);
            close(null);
        }
    }
}

void end_by_signal(int signal_number)
{
    signal(signal_number, SIG_DFL);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signal_number);
    pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
    raise(signal_number);
    _exit(128 + signal_number);
}
