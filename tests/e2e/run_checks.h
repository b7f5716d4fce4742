// Small readings of a run record shared by the run, indication, archive and USB tests.
#pragma once

#include <string>
#include <vector>

#include "bench_run.h"

namespace e2e {

// The value of the log line "<prefix><value>", or "" when there is none.
std::string LogValue(const BenchRun& run, const std::string& prefix);

// Texts of the DIO text commands, optionally only those after the last / before the first
// ioctl request (by time).
std::vector<std::string> CommandTexts(const BenchRun& run);
std::vector<std::string> CommandsAfterLastIoctl(const BenchRun& run);
std::vector<std::string> CommandsBeforeFirstIoctl(const BenchRun& run);
// Without the blink timer's "SON=5,4" / "SOFF=5,4".
std::vector<std::string> WithoutBlink(const std::vector<std::string>& texts);

// Time of the first ioctl with argument `arg` (ms), or -1.
double FirstIoctlTime(const BenchRun& run, int arg);

// Number of messages equal to `message`.
int CountMessages(const BenchRun& run, const std::string& message);

// The archive's time stamp and the names the run's archive should carry.
struct ArchiveNames {
    std::string flash;    // /NandFlash/test/deVuzeV7_H[I]_T[V].log
    std::string moved;    // /NandFlash/tmp/deVuzeV7_H[I]_T.log
    std::string onStick;  // TestQ7[V]/deVuzeV7_H[I]_T.log, relative to a mount point
};
ArchiveNames ExpectedArchive(const std::string& host, const std::string& id,
                             const std::string& stamp, const std::string& verdict);

}  // namespace e2e
