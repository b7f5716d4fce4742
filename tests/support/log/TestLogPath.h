// The trace log's path for a test program built from the tool's libraries without the tool's
// main: the tool defines `filename`, the path its log is written to, beside main
// (hwtest/devuzeV7.cpp). Link the `devuze_test_log` library instead and the log goes where the
// tool's goes on the board, /NandFlash/tmp/deVuzeV7.log: right for a program the bench runs in
// place of the tool. A program run on the host calls UsePrivateLog() before anything logs.
#pragma once

#include <string>

namespace testlog {

// Points the log at deVuzeV7.log in a fresh folder "devuze-<tag>-XXXXXX" under $TMPDIR (or
// /tmp), removed with its content when the program exits. Returns the log's path. Aborts when
// no folder can be made: a test program must never fall back to the board's path on a host.
const std::string& UsePrivateLog(const std::string& tag);

}  // namespace testlog
