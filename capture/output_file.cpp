// output_file.cpp -- files that appear only when complete, and checked writes
#include "capture/output_file.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>
#include <utility>

#include "capture/output_path.h"
#include "capture/signals.h"
#include "capture/temp_file.h"

std::string failure(const char* what, const std::string& path)
{
    const int code = errno;
    return std::string(what) + " '" + path + "': " + std::strerror(code);
}

static std::string directory_of(const std::string& path)
{
    const std::string parent = std::filesystem::path(path).parent_path().string();
    return parent.empty() ? "." : parent;
}

static void close_if_open(int* fd)
{
    if (*fd >= 0) {
        close(std::exchange(*fd, -1));
    }
}

// The message for a failed open, write or close, from errno.
static std::string write_failure(const OutputFile& file)
{
    const int code = errno;
    return file.is_stdout ? "cannot write to standard output: " + std::string(std::strerror(code))
                          : failure("cannot write", file.path);
}

// The file's descriptor from now on. One this process was given ("-",
// /dev/stdout) is not `owned`: never closed or renamed, refused if read-only.
static Outcome take_descriptor(int fd, bool owned, OutputFile* file, std::string* error)
{
    struct stat found {};
    const int flags = fcntl(fd, F_GETFL);
    if (!owned && (flags < 0 || (flags & O_ACCMODE) == O_RDONLY)) {
        errno = EBADF;
        *error = write_failure(*file);
        return Outcome::failed;
    }
    fstat(fd, &found);
    file->fd = fd;
    file->owned = owned;
    file->regular = S_ISREG(found.st_mode);
    return Outcome::ok;
}

// A device, a FIFO or another process's descriptor, written in place. A FIFO's
// open blocks until a reader comes; a non-blocking one, retried, gives way to
// an interrupt instead.
static Outcome open_in_place(const ResolvedPath& where, bool fifo, OutputFile* file, std::string* error)
{
    const int follow = where.through_proc ? 0 : O_NOFOLLOW;
    for (;;) {
        int fd = openat(where.dir, where.name.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | follow);
        if (fd >= 0) {
            fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
            return take_descriptor(fd, true, file, error);
        }
        if ((errno == ENXIO && fifo) || errno == EINTR) {
            if (interrupted_by() != 0) {
                return Outcome::interrupted;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(interrupt_poll_ms));
            continue;
        }
        *error = failure("cannot open", file->path);
        return Outcome::failed;
    }
}

// A regular file, or none yet: replaced through a temporary, or written in
// place when it has other names (a replacement would leave them on the old
// data). In place, the file opened must be the one checked.
static Outcome open_regular(const ResolvedPath& where, OutputFile* file, std::string* error)
{
    const struct stat& old = where.stat;
    const char* name = where.name.c_str();
    // Replacing a file is writing it: one this process may not write is refused.
    if (where.exists && faccessat(where.dir, name, W_OK, AT_EACCESS | AT_SYMLINK_NOFOLLOW) != 0) {
        *error = failure("cannot write", file->path);
        return Outcome::failed;
    }
    if (!(where.exists && old.st_nlink > 1)) {
        if (create_temporary(where.dir, file) == Outcome::ok) {
            if (where.exists) {
                take_over_attributes(file->fd, old);
            }
            file->owned = true;
            file->regular = true;
            return Outcome::ok;
        }
        *error = failure("cannot create a file in", directory_of(file->path));
        // The folder takes no new file, but the file itself may be writable.
        if (!where.exists) {
            return Outcome::failed;
        }
    }
    int fd = openat(where.dir, name, O_WRONLY | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
    struct stat opened {};
    if (fd >= 0 && (fstat(fd, &opened) != 0 || opened.st_dev != old.st_dev || opened.st_ino != old.st_ino)) {
        close_if_open(&fd);
        errno = EAGAIN;   // swapped since it was checked: nothing is truncated
    }
    if (fd < 0 || ftruncate(fd, 0) != 0) {
        *error = failure("cannot open", file->path);
        close_if_open(&fd);
        return Outcome::failed;
    }
    error->clear();
    file->empty_on_failure = true;
    return take_descriptor(fd, true, file, error);
}

Outcome output_open(int folder, const std::string& name, const std::string& shown, OutputFile* file,
                    std::string* error)
{
    *file = OutputFile{};
    file->path = shown;
    file->is_stdout = name == "-";
    ResolvedPath where;
    bool walked = false;
    if (file->is_stdout) {
        where.descriptor = STDOUT_FILENO;
    } else if (!resolve_path(folder, name, &where, &walked)) {
        *error = walked ? failure("cannot write", shown) : failure("cannot create a file in", directory_of(shown));
        close_if_open(&where.dir);
        return Outcome::failed;
    }
    file->dir = where.dir;
    file->name = where.name;
    const struct stat& old = where.stat;
    Outcome opened = Outcome::ok;
    if (where.descriptor >= 0) {
        opened = take_descriptor(where.descriptor, false, file, error);
    } else if (where.through_proc) {
        opened = open_in_place(where, false, file, error);
    } else if (where.exists && S_ISDIR(old.st_mode)) {
        errno = EISDIR;
        *error = failure("cannot write", shown);
        return Outcome::failed;
    } else if (where.exists && !S_ISREG(old.st_mode)) {
        // Renaming over a device or a FIFO would replace it; a socket refuses
        // the open (ENXIO): this process's own one is reached through /proc.
        opened = open_in_place(where, S_ISFIFO(old.st_mode), file, error);
    } else {
        return open_regular(where, file, error);
    }
    if (opened == Outcome::ok && isatty(file->fd)) {
        *error = file->is_stdout ? std::string("refusing to write a video stream to a terminal")
                                 : "refusing to write to the terminal '" + file->path + "'";
        output_abandon(file);
        return Outcome::failed;
    }
    return opened;
}

Outcome output_write(OutputFile* file, const void* data, std::size_t size, std::string* error)
{
    // A regular file takes large pieces. Anything else may be a pipe whose
    // reader has stopped: it is written a page at a time once it has room,
    // which never blocks.
    const std::size_t piece = file->regular ? std::size_t{1} << 18 : 4096;
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        if (interrupted_by() != 0) {
            return Outcome::interrupted;
        }
        if (!file->regular) {
            pollfd ready{file->fd, POLLOUT, 0};
            int polled = poll(&ready, 1, interrupt_poll_ms);
            if (polled == 0 || (polled < 0 && errno == EINTR)) {
                continue;
            }
        }
        ssize_t written = write(file->fd, bytes, std::min(size, piece));
        if (written < 0) {
            if (errno == EINTR || errno == EAGAIN) {
                continue;
            }
            *error = write_failure(*file);
            return Outcome::failed;
        }
        bytes += written;
        size -= static_cast<std::size_t>(written);
        file->written += static_cast<std::uint64_t>(written);
    }
    return Outcome::ok;
}

Outcome output_finish(OutputFile* file, std::string* error)
{
    // Some file systems report a full disk only at close, after which the
    // descriptor is gone: a file written in place is emptied by name.
    if (file->owned && file->fd >= 0 && close(std::exchange(file->fd, -1)) != 0) {
        *error = write_failure(*file);
        if (file->empty_on_failure) {
            file->fd = openat(file->dir, file->name.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
        }
        output_abandon(file);
        return Outcome::failed;
    }
    file->fd = -1;
    if (!file->temp_name.empty() &&
        renameat(file->dir, file->temp_name.c_str(), file->dir, file->name.c_str()) != 0) {
        *error = failure("cannot write", file->path);
        output_abandon(file);
        return Outcome::failed;
    }
    file->temp_name.clear();
    file->empty_on_failure = false;
    close_if_open(&file->dir);
    return Outcome::ok;
}

void output_abandon(OutputFile* file)
{
    if (file->fd >= 0) {
        // What was there is gone already; a part of the new data would pass
        // for a whole file.
        if (file->empty_on_failure) {
            ftruncate(file->fd, 0);
        }
        if (file->owned) {
            close(file->fd);
        }
        file->fd = -1;
    }
    if (!file->temp_name.empty()) {
        unlinkat(file->dir, file->temp_name.c_str(), 0);
        file->temp_name.clear();
    }
    close_if_open(&file->dir);
}

bool same_as_standard_error(int fd)
{
    struct stat stream {};
    struct stat errors {};
    return fd >= 0 && fstat(fd, &stream) == 0 && fstat(STDERR_FILENO, &errors) == 0 &&
           stream.st_dev == errors.st_dev && stream.st_ino == errors.st_ino;
}
