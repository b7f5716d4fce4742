// Analogue inputs: every input must read 1.50 V to 1.70 V.
#pragma once

#include <cstdint>
#include <vector>

#include "portInfo.h"

// Reads input j (1..nCnt) from IIO channel j, or j+2 from the sixth input on, and leaves 3
// (in the window) or 0 in entry j-1. Returns -1 when a command cannot be started, else 0.
int ADCTest(uint16_t nCnt, std::vector<_tag_PortData_>& vecPort);

// The IIO channel that input j (from 1) is read from.
int AdcChannelOf(int input);
// The decimal number a raw line starts with, read as atoi reads it (leading blanks, a sign,
// digits; no digits give 0). Returns false, leaving nDatRead alone, when the number lies outside
// int: such a reading fails its input ("Err nDatRead:" with the line) on every build.
bool ReadRawValue(const char* line, int& nDatRead);
// A raw 12-bit reading in hundredths of a volt, rounded half up.
int AdcHundredthsOfVolt(int nDatRead);
