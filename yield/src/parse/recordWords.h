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
// A failed run's causes (runCauses.h): a device whose every port failed, said as "DIO: all 13
// ports failed"; the families one device serves; a failed run that names no failing port.
#define YIELD_ALL_PORTS_WORD ": all "
#define YIELD_PORTS_FAILED_WORD " ports failed"
#define YIELD_DIO_DEVICE "DIO"
#define YIELD_DI_FAMILY "DI"
#define YIELD_DO_FAMILY "DO"
#define YIELD_NO_PORT_CAUSE "run failed, no port named"

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
inline constexpr char kAllPortsWord[] = YIELD_ALL_PORTS_WORD;
inline constexpr char kPortsFailedWord[] = YIELD_PORTS_FAILED_WORD;
inline constexpr char kDioDevice[] = YIELD_DIO_DEVICE;
inline constexpr char kDiFamily[] = YIELD_DI_FAMILY;
inline constexpr char kDoFamily[] = YIELD_DO_FAMILY;
inline constexpr char kNoPortCause[] = YIELD_NO_PORT_CAUSE;

}  // namespace yield
