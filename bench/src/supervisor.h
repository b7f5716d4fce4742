// The supervisor of a run: PID 1 of the run's PID namespace. It builds the fake root, starts
// the simulated board and fixture, runs the tool in the fake root, follows it, and writes the
// run record and the artifacts to the output folder (it keeps the host's root for that).
#pragma once

#include <string>

#include "options.h"
#include "scenario.h"

namespace bench {

struct RunPaths {
    std::string rootDir;  // empty folder on the host that becomes the fake root
    std::string outDir;   // output folder on the host
};

// Exit code of the bench: 0 when the record was written, 3 when the run could not be made.
int RunSupervisor(const Options& options, const Scenario& scenario, const RunPaths& paths);

}  // namespace bench
