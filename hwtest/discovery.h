// Port discovery: how many ports of each family the board carries.
#pragma once

#include <cstdint>
#include <cstdio>

#include "portInfo.h"

// Sets cntRS485, cntRS232, cntDI, cntDO and cntAI of *pPortInfo from the device nodes,
// /etc/vxdio.conf and the IIO channels. Returns 0, or -1 when the pointer is null or a source
// cannot be opened (counts of earlier sources stay written).
int initPortInfo(_tag_VxPortInfo_* pPortInfo);

// Reads the DIO configuration: a "vx_di" / "vx_do" line gives one port plus one per "," after
// the key; the last such line wins; a key no line names keeps its count.
void CountDioConf(FILE* conf, uint16_t& cntDI, uint16_t& cntDO);
