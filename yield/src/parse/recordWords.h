// The words a run record holds and the store keeps: a run's verdict, a measurement's outcome and
// its unit, each defined once here for the code (the constants) and for the SQL texts that compare
// them (the macros, for sqlText.h to join into its literals).
#pragma once

#define YIELD_VERDICT_OK "OK"
#define YIELD_VERDICT_ERR "ERR"
#define YIELD_VERDICT_INCOMPLETE "INCOMPLETE"
#define YIELD_OUTCOME_PASS "pass"
#define YIELD_OUTCOME_FAIL "fail"
#define YIELD_OUTCOME_INFO "info"
#define YIELD_UNIT_VOLTS "V"

namespace yield {

inline constexpr char kVerdictWordOk[] = YIELD_VERDICT_OK;
inline constexpr char kVerdictWordErr[] = YIELD_VERDICT_ERR;
inline constexpr char kVerdictWordIncomplete[] = YIELD_VERDICT_INCOMPLETE;
// A measurement judged within its limits, outside them, or reported and not judged.
inline constexpr char kOutcomePass[] = YIELD_OUTCOME_PASS;
inline constexpr char kOutcomeFail[] = YIELD_OUTCOME_FAIL;
inline constexpr char kOutcomeInfo[] = YIELD_OUTCOME_INFO;
// A measurement's unit: the analogue readings are those in volts.
inline constexpr char kUnitBytes[] = "bytes";
inline constexpr char kUnitCounts[] = "counts";
inline constexpr char kUnitLevel[] = "level";
inline constexpr char kUnitVolts[] = YIELD_UNIT_VOLTS;

}  // namespace yield
