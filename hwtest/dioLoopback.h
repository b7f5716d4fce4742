// Digital output/input loop-back test: drives every output to one level, reads it back, then
// reads the input the fixture wires to it.
#pragma once

#include <cstdint>
#include <vector>

#include "portInfo.h"

// Fixture wiring: DO1->DI1, DO2->DI2, DOk->DI(k+2) from k = 3, SDO1->DI4, SDO2->DI3.
// vDoPort holds DO1..DOn then SDO1, SDO2; vDiPort holds DI1... Entries end as 3 (passed),
// 4 (failed) or 0 (not reached). An output whose paired input is beyond nDiCnt is not
// checked against it and fails (4); nothing is written past either vector. A DO or DI number
// past 127, which no port index byte can name, is never requested: its entry fails (4) with one
// log line ("DO%d has no port index, Err!", "DI%d ..."), and an output paired with such an
// input fails as one whose input is missing.
// iLevel 0 switches the outputs off, 1 on. Returns 0, or -1 when the device did not open
// (the entries are then left as they were).
int DIOTest(uint16_t nDoCnt, uint16_t nDiCnt, int iLevel, std::vector<_tag_PortData_>& vDoPort,
            std::vector<_tag_PortData_>& vDiPort);

// The same test on the DIO device at `path`.
int DIOTestOn(const char* path, uint16_t nDoCnt, uint16_t nDiCnt, int iLevel,
              std::vector<_tag_PortData_>& vDoPort, std::vector<_tag_PortData_>& vDiPort);
