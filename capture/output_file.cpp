// output_file.cpp -- files that appear only when complete, and checked writes
#include "capture/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

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

// The mode a plain open(..., 0666) would give: mkstemp makes its files 0600.
static mode_t default_file_mode()
{
    static const mode_t mode = [] {
        mode_t mask = umask(0);
        umask(mask);
        return static_cast<mode_t>(0666 & ~mask);
    }();
    return mode;
}

bool output_open(const std::string& path, OutputFile* file, std::string* error)
{
    *file = OutputFile{};
    file->path = path;
    if (path == "-") {
        if (isatty(STDOUT_FILENO)) {
            *error = "refusing to write a video stream to a terminal";
            return false;
        }
        file->fd = STDOUT_FILENO;
        file->is_stdout = true;
        return true;
    }

    struct stat existing {};
    if (stat(path.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode)) {
        if (S_ISDIR(existing.st_mode)) {
            errno = EISDIR;
            *error = failure("cannot write", path);
            return false;
        }
        // A device or a pipe is written in place; renaming over it would replace it.
        file->fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
        if (file->fd < 0) {
            *error = failure("cannot open", path);
            return false;
        }
        return true;
    }

    std::string temp = directory_of(path) + "/." + name_of(path) + ".XXXXXX";
    std::vector<char> name(temp.begin(), temp.end());
    name.push_back('\0');
    file->fd = mkstemp(name.data());
    if (file->fd < 0) {
        *error = failure("cannot create a file in", directory_of(path));
        return false;
    }
    file->temp_path = name.data();
    if (fchmod(file->fd, default_file_mode()) != 0) {
        *error = failure("cannot write", path);
        output_abandon(file);
        return false;
    }
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
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t written = write(file->fd, bytes, size);
        if (written < 0) {
            if (errno == EINTR) {
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
    if (fd >= 0 && close(fd) != 0) {
        *error = write_failure(*file);
        output_abandon(file);
        return false;
    }
    if (!file->temp_path.empty()) {
        if (rename(file->temp_path.c_str(), file->path.c_str()) != 0) {
            *error = failure("cannot write", file->path);
            output_abandon(file);
            return false;
        }
        file->temp_path.clear();
    }
    return true;
}

void output_abandon(OutputFile* file)
{
    if (file->fd >= 0) {
        close(file->fd);
        file->fd = -1;
    }
    if (!file->temp_path.empty()) {
        unlink(file->temp_path.c_str());
        file->temp_path.clear();
    }
}

bool write_whole_file(const std::string& path, const void* data, std::size_t size,
                      std::string* error)
{
    OutputFile file;
    if (!output_open(path, &file, error)) {
        return false;
    }
    if (!output_write(&file, data, size, error)) {
        output_abandon(&file);
        return false;
    }
    return output_finish(&file, error);
}

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
    return mkdir(dir.c_str(), 0777) == 0 || errno == EEXIST;
}

bool prepare_output_dir(const std::string& dir, std::string* error)
{
    std::string trimmed = dir;
    while (trimmed.size() > 1 && trimmed.back() == '/') {
        trimmed.pop_back();
    }
    if (!make_directories(trimmed)) {
        *error = failure("cannot create output directory", dir);
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
        return false;
    }
    close(fd);
    unlink(name.data());
    return true;
}
