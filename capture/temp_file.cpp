// temp_file.cpp -- temporaries made in a checked folder, and what a replacement keeps
#include "capture/temp_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <string>
#include <utility>

Outcome create_temporary(int dir, OutputFile* file)
{
    static std::atomic<std::uint32_t> counter{static_cast<std::uint32_t>(getpid()) * 2654435761u};
    std::string name = ".quorvex-capture.XXXXXXXX";
    int fd = -1;
    for (int tries = 0; fd < 0 && tries < 100; ++tries) {
        std::snprintf(name.data() + name.size() - 8, 9, "%08x", counter.fetch_add(0x9e3779b9u));
        fd = openat(dir, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) {
            break;
        }
    }
    if (fd < 0) {
        return Outcome::failed;
    }
    file->fd = fd;
    file->temp_name = std::move(name);
    return Outcome::ok;
}

void take_over_attributes(int fd, const struct stat& old)
{
    bool owner_kept = fchown(fd, old.st_uid, old.st_gid) == 0;
    if (!owner_kept) {
        fchown(fd, static_cast<uid_t>(-1), old.st_gid);
    }
    fchmod(fd, old.st_mode & (owner_kept ? 07777 : 0777));
}
