#pragma once
#include "protocol/Dcb.h"

// Opening and switching the link between the library context and the serial
// driver. All of these run on the thread that drives the link.

// Creates, selects and connects a library context for Wire().port with the
// usual log lines. Returns the context (stored in Wire().ctx) or null; a
// context that cannot connect is closed and freed again.
struct modbus_t;
modbus_t* OpenModbusContext();

// Closes and frees the library context, if there is one; the port is free after it.
void CloseModbusContext();

// Hands the port to the serial driver (link mode 1); false with link mode -1.
bool OpenRawLink();

// 1: from the library to the raw link; 0: back. Returns 1 when switched, 0 when
// already in that mode or the way back failed, -1 when the raw link cannot open.
int SwitchComm(int on);

// Reopens whichever side owns the port with the current Wire().port settings.
// On failure the link mode is -1 so that nothing is sent on a dead link.
bool ReopenLink();
