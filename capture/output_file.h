// output_file.h -- files that appear only when complete, and checked writes
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// How a step that may be interrupted ended. After `failed` the step's `error`
// says why on one line; after `interrupted` the caller stops and says nothing
// of its own.
enum class Outcome { ok, failed, interrupted };

// A file being written. Where the name leads to a regular file, or to nothing
// yet, it is written under a temporary name in the same folder and renamed into
// place by output_commit, so no reader ever sees it half-written; symbolic
// links on the way are followed as the kernel would follow them for this
// process (in a sticky folder others may write to, only a link owned by this
// process's user or by the folder's owner), so the link stays a link and its
// target is replaced. Anything else is written in place: standard output
// ("-"), this process's own descriptors however they are named (/dev/stdout,
// /dev/fd/N, /proc/self/fd/N), devices, FIFOs, and a regular file that has
// other hard links or whose folder takes no new file.
struct OutputFile {
    int fd = -1;
    std::string path;          // the name the user gave (for messages)
    std::string final_path;    // `path` with its symbolic links followed
    std::string temp_path;     // the temporary; empty when written in place
    std::uint64_t temp_id = 0; // its entry among the temporaries to remove on an interrupt
    std::uint64_t written = 0; // bytes written so far
    bool regular = false;      // the descriptor is a regular file (written in large pieces)
    bool owned = false;        // ours to close (not a descriptor the process was given)
    bool empty_on_failure = false;  // an existing regular file written in place
    bool is_stdout = false;    // "-": messages say "standard output"
};

// Opens `path` for writing ("-": standard output). A FIFO waits for its reader,
// giving way to an interrupt. A new file gets mode 0666 less the umask; a
// replaced one keeps the old file's mode, and its owner and group where the
// process may set them. A file this process may not write is refused
// ("Permission denied") and left as it is. `failed` with a one-line message
// otherwise (the folder is missing or not writable, the name is a folder or a
// terminal); nothing is left behind then.
Outcome output_open(const std::string& path, OutputFile* file, std::string* error);

// Writes all of `data`. Never blocks for long: a pipe that is not being read is
// waited on in steps that look at the interrupt flag. `failed` with a message
// (a full disk, a closed pipe); the caller then abandons the file.
Outcome output_write(OutputFile* file, const void* data, std::size_t size, std::string* error);

// Closes the file, keeping its temporary for output_commit. A file written in
// place whose close reports an error is emptied, and `failed` returned.
Outcome output_close(OutputFile* file, std::string* error);

// Renames a closed file's temporary into place. `failed` with a message when the
// rename fails; the temporary is removed then.
Outcome output_commit(OutputFile* file, std::string* error);

// output_close, then output_commit.
Outcome output_finish(OutputFile* file, std::string* error);

// Closes the file and removes its temporary (an existing file written in place
// is emptied), after a failure. Safe to call on a file that was never opened or
// is already finished.
void output_abandon(OutputFile* file);

// Whether `fd` is the very file or pipe standard error leads to: messages must
// then stay out of it.
bool same_as_standard_error(int fd);

// Makes sure `dir` exists (creating it and any missing parents) and that files
// can be created in it, or at least that `first_file` there may be written
// (in place). False with a one-line message otherwise.
bool prepare_output_dir(const std::string& dir, const std::string& first_file, std::string* error);

// Removes the folders prepare_output_dir created, where they are still empty.
// Called after a failure or an interrupt.
void remove_created_dirs();

// After an interrupt, from the main thread: removes every temporary still on
// disk, whichever thread is writing it and even if that thread cannot run
// (waiting at most a fraction of a second for a creation in flight), and makes
// later attempts to create one fail.
void remove_all_temporaries();
