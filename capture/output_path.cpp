// output_path.cpp -- a path resolved once, into a held folder and a last name; output folders made
#include "capture/output_path.h"

#include <fcntl.h>
#include <unistd.h>

#include <charconv>
#include <cerrno>
#include <climits>
#include <filesystem>
#include <utility>
#include <vector>

#include "capture/temp_file.h"

// A folder made on the way, for removing it again while it is empty.
struct MadeFolder {
    int parent;
    std::string name;
};

static constexpr int max_links = 40;   // followed on one walk before it is a loop, as the kernel counts
static constexpr int folder_flags = O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// The names of `path` pushed so that the first comes off the back first.
static void push_names(const std::string& path, std::vector<std::string>* rest)
{
    const std::size_t at = rest->size();
    for (const std::filesystem::path& name : std::filesystem::path(path).relative_path()) {
        if (!name.empty()) {
            rest->insert(rest->begin() + static_cast<std::ptrdiff_t>(at), name.string());
        }
    }
}

// Reads the link `name` in `dir` when the rule lets it be followed; else EACCES.
static bool follow_judged(int dir, const std::string& name, const struct stat& link, std::string* target)
{
    struct stat folder {};
    if (fstat(dir, &folder) != 0) {
        return false;
    }
    const bool shared_sticky = (folder.st_mode & S_ISVTX) && (folder.st_mode & S_IWOTH);
    if (shared_sticky && link.st_uid != geteuid() && link.st_uid != folder.st_uid) {
        errno = EACCES;
        return false;
    }
    char text[PATH_MAX];
    const ssize_t size = readlinkat(dir, name.c_str(), text, sizeof text);
    if (size <= 0 || size == static_cast<ssize_t>(sizeof text)) {
        errno = size < 0 ? errno : size == 0 ? ENOENT : ENAMETOOLONG;
        return false;
    }
    target->assign(text, static_cast<std::size_t>(size));
    return true;
}

// Puts a link's target in front of the names still to walk; an absolute one
// starts again from the root.
static bool splice(const std::string& target, int* dir, std::vector<std::string>* rest, int* links)
{
    if (++*links > max_links) {
        errno = ELOOP;
        return false;
    }
    if (target.front() == '/') {
        const int root = open("/", folder_flags);
        if (root < 0) {
            return false;
        }
        close(std::exchange(*dir, root));
    }
    push_names(target, rest);
    return true;
}

// One step down into the folder `name`: its descriptor replaces `*dir`, or a
// link there is judged and spliced in. With `made`, a missing folder is made.
static bool step(int* dir, const std::string& name, std::vector<std::string>* rest, int* links,
                 std::vector<MadeFolder>* made)
{
    const int next = openat(*dir, name.c_str(), folder_flags);
    if (next >= 0) {
        close(std::exchange(*dir, next));
        return true;
    }
    const int code = errno;
    struct stat found {};
    if (code == ENOENT && made != nullptr) {
        if (mkdirat(*dir, name.c_str(), 0777) == 0) {
            made->push_back(MadeFolder{fcntl(*dir, F_DUPFD_CLOEXEC, 0), name});
        } else if (errno != EEXIST) {
            return false;
        }
        // Opened on the next round: made here or by someone else, a folder is a folder.
        rest->push_back(name);
        return ++*links <= max_links || (errno = ELOOP, false);
    }
    std::string target;
    if (fstatat(*dir, name.c_str(), &found, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(found.st_mode)) {
        return follow_judged(*dir, name, found, &target) && splice(target, dir, rest, links);
    }
    errno = code;
    return false;
}

// The folder a walk of `path` starts from (from `start` unless absolute), its
// names put in `rest`; -1 with errno set, ENOENT for "".
static int start_walk(int start, const std::string& path, std::vector<std::string>* rest)
{
    if (path.empty()) {
        errno = ENOENT;
        return -1;
    }
    push_names(path, rest);
    return path.front() == '/' ? open("/", folder_flags) : openat(start, ".", folder_flags);
}

// This process's descriptor `name` stands for, when `dir` is its /proc/self/fd.
static int own_descriptor(int dir, const std::string& name)
{
    struct stat table {};
    struct stat own_table {};
    int fd = -1;
    const char* end = name.data() + name.size();
    if (std::from_chars(name.data(), end, fd).ptr != end || fd < 0 || fstat(dir, &table) != 0 ||
        stat("/proc/self/fd", &own_table) != 0 || table.st_dev != own_table.st_dev ||
        table.st_ino != own_table.st_ino) {
        return -1;
    }
    return fd;
}

static bool on_proc(const struct stat& found)
{
    static const dev_t proc_device = [] {
        struct stat proc {};
        return stat("/proc", &proc) == 0 ? proc.st_dev : static_cast<dev_t>(-1);
    }();
    return found.st_dev == proc_device;
}

// Steps down through the names in `rest` until `keep` are left. False with
// errno set and `*dir` closed.
static bool walk(int* dir, std::vector<std::string>* rest, std::size_t keep, int* links,
                 std::vector<MadeFolder>* made)
{
    while (*dir >= 0 && rest->size() > keep) {
        const std::string name = rest->back();
        rest->pop_back();
        if (!step(dir, name, rest, links, made)) {
            const int code = errno;
            close(std::exchange(*dir, -1));
            errno = code;
        }
    }
    return *dir >= 0;
}

bool resolve_path(int start, const std::string& path, ResolvedPath* out, bool* walked_folders)
{
    *walked_folders = false;
    std::vector<std::string> rest;
    int dir = start_walk(start, path, &rest);
    for (int links = 0;;) {
        if (rest.empty()) {
            rest.push_back(".");
        }
        if (!walk(&dir, &rest, 1, &links, nullptr)) {
            return false;
        }
        *walked_folders = true;
        out->dir = dir;
        out->name = rest.back();
        struct stat found {};
        if (fstatat(dir, out->name.c_str(), &found, AT_SYMLINK_NOFOLLOW) != 0) {
            return errno == ENOENT;
        }
        if (!S_ISLNK(found.st_mode)) {
            out->exists = true;
            out->stat = found;
            return true;
        }
        out->descriptor = on_proc(found) ? own_descriptor(dir, out->name) : -1;
        std::string target;
        if (out->descriptor >= 0) {
            return true;
        }
        if (!follow_judged(dir, out->name, found, &target)) {
            return false;
        }
        // A descriptor of another process ("pipe:[...]" is no path): only
        // opening the link itself reaches it.
        out->through_proc = target.front() != '/' && on_proc(found);
        if (out->through_proc) {
            return true;
        }
        out->dir = -1;
        *walked_folders = false;
        rest.pop_back();
        if (!splice(target, &dir, &rest, &links)) {
            const int code = errno;
            close(dir);
            errno = code;
            return false;
        }
    }
}

// Folders prepare_output_dir made, deepest last, and the folder it checked.
static std::vector<MadeFolder> created_dirs;
static int prepared_dir = -1;

int prepared_output_dir()
{
    return prepared_dir;
}

bool prepare_output_dir(const std::string& dir, const std::string& first_file, std::string* error)
{
    if (prepared_dir >= 0) {
        close(prepared_dir);
    }
    // Missing folders are made with mode 0777 less the umask and noted; one
    // someone else made meanwhile is as good as one made here.
    std::vector<std::string> rest;
    prepared_dir = start_walk(AT_FDCWD, dir, &rest);
    int links = 0;
    if (!walk(&prepared_dir, &rest, 0, &links, &created_dirs)) {
        *error = failure("cannot create output directory", dir);
        remove_created_dirs();
        return false;
    }
    // Permission bits say little (root, read-only mounts), so try what the
    // capture will do: create a file, or else write the first frame in place.
    OutputFile probe;
    if (create_temporary(prepared_dir, &probe) == Outcome::ok) {
        close(probe.fd);
        unlinkat(prepared_dir, probe.temp_name.c_str(), 0);
        return true;
    }
    // The reason is the creation's, unless the first frame is there to be written.
    const int code = errno;
    struct stat first {};
    if (fstatat(prepared_dir, first_file.c_str(), &first, AT_SYMLINK_NOFOLLOW) != 0) {
        errno = code;
    } else if (faccessat(prepared_dir, first_file.c_str(), W_OK, AT_EACCESS | AT_SYMLINK_NOFOLLOW) == 0) {
        return true;
    }
    *error = failure("cannot write to output directory", dir);
    remove_created_dirs();
    return false;
}

void remove_created_dirs()
{
    if (prepared_dir >= 0) {
        close(std::exchange(prepared_dir, -1));
    }
    for (auto made = created_dirs.rbegin(); made != created_dirs.rend(); ++made) {
        unlinkat(made->parent, made->name.c_str(), AT_REMOVEDIR);
        close(made->parent);
    }
    created_dirs.clear();
}
