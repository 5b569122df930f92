// temp_file.h -- temporaries: made in a checked folder, removed on failure
#pragma once

#include <sys/stat.h>

#include <cstdint>

#include "capture/output_file.h"

// Creates a new temporary in the folder `dir` (exclusively, never through a
// link) as `file`'s, gives it mode 0666 less the umask, and enters it among
// those remove_all_temporaries removes. `failed` with errno set.
Outcome create_temporary(int dir, OutputFile* file);

// Takes the temporary `id` off that list (renamed into place or removed).
void forget_temporary(std::uint64_t id);

// A replacement gets the old file's mode, owner and group where this process
// may give them; set-id bits only when the owner is kept.
void take_over_attributes(int fd, const struct stat& old);

// When an exception ends the capture: removes every temporary on disk.
void remove_all_temporaries();
