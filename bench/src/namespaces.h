// The isolation of a run: private mount, PID, IPC and UTS namespaces, and a user namespace
// (mapping the caller to root) when not run as root. The host's mounts, host name, processes
// and message queues stay out of reach.
#pragma once

#include <string>

#include "options.h"
#include "scenario.h"

namespace bench {

// Unshares the namespaces for the caller (the PID namespace takes effect for its next child)
// and makes every mount private. False with a message saying what the machine lacks.
bool EnterNamespaces(bool& userNamespace, std::string& error);

// What a run needs from the machine before it starts; empty when all is there.
std::string MissingPrerequisite(const Scenario& scenario, const Options& options);

}  // namespace bench
