// standard_descriptors.cpp -- closed standard descriptors filled with /dev/null before anything opens a file
#include <fcntl.h>
#include <unistd.h>

#include "platform/standard_descriptors.h"

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
