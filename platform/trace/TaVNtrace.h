#pragma once
// Trace output shared by every deliverable.
//
// Configuration comes from the environment and is read on every call, so a
// process (or a test) may change it at any time:
//   QELTRACE      highest level written; unset, 0 or not a number = off.
//   QELTRACEFILE  file the lines are appended to (created mode 0600);
//                 unset or empty = standard error.
// Each call writes one line:
//   "<UTC date> <time.ms> [<pid>:<tid>] <level> <module> <function>: <text>"
// with line feeds and carriage returns inside the text written as "\n" and
// "\r" so that one call stays one line. Lines of concurrent calls never
// interleave: calls of one process are serialized, and each line is one
// write to a file opened for appending, so processes sharing a file keep
// their lines whole too.

#include <cstdarg>

#include "qel_export.h"

#define TAVNTRACE_API QEL_EXPORT

extern "C" {

// Formats `format` with the values behind it, printf style, and writes the
// line when `level` <= QELTRACE; every active TraceCapture
// (TaVNtraceCapture.h) records the call whatever the level or setting.
//
// Conversions: %d %i %u %o %x %X %c %s %f %F %e %E %g %G %a %A %p %%, with
// flags, width, precision ("*" too) and the length modifiers hh h l ll j z t L.
// A "%l" not followed by a conversion letter (e.g. "Record %l has ...") takes
// one `long` and renders it in signed decimal. A null %s renders "(null)".
// An unknown conversion is copied as it stands and takes no value; "%n" takes
// its pointer but writes nothing. A null module, function or format is
// recorded as "(null)".
//
// Never throws and never fails the caller: a line that cannot be written is
// dropped. Thread-safe. Returns 0 (callers do not look at it).
// REQUIRES: the values match the conversions of `format` (as for printf).
TAVNTRACE_API int TaVNOutputTrace(int level, const char* module, const char* function,
                                  const char* format, ...);

// As TaVNOutputTrace, with the values in a va_list (left unusable after the
// call, as with vprintf).
TAVNTRACE_API int TaVNOutputTraceV(int level, const char* module, const char* function,
                                   const char* format, va_list args);

}  // extern "C"
