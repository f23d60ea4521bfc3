#pragma once
#include <cstddef>
#include <cstdint>

// Record exchanges while the serial driver owns the port: the transport hands
// over block F, these add the address and CRC and use the driver and the frame
// checker.

// Sends a request and collects its answer into buffer (responseSize bytes at
// most). Returns the answer size (header + data + CRC), -1 on a frame error or
// timeout, 2 when the answer does not fit.
int RawGet(uint32_t slave, const uint8_t* block, size_t blockLength, uint8_t* buffer,
           unsigned responseSize, unsigned timeoutMs);

// Sends a record; true when the driver took it.
bool RawSet(uint32_t slave, const uint8_t* block, size_t blockLength);
