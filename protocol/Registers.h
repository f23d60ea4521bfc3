#pragma once
#include <cstdint>

// Standard register functions, framed by hand (values low byte first, as the
// detectors' register window speaks them). Each returns the library's receive
// result: the registers read (3, 4), 1 (6) or the registers written (16), or 0
// or less on failure. Reads copy data only from a normal reply of the asked
// size; writes succeed only when the reply echoes them. Addresses are wire addresses (40,002 is 1).
int ReadInputRegisters(unsigned count, unsigned firstAddress, uint16_t* destination);
int ReadHoldingRegisters(unsigned count, unsigned firstAddress, uint16_t* destination);
int WriteSingleRegister(uint16_t value, unsigned address);
int WriteMultipleRegisters(unsigned count, unsigned firstAddress, const uint16_t* values);

// Largest counts one frame carries.
constexpr unsigned kMaxReadRegisters = 125;
constexpr unsigned kMaxWriteRegisters = 123;
