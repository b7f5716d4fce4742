// What failed a run, for the failure Pareto by cause: a device all of whose ports a run tested
// failed (more than one: a missing DIO device, one USB stick of two) is one cause, said once for
// the device; any other failed port is its own cause; a failed run that names no failing port (a
// set-up failure) has kNoPortCause. The store keeps each failed run's causes at ingest; its check
// makes them again in SQL by the same rule.
#pragma once

#include <string>
#include <vector>

#include "parse/recordWords.h"
#include "parse/runRecord.h"

namespace yield {

// The device a family's ports belong to: families that share one device are named after it.
std::string DeviceOf(const std::string& family);

// The causes of a run with `verdict` whose ports are `ports` (each port once): each failed
// device whole, then each other failed port. Empty unless something failed.
std::vector<std::string> RunCauses(const std::vector<PortResult>& ports, Verdict verdict);

}  // namespace yield
