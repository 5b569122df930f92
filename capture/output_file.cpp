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
#include <mutex>
#include <thread>
#include <vector>

#include "capture/signals.h"

namespace fs = std::filesystem;

// "<what> '<path>': <reason>", with the reason taken from errno.
static std::string failure(const char* what, const std::string& path)
{
    int code = errno;
    return std::string(what) + " '" + path + "': " + std::strerror(code);
}

static std::string directory_of(const std::string& path)
{
    fs::path parent = fs::path(path).parent_path();
    return parent.empty() ? "." : parent.string();
}

// How long a wait goes before it looks at the interrupt flag again.
static constexpr int poll_ms = 50;

// The umask, read before any thread starts (reading it means setting it).
static const mode_t process_umask = [] {
    mode_t mask = umask(022);
    umask(mask);
    return mask;
}();

// Temporaries on disk, for an interrupt to remove from the main thread. Each is
// entered before it is created, so none can appear unseen.
namespace {
struct Temporary {
    std::uint64_t id;
    std::string path;   // empty while its creation is in flight
    bool settled;       // created (path set) or given up
};
}  // namespace

static struct {
    std::mutex lock;
    std::vector<Temporary> list;
    std::uint64_t next_id = 1;
    bool closed = false;   // interrupted: no new temporary
} temporaries;

static void settle_temporary(std::uint64_t id, const std::string& path)
{
    std::lock_guard<std::mutex> hold(temporaries.lock);
    for (Temporary& entry : temporaries.list) {
        if (entry.id == id) {
            entry.path = path;
            entry.settled = true;
        }
    }
}

static void forget_temporary(std::uint64_t id)
{
    std::lock_guard<std::mutex> hold(temporaries.lock);
    std::erase_if(temporaries.list, [id](const Temporary& entry) { return entry.id == id; });
}

void remove_all_temporaries()
{
    // A creation in flight may land after a first pass: look again until every
    // entry has settled, but not for long (busy cores may leave it no time).
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
    for (;;) {
        bool in_flight = false;
        {
            std::lock_guard<std::mutex> hold(temporaries.lock);
            temporaries.closed = true;
            for (const Temporary& entry : temporaries.list) {
                if (!entry.path.empty()) {
                    unlink(entry.path.c_str());
                }
                in_flight = in_flight || !entry.settled;
            }
        }
        if (!in_flight || std::chrono::steady_clock::now() > give_up) {
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

// Creates a new temporary in `dir` with mkostemp, gives it mode 0666 less the
// umask, and enters it. `interrupted` once remove_all_temporaries has run.
static Outcome create_temporary(const std::string& dir, OutputFile* file)
{
    // Everything that allocates comes before the file exists.
    std::string pattern = dir + "/.quorvex-capture.XXXXXX";
    std::uint64_t id = 0;
    {
        std::lock_guard<std::mutex> hold(temporaries.lock);
        if (temporaries.closed) {
            return Outcome::interrupted;
        }
        id = temporaries.next_id++;
        temporaries.list.push_back(Temporary{id, std::string(), false});
        temporaries.list.back().path.reserve(pattern.size());
    }
    int fd = mkostemp(pattern.data(), O_CLOEXEC);
    int code = errno;
    if (fd < 0) {
        forget_temporary(id);
        errno = code;
        return Outcome::failed;
    }
    // From here on nothing allocates: the entry's room was reserved above.
    settle_temporary(id, pattern);
    fchmod(fd, 0666 & ~process_umask);
    file->fd = fd;
    file->temp_path.swap(pattern);
    file->temp_id = id;
    return Outcome::ok;
}

// A replacement gets the old file's mode, owner and group where this process
// may give them; set-id bits only when the owner is kept.
static void take_over_attributes(int fd, const struct stat& old)
{
    bool owner_kept = fchown(fd, old.st_uid, old.st_gid) == 0;
    if (!owner_kept) {
        fchown(fd, static_cast<uid_t>(-1), old.st_gid);
    }
    fchmod(fd, old.st_mode & (owner_kept ? 07777 : 0777));
}

// The descriptor `link` stands for when it is a link on /proc into this
// process's descriptor table (/dev/stdout, /dev/fd/N, /proc/self/fd/N); -1 if not.
static int own_descriptor(const std::string& link)
{
    const std::string name = fs::path(link).filename().string();
    if (name.empty() || name.size() > 9 ||
        !std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return -1;
    }
    struct stat own_table {};
    struct stat table {};
    if (stat("/proc/self/fd", &own_table) != 0 || stat(directory_of(link).c_str(), &table) != 0 ||
        own_table.st_dev != table.st_dev || own_table.st_ino != table.st_ino) {
        return -1;
    }
    return std::stoi(name);
}

static bool on_proc(const struct stat& found)
{
    static const dev_t proc_device = [] {
        struct stat proc {};
        return stat("/proc", &proc) == 0 ? proc.st_dev : static_cast<dev_t>(-1);
    }();
    return found.st_dev == proc_device;
}

// Whether the kernel follows the link `link_stat` in `dir` for this process: in
// a sticky folder others may write to, only a link owned by this process's user
// or the folder's owner, so a link planted there cannot redirect our output.
static bool may_follow(const std::string& dir, const struct stat& link_stat)
{
    struct stat folder {};
    if (stat(dir.c_str(), &folder) != 0) {
        return false;
    }
    const bool shared_sticky = (folder.st_mode & S_ISVTX) && (folder.st_mode & S_IWOTH);
    return !shared_sticky || link_stat.st_uid == geteuid() || link_stat.st_uid == folder.st_uid;
}

// Where a name leads once its symbolic links are followed.
namespace {
struct Destination {
    std::string path;        // the last name on the way
    bool exists = false;
    struct stat stat {};     // of what `path` names, when it exists
    int descriptor = -1;     // this process's own descriptor, when it names one
    bool through_proc = false;  // another process's descriptor: open it as it is
};
}  // namespace

static bool follow_links(const std::string& given, Destination* out, std::string* error)
{
    std::string path = given;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat found {};
        out->path = path;
        if (lstat(path.c_str(), &found) != 0) {
            if (errno == ENOENT) {
                return true;
            }
            *error = failure("cannot write", given);
            return false;
        }
        if (!S_ISLNK(found.st_mode)) {
            out->exists = true;
            out->stat = found;
            return true;
        }
        out->descriptor = on_proc(found) ? own_descriptor(path) : -1;
        if (out->descriptor >= 0) {
            return true;
        }
        if (!may_follow(directory_of(path), found)) {
            errno = EACCES;
            *error = failure("cannot write", given);
            return false;
        }
        std::error_code code;
        const fs::path next = fs::read_symlink(path, code);
        if (code || next.empty()) {
            errno = code ? code.value() : ENOENT;
            *error = failure("cannot write", given);
            return false;
        }
        if (next.is_relative() && on_proc(found)) {
            // A descriptor of another process ("pipe:[...]" and the like are
            // not paths): only opening the link itself reaches it.
            out->through_proc = true;
            return true;
        }
        path = next.is_absolute() ? next.string() : (fs::path(directory_of(path)) / next).string();
    }
    errno = ELOOP;
    *error = failure("cannot write", given);
    return false;
}

// The message for a failed open, write or close, from errno.
static std::string write_failure(const OutputFile& file)
{
    if (file.is_stdout) {
        int code = errno;
        return std::string("cannot write to standard output: ") + std::strerror(code);
    }
    return failure("cannot write", file.path);
}

static Outcome take_descriptor(int fd, bool owned, OutputFile* file)
{
    struct stat found {};
    fstat(fd, &found);
    file->fd = fd;
    file->owned = owned;
    file->regular = S_ISREG(found.st_mode);
    return Outcome::ok;
}

// A descriptor this process was given, written as "-" is: not closed, not renamed.
static Outcome use_descriptor(int fd, OutputFile* file, std::string* error)
{
    int flags = fcntl(fd, F_GETFL);
    if (flags < 0 || (flags & O_ACCMODE) == O_RDONLY) {
        errno = EBADF;
        *error = write_failure(*file);
        return Outcome::failed;
    }
    return take_descriptor(fd, false, file);
}

// A device, a FIFO or another process's descriptor, written in place. A FIFO's
// open blocks until a reader comes; a non-blocking one, retried, gives way to
// an interrupt instead.
static Outcome open_in_place(const std::string& path, bool fifo, OutputFile* file, std::string* error)
{
    for (;;) {
        int fd = open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd >= 0) {
            fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
            return take_descriptor(fd, true, file);
        }
        if ((errno == ENXIO && fifo) || errno == EINTR) {
            if (interrupted_by() != 0) {
                return Outcome::interrupted;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(poll_ms));
            continue;
        }
        *error = failure("cannot open", file->path);
        return Outcome::failed;
    }
}

// A socket cannot be opened by name, but one of this process's descriptors, of
// any number, may be that socket (standard output under a service manager).
static int descriptor_for_socket(const struct stat& socket)
{
    std::error_code code;
    for (const fs::directory_entry& entry : fs::directory_iterator("/proc/self/fd", code)) {
        const std::string name = entry.path().filename().string();
        const int fd = std::atoi(name.c_str());
        struct stat found {};
        if (fstat(fd, &found) == 0 && found.st_dev == socket.st_dev && found.st_ino == socket.st_ino) {
            return fd;
        }
    }
    return -1;
}

static Outcome refuse_terminal(OutputFile* file, std::string* error)
{
    if (!isatty(file->fd)) {
        return Outcome::ok;
    }
    *error = file->is_stdout ? std::string("refusing to write a video stream to a terminal")
                             : "refusing to write to the terminal '" + file->path + "'";
    if (file->owned) {
        close(file->fd);
    }
    file->fd = -1;
    return Outcome::failed;
}

// A regular file, or none yet: replaced through a temporary, or written in
// place when it has other names (a replacement would leave them on the old data).
static Outcome open_regular(const Destination& destination, OutputFile* file, std::string* error)
{
    const struct stat& old = destination.stat;
    // Replacing a file is writing it: one this process may not write is refused.
    if (destination.exists && faccessat(AT_FDCWD, destination.path.c_str(), W_OK, AT_EACCESS) != 0) {
        *error = failure("cannot write", file->path);
        return Outcome::failed;
    }
    if (!(destination.exists && old.st_nlink > 1)) {
        const std::string dir = directory_of(destination.path);
        Outcome created = create_temporary(dir, file);
        if (created == Outcome::ok && destination.exists) {
            take_over_attributes(file->fd, old);
        }
        if (created != Outcome::failed) {
            file->owned = created == Outcome::ok;
            file->regular = true;
            return created;
        }
        *error = failure("cannot create a file in", dir);
        // The folder takes no new file, but the file itself may be writable.
        if (!destination.exists) {
            return Outcome::failed;
        }
    }
    int fd = open(destination.path.c_str(), O_WRONLY | O_TRUNC | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        if (error->empty()) {
            *error = failure("cannot open", file->path);
        }
        return Outcome::failed;
    }
    error->clear();
    file->empty_on_failure = true;
    return take_descriptor(fd, true, file);
}

Outcome output_open(const std::string& path, OutputFile* file, std::string* error)
{
    *file = OutputFile{};
    file->path = path;
    file->is_stdout = path == "-";
    Destination destination;
    if (file->is_stdout) {
        destination.descriptor = STDOUT_FILENO;
    } else if (!follow_links(path, &destination, error)) {
        return Outcome::failed;
    }
    file->final_path = destination.path;
    const struct stat& old = destination.stat;
    Outcome opened = Outcome::ok;
    if (destination.descriptor >= 0) {
        opened = use_descriptor(destination.descriptor, file, error);
    } else if (destination.through_proc) {
        opened = open_in_place(destination.path, false, file, error);
    } else if (destination.exists && S_ISDIR(old.st_mode)) {
        errno = EISDIR;
        *error = failure("cannot write", path);
        return Outcome::failed;
    } else if (destination.exists && S_ISSOCK(old.st_mode)) {
        int fd = descriptor_for_socket(old);
        if (fd < 0) {
            errno = ENXIO;
            *error = failure("cannot open", path);
            return Outcome::failed;
        }
        return use_descriptor(fd, file, error);
    } else if (destination.exists && !S_ISREG(old.st_mode)) {
        // Renaming over a device or a FIFO would replace it.
        opened = open_in_place(destination.path, S_ISFIFO(old.st_mode), file, error);
    } else {
        return open_regular(destination, file, error);
    }
    return opened == Outcome::ok ? refuse_terminal(file, error) : opened;
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
            int polled = poll(&ready, 1, poll_ms);
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

Outcome output_close(OutputFile* file, std::string* error)
{
    if (file->fd < 0 || !file->owned) {
        file->fd = -1;
        return Outcome::ok;
    }
    // Some file systems report a full disk only at close, after which the
    // descriptor is gone: a file written in place is emptied by name.
    const int fd = file->fd;
    file->fd = -1;
    if (close(fd) != 0) {
        *error = write_failure(*file);
        if (file->empty_on_failure) {
            truncate(file->final_path.c_str(), 0);
            file->empty_on_failure = false;
        }
        output_abandon(file);
        return Outcome::failed;
    }
    return Outcome::ok;
}

Outcome output_commit(OutputFile* file, std::string* error)
{
    if (!file->temp_path.empty()) {
        if (rename(file->temp_path.c_str(), file->final_path.c_str()) != 0) {
            *error = failure("cannot write", file->path);
            output_abandon(file);
            return Outcome::failed;
        }
        forget_temporary(file->temp_id);
        file->temp_path.clear();
    }
    file->empty_on_failure = false;
    return Outcome::ok;
}

Outcome output_finish(OutputFile* file, std::string* error)
{
    Outcome closed = output_close(file, error);
    return closed == Outcome::ok ? output_commit(file, error) : closed;
}

void output_abandon(OutputFile* file)
{
    if (file->fd >= 0) {
        // What was there is gone already; a part of the new data would pass
        // for a whole file.
        if (file->empty_on_failure && ftruncate(file->fd, 0) != 0) {
            file->empty_on_failure = false;
        }
        if (file->owned) {
            close(file->fd);
        }
        file->fd = -1;
    }
    if (!file->temp_path.empty()) {
        unlink(file->temp_path.c_str());
        forget_temporary(file->temp_id);
        file->temp_path.clear();
    }
}

bool same_as_standard_error(int fd)
{
    struct stat stream {};
    struct stat errors {};
    return fd >= 0 && fstat(fd, &stream) == 0 && fstat(STDERR_FILENO, &errors) == 0 &&
           stream.st_dev == errors.st_dev && stream.st_ino == errors.st_ino;
}

// Folders prepare_output_dir made, deepest last.
static std::vector<std::string> created_dirs;

bool prepare_output_dir(const std::string& dir, const std::string& first_file, std::string* error)
{
    // Each folder made is remembered, so that a failure takes away exactly those.
    std::error_code code;
    fs::path made;
    for (const fs::path& part : fs::path(dir).lexically_normal()) {
        made /= part;
        if (part.empty() || fs::is_directory(made, code)) {
            continue;
        }
        if (!fs::create_directory(made, code)) {
            // What is there may itself be unreadable (a loop of links): say why.
            const int reason = code.value();
            const bool there = fs::exists(made, code);
            errno = there ? ENOTDIR : code ? code.value() : reason;
            *error = failure("cannot create output directory", dir);
            remove_created_dirs();
            return false;
        }
        created_dirs.push_back(made.string());
    }
    // Permission bits say little (root, read-only mounts), so try what the
    // capture will do: create a file, or else write the first frame in place.
    OutputFile probe;
    if (create_temporary(made.empty() ? "." : made.string(), &probe) != Outcome::ok &&
        faccessat(AT_FDCWD, first_file.c_str(), W_OK, AT_EACCESS) != 0) {
        *error = failure("cannot write to output directory", dir);
        remove_created_dirs();
        return false;
    }
    output_abandon(&probe);
    return true;
}

void remove_created_dirs()
{
    for (auto dir = created_dirs.rbegin(); dir != created_dirs.rend(); ++dir) {
        rmdir(dir->c_str());
    }
    created_dirs.clear();
}
