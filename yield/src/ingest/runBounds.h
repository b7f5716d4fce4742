// What one stored run may hold. A log is the board's to write but anyone's to forge: a run past
// these bounds is cut to them before it is stored, and the ingest lists it with the reasons.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "parse/runRecord.h"

namespace yield {

// A host name, processor ID or start stamp: the most a name part can take. Longer ones are
// shortened as the board shortens its archive-name parts.
constexpr size_t kMaxNameBytes = 255;
// The port counters are 8-bit: at most 255 ports a family, seven families.
constexpr int kMaxPortNumber = 255;
constexpr size_t kMaxPorts = size_t{7} * kMaxPortNumber;
constexpr size_t kMaxTallies = 2 * kMaxPorts;  // a tally per port and output state at most
// Free texts: args, build and version, and each text of a measurement or failure line.
constexpr size_t kMaxTextBytes = 1024;
constexpr size_t kMaxResultDocBytes = size_t{64} * 1024;  // a full board's document is half of this
// A thousand cycles of a full board stay well within these.
constexpr size_t kMaxMeasurements = 200000;
constexpr size_t kMaxFailureLines = 20000;

// `value` when it fits in `maxBytes`; else its beginning (cut between UTF-8 characters), "~" and
// the 8 upper-case hex digits of the whole value's checksum, as the board shortens its archive-name
// parts, `maxBytes` in all.
std::string ShortValue(std::string_view value, size_t maxBytes);

// Cuts `run` to the bounds above. A run with more ports or tallies than a board can have keeps
// its verdict and loses its ports and tallies. Returns what was cut, one reason each; empty when
// the run was within the bounds.
std::vector<std::string> BoundRun(RunRecord& run);

}  // namespace yield
