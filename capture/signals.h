// signals.h -- how quorvex-capture is interrupted, and how it ends after an interrupt
#pragma once

// Installs the interrupt handler for SIGINT, SIGTERM and SIGHUP, except for a
// signal inherited as ignored (under nohup, or in a script's background job),
// which stays ignored. SIGPIPE and SIGXFSZ are ignored, so a reader that went
// away or a file-size limit shows as a failed write (EPIPE, EFBIG) that is
// reported like any other. Called once, before anything else starts.
void install_interrupt_handlers();

// From here on an interrupt only sets the flag below, for the capture to stop
// and clean up; before, it ends the process at once, as nothing has been
// created. Called by the capture just before it creates its first file.
void defer_interrupts();

// While the GL driver starts (nothing created yet), a crash inside it (some
// drivers dereference a failed allocation under an address-space limit) ends
// the process with the line "quorvex-capture: <what> (<signal>)" and status 1
// instead of a core dump and no word. Off again after start-up: later crashes
// are bugs to be seen as such.
void report_driver_crashes(bool on);

// The number of the first interrupt signal received; 0 while none has come.
// Lock-free, so any thread may poll it between steps and in its waits.
int interrupted_by();

// Ends the process by `signal_number` with its default action, as if the
// handler had never been installed, so the parent sees death by that signal
// (a shell reports 128 + the number). Called after an interrupt, once whatever
// was half-written has been removed.
[[noreturn]] void die_by_signal(int signal_number);
