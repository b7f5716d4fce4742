// Commands whose output the tool reads: one runner over the shell seam, with one error path.
#pragma once

#include <functional>

#include "vxLog.h"

// Runs `command` with Sys().Popen in mode "r", hands each line of its output to `onLine` (read
// as ForEachLine reads: at most lineSize - 1 characters, the line end kept), then closes the
// pipe with Sys().Pclose without looking at the exit status. Returns 0; or -1 when the pipe
// cannot be created, after logging "popen <command> error!" with the tail of `origin`.
int ReadCommandLines(const char* command, int lineSize, const LogOrigin& origin,
                     const std::function<void(const char*)>& onLine);
