// output_file.h -- files that appear only when complete, and checked writes
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// How a step ended. After `failed` its `error` says why on one line; after
// `interrupted` the caller stops and says nothing of its own.
enum class Outcome { ok, failed, interrupted };

// A file being written. Its path is resolved once (output_path.h) and every
// later step works in the folder found. A regular file, or a name that leads
// to nothing yet, is written under a temporary name in that folder and renamed
// into place by output_commit. Written in place: "-", this process's own descriptors
// however named (/dev/stdout, /dev/fd/N, /proc/self/fd/N), devices, FIFOs, and
// a regular file with other hard links or in a folder that takes no new file.
struct OutputFile {
    int fd = -1;
    std::string path;          // the name the user gave (for messages)
    int dir = -1;              // the folder `name` was found in, held open
    std::string name;          // the last name there, its links followed
    std::string temp_name;     // the temporary in `dir`; empty when written in place
    std::uint64_t temp_id = 0; // its entry among the temporaries main removes after an exception
    std::uint64_t written = 0; // bytes written so far
    bool regular = false;      // the descriptor is a regular file (written in large pieces)
    bool owned = false;        // ours to close (not a descriptor the process was given)
    bool empty_on_failure = false;  // an existing regular file written in place
    bool is_stdout = false;    // "-": messages say "standard output"
};

// Opens `path` for writing ("-": standard output); a FIFO waits for its reader.
// A new file gets mode 0666 less the umask; a replaced one keeps the old mode,
// and its owner and group where the process may set them. A file this process
// may not write, a folder or a terminal is refused; nothing is left behind.
Outcome output_open(const std::string& path, OutputFile* file, std::string* error);

// output_open for `name` in the folder `folder`, named `shown` in messages.
Outcome output_open_in(int folder, const std::string& name, const std::string& shown, OutputFile* file,
                       std::string* error);

// Writes all of `data`, waiting on a pipe that is not read in steps that look
// at the interrupt flag. After `failed` the caller abandons the file.
Outcome output_write(OutputFile* file, const void* data, std::size_t size, std::string* error);

// Closes the file, keeping its temporary for output_commit. A file written in
// place whose close fails is emptied.
Outcome output_close(OutputFile* file, std::string* error);

// Renames a closed file's temporary into place (removing it when that fails).
Outcome output_commit(OutputFile* file, std::string* error);

// output_close, then output_commit.
Outcome output_finish(OutputFile* file, std::string* error);

// After a failure: closes the file and removes its temporary (a file written
// in place is emptied). Safe on a file never opened or already finished.
void output_abandon(OutputFile* file);

// Whether `fd` is the file or pipe standard error leads to.
bool same_as_standard_error(int fd);

// Makes sure `dir` exists (creating missing parents) and takes new files, or
// at least that `first_file` (a name in it) may be written in place, and holds
// it open for prepared_output_dir.
bool prepare_output_dir(const std::string& dir, const std::string& first_file, std::string* error);

// The folder prepare_output_dir checked, for output_open_in.
int prepared_output_dir();

// After a failure or an interrupt: removes the folders prepare_output_dir
// created, where they are still empty.
void remove_created_dirs();
