// The role of a file's row (source_files.role), defined once for the code (the constants) and
// for the SQL texts that compare it (the macros, for sqlText.h to join into its literals).
#pragma once

#define YIELD_ROLE_KEPT "kept"
#define YIELD_ROLE_COPY "copy"
#define YIELD_ROLE_PROBLEM "problem"
#define YIELD_ROLE_UNREAD "unread"

namespace yield {

// The copy the run's data comes from.
inline constexpr char kRoleKept[] = YIELD_ROLE_KEPT;
// Another copy of a run, no more complete than the kept one.
inline constexpr char kRoleCopy[] = YIELD_ROLE_COPY;
// A file that held no run.
inline constexpr char kRoleProblem[] = YIELD_ROLE_PROBLEM;
// A problem the file could not be read for: its size and time never make it "unchanged", so it
// is tried again at every ingest.
inline constexpr char kRoleUnread[] = YIELD_ROLE_UNREAD;

}  // namespace yield
