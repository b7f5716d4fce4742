// Options and helpers that several subcommands share (the --db option itself is added by the
// subcommand table, subcommands.cpp).
#pragma once

#include <functional>
#include <ostream>
#include <string>

namespace CLI {
class App;
}

namespace yield {

struct RunFilter;

// --since and --until (YYYY-MM-DD, inclusive), --host and --station, filling `filter`.
void AddRunFilterOptions(CLI::App& cmd, RunFilter& filter);

// Throws UsageError when `output` is the database's file or one of its journals: writing it would
// destroy the database.
void RefuseDatabaseAsOutput(const std::string& db, const std::string& output);

// True for the output that means standard output: none given, or "-".
bool IsStandardOutput(const std::string& output);

// Writes `path` whole through `write`, or leaves it as it was and throws OutputError.
void WriteOutputFile(const std::string& path, const std::function<void(std::ostream&)>& write);

}  // namespace yield
