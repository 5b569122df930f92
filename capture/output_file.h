// output_file.h -- files that appear only when complete, and checked writes
#pragma once

#include <cstddef>
#include <string>

// A file being written. A regular file is written under a temporary name next to
// its final path and renamed into place by output_finish, so no reader ever sees
// it half-written; an existing device or pipe (/dev/null, a FIFO) and standard
// output are written directly.
struct OutputFile {
    int fd = -1;
    std::string path;        // the name the user gave (for messages)
    std::string temp_path;   // empty when written directly
    bool is_stdout = false;
};

// Opens `path` for writing ("-": standard output). False with a one-line message
// in `error` (the directory is missing or not writable, standard output is a
// terminal); nothing is left behind then.
bool output_open(const std::string& path, OutputFile* file, std::string* error);

// Writes all of `data`, retrying short writes. False with a message (a full disk,
// a closed pipe); the caller then abandons the file.
bool output_write(OutputFile* file, const void* data, std::size_t size, std::string* error);

// Closes the file and renames a temporary into place. False with a message when
// the close or the rename fails; the temporary is removed then.
bool output_finish(OutputFile* file, std::string* error);

// Closes the file and removes its temporary, after a failure. Safe to call on a
// file that was never opened or is already finished.
void output_abandon(OutputFile* file);

// Writes `data` as the whole of `path`, appearing only when complete. False with
// a message, leaving nothing behind.
bool write_whole_file(const std::string& path, const void* data, std::size_t size,
                      std::string* error);

// Makes sure `dir` exists (creating it and any missing parents) and that files
// can be created in it. False with a one-line message otherwise.
bool prepare_output_dir(const std::string& dir, std::string* error);
