// Presence probe of the temperature/humidity sensor on one RS232 port of the fixture.
#pragma once

#include "portInfo.h"

// Sends "AT" on the open, configured port `stPort.fdPort` and expects a reply holding "OK".
// `szPath` only names the port in the log. Returns 0 and leaves `cSta` at STA_PASS when the sensor
// answered; otherwise returns -1 and sets STA_RECV_ERR (with STA_SEND_ERR after a short write).
// The descriptor stays open.
int THSensorTest(_tag_PortData_& stPort, const char* szPath);
