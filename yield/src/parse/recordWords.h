// The words a run record holds and the store keeps: a run's verdict and a measurement's outcome,
// each defined once here for the code (the constants) and for the SQL texts that compare them
// (the macros, for sqlText.h to join into its literals).
#pragma once

#define YIELD_VERDICT_OK "OK"
#define YIELD_VERDICT_ERR "ERR"
#define YIELD_VERDICT_INCOMPLETE "INCOMPLETE"
#define YIELD_OUTCOME_PASS "pass"
#define YIELD_OUTCOME_FAIL "fail"
#define YIELD_OUTCOME_INFO "info"

namespace yield {

inline constexpr char kVerdictWordOk[] = YIELD_VERDICT_OK;
inline constexpr char kVerdictWordErr[] = YIELD_VERDICT_ERR;
inline constexpr char kVerdictWordIncomplete[] = YIELD_VERDICT_INCOMPLETE;
// A measurement judged within its limits, outside them, or reported and not judged.
inline constexpr char kOutcomePass[] = YIELD_OUTCOME_PASS;
inline constexpr char kOutcomeFail[] = YIELD_OUTCOME_FAIL;
inline constexpr char kOutcomeInfo[] = YIELD_OUTCOME_INFO;

}  // namespace yield
