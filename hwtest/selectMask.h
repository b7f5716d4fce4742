// Bits of iPortSelect: which optional families a run tests and reports.
#pragma once

inline constexpr int kSelectDio = 1;    // DO and DI
inline constexpr int kSelectRs232 = 2;  // RS232
inline constexpr int kSelectRs485 = 4;  // RS485 (reported only; there is no RS485 test)
inline constexpr int kSelectAll = kSelectDio | kSelectRs232 | kSelectRs485;
