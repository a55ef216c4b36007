// Standard output that could not be written (a full disk, a closed descriptor): said once on
// standard error and turned into exit status 1, the way the standard tools check their output
// at exit, rather than taken for success.
#pragma once

#include <cstdio>

// Flushes `out`. The first time in the run that a write to it has failed, says so on standard
// error as perror does, "<report>: <the system's text>\n" (`report` being, say, "snoozer: write
// error"); never again after that, whichever thread (or child made by fork after it) finds
// the next failure. Returns whether everything written to `out` so far went out.
bool flush_output(std::FILE* out, const char* report) noexcept;

// The exit status of a program about to end with `status`: 1 instead of 0 when some of its
// standard output could not be written (flushed and reported first).
int output_status(const char* report, int status) noexcept;

// Holds each standard descriptor that the program was started without ("<&-", ">&-") with
// /dev/null opened the other way: a descriptor the program opens later (a socket, say) never
// becomes its standard input or output, and reading or writing through the held one fails as
// through the closed one (EBADF).
void hold_closed_standard_streams() noexcept;
