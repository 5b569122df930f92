// signals.h -- how quorvex-capture is interrupted, and how it ends after an interrupt
#pragma once

// Installs the interrupt handler for SIGINT, SIGTERM and SIGHUP, except where
// inherited as ignored (under nohup). SIGPIPE and SIGXFSZ are ignored, so a
// vanished reader or a file-size limit is a failed write like any other.
void install_interrupt_handlers();

// From here on an interrupt only sets the flag below, for the capture to clean
// up; before, nothing has been created and it ends the process at once.
void defer_interrupts();

// While the GL driver starts, a crash inside it (some drivers dereference a
// failed allocation under an address-space limit) ends the process with one
// line and status 1 instead of a core dump. Later crashes are bugs to be seen.
void report_driver_crashes(bool on);

// The first interrupt signal received; 0 while none has come. Any thread may
// poll it. A process-directed signal reaches one thread, not necessarily the
// one that waits, so no wait lasts longer than interrupt_poll_ms without a look.
int interrupted_by();
constexpr int interrupt_poll_ms = 50;

// Ends the process by `signal_number`'s default action, once cleaned up after
// an interrupt, so the parent sees death by that signal.
[[noreturn]] void die_by_signal(int signal_number);
