// output_path.h -- a path resolved once, into a held folder and a last name
#pragma once

#include <sys/stat.h>

#include <string>
#include <vector>

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

// A folder made on the way, for removing it again while it is empty.
struct MadeFolder {
    int parent;
    std::string name;
};

// Opens the folder `path` (O_PATH), making missing ones with mode 0777 less
// the umask and noting each in `made`. A folder someone else made meanwhile
// is as good as one made here. -1 with errno set on failure.
int open_folder(const std::string& path, std::vector<MadeFolder>* made);
