// output_file.cpp -- files that appear only when complete, and checked writes
#include "capture/output_file.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "capture/signals.h"

// "<what> '<path>': <reason>", with the reason taken from errno.
static std::string failure(const char* what, const std::string& path)
{
    int code = errno;
    return std::string(what) + " '" + path + "': " + std::strerror(code);
}

static std::string directory_of(const std::string& path)
{
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

static std::string name_of(const std::string& path)
{
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// How long a wait goes before it looks at the interrupt flag again.
static constexpr int poll_ms = 50;

static void pause_briefly()
{
    std::this_thread::sleep_for(std::chrono::milliseconds(poll_ms));
}

// Temporaries on disk, so that an interrupt can remove them from the main
// thread whatever the thread writing one is doing. Each is entered before it
// is created, so none can appear unseen.
namespace {
struct Temporary {
    std::uint64_t id;
    std::string path;
    bool created;
};
}  // namespace

static struct {
    std::mutex lock;
    std::vector<Temporary> list;
    std::uint64_t next_id = 1;
    bool closed = false;   // interrupted: no new temporary
} temporaries;

// 0 after an interrupt: nothing may be created any more.
static std::uint64_t enter_temporary(const std::string& path)
{
    std::lock_guard<std::mutex> hold(temporaries.lock);
    if (temporaries.closed) {
        return 0;
    }
    std::uint64_t id = temporaries.next_id++;
    temporaries.list.push_back(Temporary{id, path, false});
    return id;
}

static void mark_created(std::uint64_t id)
{
    std::lock_guard<std::mutex> hold(temporaries.lock);
    for (Temporary& entry : temporaries.list) {
        if (entry.id == id) {
            entry.created = true;
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
    // entry has been created (or given up), but not for long, since the thread
    // creating it may be one the busy cores leave no time.
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
    for (;;) {
        bool in_flight = false;
        {
            std::lock_guard<std::mutex> hold(temporaries.lock);
            temporaries.closed = true;
            for (const Temporary& entry : temporaries.list) {
                unlink(entry.path.c_str());
                in_flight = in_flight || !entry.created;
            }
        }
        if (!in_flight || std::chrono::steady_clock::now() > give_up) {
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

// The longest name `dir` takes; 255 where the file system does not say.
static std::size_t name_max(const std::string& dir)
{
    long limit = pathconf(dir.c_str(), _PC_NAME_MAX);
    return limit > 0 ? static_cast<std::size_t>(limit) : NAME_MAX;
}

// ".<name>.XXXXXX" with six random characters, the name shortened (never inside
// a UTF-8 sequence) where the whole would be longer than the folder allows.
static std::string temporary_name(const std::string& dir, const std::string& name)
{
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    unsigned char random[6] = {};
    if (getrandom(random, sizeof random, 0) != static_cast<ssize_t>(sizeof random)) {
        // Only uniqueness matters: O_EXCL catches a clash and another name is tried.
        auto tick = static_cast<std::uint64_t>(
            std::chrono::steady_clock::now().time_since_epoch().count());
        for (unsigned char& byte : random) {
            byte = static_cast<unsigned char>(tick);
            tick = tick * 6364136223846793005u + 1442695040888963407u;
            byte ^= static_cast<unsigned char>(tick >> 56);
        }
    }
    std::string suffix = ".";
    for (unsigned char byte : random) {
        suffix += alphabet[byte % (sizeof alphabet - 1)];
    }
    std::size_t room = name_max(dir) - 1 - suffix.size();
    std::size_t keep = std::min(name.size(), room);
    while (keep > 0 && keep < name.size() && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80) {
        --keep;
    }
    std::string temporary = ".";
    temporary.append(name, 0, keep).append(suffix);
    return temporary;
}

// Creates a new temporary in `dir`, mode 0666 less the umask, and enters it.
// False with errno set; EINTR after an interrupt.
static bool create_temporary(const std::string& dir, const std::string& name, OutputFile* file)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        // Everything that allocates comes before the file exists.
        file->temp_path = dir;
        file->temp_path.append("/").append(temporary_name(dir, name));
        std::uint64_t id = enter_temporary(file->temp_path);
        if (id == 0) {
            file->temp_path.clear();
            errno = EINTR;
            return false;
        }
        int fd = open(file->temp_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0) {
            mark_created(id);
            file->fd = fd;
            file->temp_id = id;
            return true;
        }
        int code = errno;
        forget_temporary(id);
        file->temp_path.clear();
        errno = code;
        if (code != EEXIST) {
            return false;
        }
    }
    return false;
}

// The replacement of an existing file gets its mode, and its owner and group
// where this process may give them (changing the owner takes privilege; the
// group, membership). Set-id bits are kept only when the owner is.
static void take_over_attributes(int fd, const struct stat& old)
{
    bool owner_kept = fchown(fd, old.st_uid, old.st_gid) == 0;
    if (!owner_kept) {
        fchown(fd, static_cast<uid_t>(-1), old.st_gid);
    }
    fchmod(fd, old.st_mode & (owner_kept ? 07777 : 0777));
}

// The descriptor a name stands for when it is one of this process's own:
// /dev/stdout, /dev/fd/N, /proc/self/fd/N and the like are symbolic links on
// /proc into the descriptor table. -1 when `link` (already found to be a link)
// is not one of them.
static int own_descriptor(const std::string& link, const struct stat& link_stat)
{
    static const struct stat proc_root = [] {
        struct stat result {};
        stat("/proc", &result);
        return result;
    }();
    const std::string name = name_of(link);
    if (link_stat.st_dev != proc_root.st_dev || name.empty() || name.size() > 9 ||
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
        if (lstat(path.c_str(), &found) != 0) {
            if (errno == ENOENT) {
                out->path = path;
                return true;
            }
            *error = failure("cannot write", given);
            return false;
        }
        if (!S_ISLNK(found.st_mode)) {
            out->path = path;
            out->exists = true;
            out->stat = found;
            return true;
        }
        out->descriptor = own_descriptor(path, found);
        if (out->descriptor >= 0) {
            out->path = path;
            return true;
        }
        std::vector<char> target(PATH_MAX + 1);
        ssize_t length = readlink(path.c_str(), target.data(), PATH_MAX);
        if (length < 0) {
            *error = failure("cannot write", given);
            return false;
        }
        std::string next(target.data(), static_cast<std::size_t>(length));
        if (next.empty()) {
            errno = ENOENT;
            *error = failure("cannot write", given);
            return false;
        }
        if (next[0] != '/' && stat("/proc", &found) == 0) {
            struct stat link_stat {};
            lstat(path.c_str(), &link_stat);
            if (link_stat.st_dev == found.st_dev) {
                // A descriptor of another process ("pipe:[...]" and the like
                // are not paths): only opening the link itself reaches it.
                out->path = path;
                out->through_proc = true;
                return true;
            }
        }
        path = next[0] == '/' ? next : directory_of(path) + "/" + next;
    }
    errno = ELOOP;
    *error = failure("cannot write", given);
    return false;
}

// A descriptor this process was given, written as "-" is: not closed, not renamed.
static bool use_descriptor(int fd, OutputFile* file, std::string* error)
{
    int flags = fcntl(fd, F_GETFL);
    if (flags < 0 || (flags & O_ACCMODE) == O_RDONLY) {
        errno = EBADF;
        *error = file->is_stdout ? std::string("cannot write to standard output: ") + std::strerror(errno)
                                 : failure("cannot write", file->path);
        return false;
    }
    struct stat found {};
    fstat(fd, &found);
    file->fd = fd;
    file->regular = S_ISREG(found.st_mode);
    file->owned = false;
    return true;
}

// A device, a FIFO or another process's descriptor, written in place. Opening a
// FIFO for writing blocks until a reader opens it; a non-blocking open that is
// retried gives way to an interrupt instead.
static bool open_in_place(const std::string& path, bool fifo, OutputFile* file, std::string* error)
{
    for (;;) {
        int fd = open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd >= 0) {
            int flags = fcntl(fd, F_GETFL);
            fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
            struct stat found {};
            fstat(fd, &found);
            file->fd = fd;
            file->owned = true;
            file->regular = S_ISREG(found.st_mode);
            return true;
        }
        if ((errno == ENXIO && fifo) || errno == EINTR) {
            if (interrupted_by() != 0) {
                error->clear();
                return false;
            }
            pause_briefly();
            continue;
        }
        *error = failure("cannot open", file->path);
        return false;
    }
}

// A socket cannot be opened by name, but one of this process's own descriptors
// may be that socket (standard output under a service manager, say).
static int descriptor_for_socket(const struct stat& socket)
{
    for (int fd = 0; fd < 1024; ++fd) {
        struct stat found {};
        if (fstat(fd, &found) == 0 && found.st_dev == socket.st_dev && found.st_ino == socket.st_ino) {
            return fd;
        }
    }
    return -1;
}

static bool refuse_terminal(OutputFile* file, std::string* error)
{
    if (!isatty(file->fd)) {
        return false;
    }
    *error = file->is_stdout ? std::string("refusing to write a video stream to a terminal")
                             : "refusing to write to the terminal '" + file->path + "'";
    if (file->owned) {
        close(file->fd);
    }
    file->fd = -1;
    return true;
}

bool output_open(const std::string& path, OutputFile* file, std::string* error)
{
    *file = OutputFile{};
    file->path = path;
    if (path == "-") {
        file->is_stdout = true;
        return use_descriptor(STDOUT_FILENO, file, error) && !refuse_terminal(file, error);
    }

    Destination destination;
    if (!follow_links(path, &destination, error)) {
        return false;
    }
    file->final_path = destination.path;
    if (destination.descriptor >= 0) {
        return use_descriptor(destination.descriptor, file, error) && !refuse_terminal(file, error);
    }
    if (destination.through_proc) {
        return open_in_place(destination.path, false, file, error) && !refuse_terminal(file, error);
    }

    const struct stat& old = destination.stat;
    if (destination.exists && S_ISDIR(old.st_mode)) {
        errno = EISDIR;
        *error = failure("cannot write", path);
        return false;
    }
    if (destination.exists && S_ISSOCK(old.st_mode)) {
        int fd = descriptor_for_socket(old);
        if (fd < 0) {
            errno = ENXIO;
            *error = failure("cannot open", path);
            return false;
        }
        return use_descriptor(fd, file, error);
    }
    if (destination.exists && !S_ISREG(old.st_mode)) {
        // Renaming over a device or a FIFO would replace it.
        return open_in_place(destination.path, S_ISFIFO(old.st_mode), file, error) &&
               !refuse_terminal(file, error);
    }

    // A renamed replacement would leave the file's other names on the old data.
    const std::string dir = directory_of(destination.path);
    if (!(destination.exists && old.st_nlink > 1)) {
        if (create_temporary(dir, name_of(destination.path), file)) {
            file->owned = true;
            file->regular = true;
            if (destination.exists) {
                take_over_attributes(file->fd, old);
            }
            return true;
        }
        if (errno == EINTR) {
            error->clear();
            return false;
        }
        *error = failure("cannot create a file in", dir);
        // The folder takes no new file, but the file itself may be writable.
        if (!destination.exists) {
            return false;
        }
    }
    int fd = open(destination.path.c_str(), O_WRONLY | O_TRUNC | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        if (error->empty()) {
            *error = failure("cannot open", path);
        }
        return false;
    }
    error->clear();
    file->fd = fd;
    file->owned = true;
    file->regular = true;
    file->empty_on_failure = true;
    return true;
}

// The message for a failed write or close, from errno.
static std::string write_failure(const OutputFile& file)
{
    if (file.is_stdout) {
        int code = errno;
        return std::string("cannot write to standard output: ") + std::strerror(code);
    }
    return failure("cannot write", file.path);
}

bool output_write(OutputFile* file, const void* data, std::size_t size, std::string* error)
{
    // A regular file takes large pieces (a slow disk still returns between
    // them). Anything else may be a pipe whose reader has stopped reading: it
    // is written only once it has room, a page at a time, which a pipe with
    // room takes without blocking.
    const std::size_t piece = file->regular ? std::size_t{1} << 18 : 4096;
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        if (interrupted_by() != 0) {
            error->clear();
            return false;
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
            return false;
        }
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

bool output_finish(OutputFile* file, std::string* error)
{
    int fd = file->fd;
    file->fd = -1;
    // Some file systems report a full disk only when the data is flushed at close.
    if (fd >= 0 && file->owned && close(fd) != 0) {
        *error = write_failure(*file);
        output_abandon(file);
        return false;
    }
    if (!file->temp_path.empty()) {
        if (rename(file->temp_path.c_str(), file->final_path.c_str()) != 0) {
            *error = failure("cannot write", file->path);
            output_abandon(file);
            return false;
        }
        forget_temporary(file->temp_id);
        file->temp_path.clear();
    }
    file->empty_on_failure = false;
    return true;
}

void output_abandon(OutputFile* file)
{
    if (file->fd >= 0) {
        if (file->empty_on_failure) {
            // What was there is gone already; a part of the new data would
            // pass for a whole file.
            if (ftruncate(file->fd, 0) != 0) {
                file->empty_on_failure = false;
            }
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

bool write_whole_file(const std::string& path, const void* data, std::size_t size,
                      std::string* error)
{
    OutputFile file;
    try {
        if (!output_open(path, &file, error)) {
            return false;
        }
        if (!output_write(&file, data, size, error)) {
            output_abandon(&file);
            return false;
        }
        return output_finish(&file, error);
    } catch (...) {
        // A message that could not be allocated: nothing may stay behind.
        output_abandon(&file);
        throw;
    }
}

// Folders prepare_output_dir made, deepest last.
static std::vector<std::string> created_dirs;

static bool make_directories(const std::string& dir)
{
    struct stat existing {};
    if (stat(dir.c_str(), &existing) == 0) {
        if (!S_ISDIR(existing.st_mode)) {
            errno = ENOTDIR;
            return false;
        }
        return true;
    }
    std::string parent = directory_of(dir);
    if (parent != dir && parent != "." && parent != "/" && !make_directories(parent)) {
        return false;
    }
    if (mkdir(dir.c_str(), 0777) == 0) {
        created_dirs.push_back(dir);
        return true;
    }
    return errno == EEXIST;
}

bool prepare_output_dir(const std::string& dir, std::string* error)
{
    std::string trimmed = dir;
    while (trimmed.size() > 1 && trimmed.back() == '/') {
        trimmed.pop_back();
    }
    if (!make_directories(trimmed)) {
        *error = failure("cannot create output directory", dir);
        remove_created_dirs();
        return false;
    }
    // Permission bits say little (the super-user ignores them; a read-only mount
    // does not show in them), so try what the capture will do: create a file.
    std::string probe = trimmed + "/.quorvex-capture.XXXXXX";
    std::vector<char> name(probe.begin(), probe.end());
    name.push_back('\0');
    int fd = mkstemp(name.data());
    if (fd < 0) {
        *error = failure("cannot write to output directory", dir);
        remove_created_dirs();
        return false;
    }
    close(fd);
    unlink(name.data());
    return true;
}

void remove_created_dirs()
{
    for (auto dir = created_dirs.rbegin(); dir != created_dirs.rend(); ++dir) {
        rmdir(dir->c_str());
    }
    created_dirs.clear();
}
