// temp_file.h -- temporaries made in a checked folder, and what a replacement keeps
#pragma once

#include <sys/stat.h>

#include "capture/output_file.h"

// Creates a new temporary in the folder `dir` (exclusively, never through a
// link) as `file`'s, with mode 0666 less the umask (or as the folder's default
// ACL says), as a shell's ">" makes a file. `failed` with errno set.
Outcome create_temporary(int dir, OutputFile* file);

// A replacement gets the old file's mode, owner and group where this process
// may give them; set-id bits only when the owner is kept.
void take_over_attributes(int fd, const struct stat& old);
