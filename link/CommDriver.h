#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "wire/SerialPort.h"

// The serial port driver of the raw link: up to two ports, each with a read
// thread that collects every received byte in a 1 MiB ring and a write thread
// that sends the blocks handed to CommWrite in order. The single-port calls
// act on the current port index, which the callers own: they store what
// StartComm returned and set -1 after StopComm.

constexpr int kCommSlots = 2;
constexpr size_t kCommReadChunk = 2048;   // bytes asked of the port per read
constexpr size_t kCommConfigMax = 259;    // longest port description accepted

// Cleans a port description the way StartComm does: an optional "\\.\" prefix
// and leading blanks go, a ';' starts a comment, trailing blanks go. False
// (and `out` untouched) when what is left is shorter than 5 characters, holds
// no ':', or the description is longer than kCommConfigMax.
bool NormalizeCommConfig(const char* config, std::string* out);

// Opens the port of a description ("COM3:921600,n,8,1", "/dev/ttyUSB0:9600,n,8,1")
// in the first free slot and starts its threads. Returns the slot or -1.
int StartComm(const char* config);
// Why the last StartComm failed, for people (the port's own text when it
// could not be opened); empty after a success.
std::string LastStartCommError();
// Stops the current port's threads and frees its slot (the index stays as it is).
void StopComm();
// Stops the port in `slot`, if any.
void StopCommSlot(int slot);

// Hands a copy of the block to the current port's write thread: 1 when
// handed over, 0 when there is no current port or no write thread.
int CommWrite(const uint8_t* data, size_t length);

// Moves up to max bytes, oldest first, from the slot's ring into buf.
size_t GetFromRXQueue(int slot, uint8_t* buf, size_t max);
// The same, with the ring's overwritten count at the moment of the take.
size_t GetFromRXQueue(int slot, uint8_t* buf, size_t max, uint64_t* overwrittenOut);
// What the read thread does with each read; 0 when nothing was queued.
int PutInRXQueue(int slot, const uint8_t* data, size_t n);

// which 0: drops output not yet sent; which 1: empties the ring and the port's
// input. Returns 0 or the errno of a failed flush; -1 with no current port or
// another `which`.
int PurgeCommQueue(int which);
// Empties the slot's ring and discards the port's pending input, as a part
// does that takes a port over. False when the slot holds no port.
bool EmptyCommRx(int slot);

// Bytes waiting in the current port's ring, with the total received since the
// start in *totalOut; 0 and 0 with no current port.
uint32_t GetCommStats(uint64_t* totalOut);
// Bytes the current port's ring overwrote unread since its start; 0 with no current port.
uint64_t CommOverwritten();
// Bytes waiting in the current port's ring ("BytesAvail").
uint32_t CommBytesAvail();

bool CommSlotOpen(int slot);
// Whether the slot's read or write thread still runs (a degraded slot has lost one).
bool CommReadThreadRunning(int slot);
bool CommWriteThreadRunning(int slot);

int CurrentCommPort();
void SetCurrentCommPort(int slot);

// Stops both slots, closes mcommcode.dat and sets the current index to -1.
void ResetCommDriver();

// Line error bits as the comm log shows them (the Win32 values).
constexpr unsigned long CE_RXOVER = 0x1;
constexpr unsigned long CE_OVERRUN = 0x2;
constexpr unsigned long CE_RXPARITY = 0x4;
constexpr unsigned long CE_FRAME = 0x8;
// The bits of the error counts that rose from `before` to `now`. A count that
// fell was reset by the driver and is no error.
unsigned long LineErrorBits(const SerialPort::ErrorCounts& before, const SerialPort::ErrorCounts& now);
// The names of the bits joined by " and " ("CE_FRAME and CE_RXPARITY"),
// "NULL Error" for none, "EV_ERR Unknown EvtMask" for a bit without a name.
std::string LineErrorText(unsigned long bits);
