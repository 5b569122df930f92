// standard_descriptors.h -- closed standard descriptors filled with /dev/null (POSIX programs)
#pragma once

// A closed standard descriptor's number would go to the next file opened (the
// watcher's socket, an output file), and what a library prints to stderr
// would land there: each closed one of 0-2 gets /dev/null. Call it before
// anything opens a file. Ends the process with 1 when /dev/null cannot be opened.
void fill_closed_standard_descriptors();
