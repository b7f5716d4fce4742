// Trace log: one numbered, time-stamped line per call, appended to the file named by `filename`.
#pragma once

#include "traceLogFormat.h"

// Path of the trace log. Defined by the run's own unit; tests may point it elsewhere.
extern const char* filename;

// Appends one line "<n>=[<name>][YYYY-MM-DD hh:mm:ss] <message>" to `filename`.
// Returns -1 when `name` is null (nothing written), else 1 whether or not the line reached the
// file. After 20,000 lines the log moves to "<filename>.bak" and numbering starts again at 0.
// Not safe for simultaneous calls.
int trace_log(const char* name, const char* fmt, ...) __attribute__((format(printf, 2, 3)));

// The caller tail as a literal, for joining to a message's literal format.
#define VXLOG_CALLER_TAIL "\t%s %s line=%d\n"
static_assert(tracefmt::SameText(VXLOG_CALLER_TAIL, tracefmt::kCallerTailFmt));

// Every message of the tool: the caller's text, then "\t<module> <function> line=<n>\n".
// The translation unit defines `kLogModule`, the module name shown in the tail.
#define RTLOG(fmt, ...)                                                                     \
    trace_log(tracefmt::kTag, fmt VXLOG_CALLER_TAIL __VA_OPT__(, ) __VA_ARGS__, kLogModule, \
              __func__, __LINE__)

// The same, naming `func` instead of the calling function: a routine's helper functions report
// under the routine's name.
#define RTLOG_FROM(func, fmt, ...)                                                                \
    trace_log(tracefmt::kTag, fmt VXLOG_CALLER_TAIL __VA_OPT__(, ) __VA_ARGS__, kLogModule, func, \
              __LINE__)

// Where a message is issued from, for a shared helper that reports on its caller's behalf: the
// module, routine and line that the tail names.
struct LogOrigin {
    const char* module;
    const char* routine;
    int line;
};

// The calling function's origin, and the same naming `func` (as RTLOG_FROM does).
#define RTLOG_HERE() (LogOrigin{kLogModule, __func__, __LINE__})
#define RTLOG_HERE_FROM(func) (LogOrigin{kLogModule, func, __LINE__})

// RTLOG with the tail of `origin`.
#define RTLOG_AT(origin, fmt, ...)                                                               \
    trace_log(tracefmt::kTag, fmt VXLOG_CALLER_TAIL __VA_OPT__(, ) __VA_ARGS__, (origin).module, \
              (origin).routine, (origin).line)

// RTLOG_AT for a format held in a named constant (the macros above join a literal to the tail).
// Writes the same line RTLOG_AT writes for the same format and values.
void LogFormatAt(const LogOrigin& origin, const char* fmt, ...)
    __attribute__((format(printf, 2, 3)));

// RTLOG_FROM for a format held in a named constant, such as those of traceLogFormat.h.
#define RTLOG_FMT_FROM(func, fmt, ...) \
    LogFormatAt(RTLOG_HERE_FROM(func), fmt __VA_OPT__(, ) __VA_ARGS__)

namespace vxlog {
// Lines per log generation; the line after the last one triggers the rotation.
inline constexpr unsigned kLinesPerFile = 20000;
inline constexpr int kMessageBound = 20480;  // formatted message, terminator included
inline constexpr int kLineBufferSize = 20482;
// Sequence number the next line will carry (for tests).
unsigned NextLineNumber();
void ResetLineNumber();
}  // namespace vxlog
