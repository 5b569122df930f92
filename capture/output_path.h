// output_path.h -- a path resolved once, into a held folder and a last name; output folders made
#pragma once

#include <sys/stat.h>

#include <string>

// Where a path leads, walked one name at a time from a folder descriptor and
// never through a link the kernel's protected_symlinks rule would refuse (in a
// sticky folder others may write to, only a link owned by this process's user
// or by the folder's owner is followed), for folders as well as the last name.
// Every later step works on `dir` and `name`, so a name swapped meanwhile
// leads nowhere else.
struct ResolvedPath {
    int dir = -1;               // the folder holding `name` (O_PATH), ours to close
    std::string name;           // the last name, not a link (unless `through_proc`)
    bool exists = false;
    struct stat stat {};        // what `name` is, when it exists
    int descriptor = -1;        // this process's own descriptor, when the path names one
    bool through_proc = false;  // another process's descriptor: open `name` as it is
};

// Resolves `path` from the folder `start` (AT_FDCWD: the working folder).
// False with errno set; `*walked_folders` tells whether the folders were all
// reached, so the failure is the last name's.
bool resolve_path(int start, const std::string& path, ResolvedPath* out, bool* walked_folders);

// Makes sure `dir` exists (creating missing parents) and takes new files, or
// at least that `first_file` (a name in it) may be written in place, and holds
// it open for prepared_output_dir.
bool prepare_output_dir(const std::string& dir, const std::string& first_file, std::string* error);

// The folder prepare_output_dir checked, for output_open (output_file.h).
int prepared_output_dir();

// After a failure or an interrupt: lets the prepared folder go and removes
// the folders prepare_output_dir created, where they are still empty.
void remove_created_dirs();
