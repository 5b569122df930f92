// output_file.h -- files that appear only when complete, and checked writes
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// How a step ended. After `failed` its `error` says why on one line; after
// `interrupted` the caller stops and says nothing of its own.
enum class Outcome { ok, failed, interrupted };

// A file being written, in the folder its path led to (output_path.h). A
// regular file, or a name that leads to nothing yet, is written under a
// temporary name there and renamed into place by output_finish. Written in
// place: "-", this process's own descriptors however named, devices, FIFOs,
// and a regular file with other hard links or in a folder that takes no new file.
struct OutputFile {
    int fd = -1;
    std::string path;          // the name the user gave (for messages)
    int dir = -1;              // the folder `name` was found in, held open
    std::string name;          // the last name there, its links followed
    std::string temp_name;     // the temporary in `dir`; empty when written in place
    std::uint64_t written = 0; // bytes written so far
    bool regular = false;      // the descriptor is a regular file (written in large pieces)
    bool owned = false;        // ours to close (not a descriptor the process was given)
    bool empty_on_failure = false;  // an existing regular file written in place
    bool is_stdout = false;    // "-": messages say "standard output"
};

// Opens `name` in the folder `folder` (AT_FDCWD: the working folder; "-":
// standard output) for writing, named `shown` in messages; a FIFO waits for
// its reader. Modes as temp_file.h says. A file this process may not write, a
// folder or a terminal is refused; nothing is left behind.
Outcome output_open(int folder, const std::string& name, const std::string& shown, OutputFile* file,
                    std::string* error);

// Writes all of `data`, waiting on a pipe that is not read in steps that look
// at the interrupt flag. After `failed` the caller abandons the file.
Outcome output_write(OutputFile* file, const void* data, std::size_t size, std::string* error);

// Closes the file and renames its temporary into place. After `failed` the
// temporary is gone, and a file written in place is emptied.
Outcome output_finish(OutputFile* file, std::string* error);

// After a failure: closes the file and removes its temporary (a file written
// in place is emptied). Safe on a file never opened or already finished.
void output_abandon(OutputFile* file);

// "<what> '<path>': <reason>", the reason taken from errno: how every message
// about a file reads.
std::string failure(const char* what, const std::string& path);

// Whether `fd` is the file or pipe standard error leads to.
bool same_as_standard_error(int fd);
