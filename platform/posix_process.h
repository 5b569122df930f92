// posix_process.h -- what the demo on SDL and the capture do alike at their start and their end: standard descriptors, death by a signal
#pragma once

// A closed standard descriptor's number would go to the next file opened (the
// watcher's socket, an output file), and what a library prints to stderr
// would land there: each closed one of 0-2 gets /dev/null. Call it before
// anything opens a file. Ends the process with 1 when /dev/null cannot be opened.
void fill_closed_standard_descriptors();

// Ends the process by `signal_number`'s default action (death by that signal,
// so a shell sees it), after whatever the caller put right first; _exit with
// 128 + the number where that action does not end it. Async-signal-safe.
[[noreturn]] void end_by_signal(int signal_number);
