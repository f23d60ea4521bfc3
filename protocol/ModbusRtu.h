#pragma once
// The Modbus RTU library contract the transport is written against: the
// classic libmodbus names, plus the extras the record protocol needs (raw
// frame send and receive with our own length rules, the swapped CRC, the
// hand-framed standard mode). Our own small layer over SerialPort: stock
// libmodbus stops at 256-byte frames and takes every function code with bit 7
// set for an exception.
#include <cstddef>
#include <cstdint>

#include "wire/Crc16.h"

struct modbus_t;

// Protocol modes of modbus_set_proto.
constexpr int MODBUS_PROTO_RECORD = 1;    // record frames, function 0xC8
constexpr int MODBUS_PROTO_STANDARD = 2;  // hand-framed standard functions 3, 4, 6, 16

// errno values of our failures, beside the system's (ETIMEDOUT, EIO...).
constexpr int MODBUS_ENOBASE = 112345678;  // + exception code of an exception reply
constexpr int EMBBADCRC = MODBUS_ENOBASE + 100;
constexpr int EMBBADDATA = MODBUS_ENOBASE + 101;  // wrong function, garbage, short frame
constexpr int EMBMDATA = MODBUS_ENOBASE + 102;    // frame longer than the buffer
constexpr int EMBBADCTX = MODBUS_ENOBASE + 103;   // no context, or one already freed
constexpr int EMBLINEFAULT = MODBUS_ENOBASE + 104; // our echo came back wrong or not at all

// The version text the library reports (also written into the frame buffer
// on creation, so a caller can show it).
const char* modbus_library_version();

// Creates a context for the port (COMn, \\.\COMn or a device path). The frame
// buffer (capacity bytes) and frame length receive every frame the library
// sends; write_flag is the caller's marker byte for register writes. Any of
// the three may be null. Returns null when the port name or settings are bad.
modbus_t* modbus_new_rtu(const char* port, int baud, char parity, int data_bit, int stop_bit,
                         uint8_t* frame_buffer, size_t frame_capacity, uint32_t* frame_length,
                         uint8_t* write_flag, int reserved);
int modbus_set_slave(modbus_t* ctx, int slave);

// Serial modes of modbus_rtu_set_serial_mode, as libmodbus numbers them.
constexpr int MODBUS_RTU_RS232 = 0;
constexpr int MODBUS_RTU_RS485 = 1;  // the kernel's RS-485 mode: RTS on send
// Taken at the next modbus_connect; 0 or -1.
int modbus_rtu_set_serial_mode(modbus_t* ctx, int mode);
// An extra: 1 for an adapter that hands back every byte we send. Our own
// bytes are then read back and compared after each send; a mismatch fails the
// send (errno EMBLINEFAULT) and is logged. Taken at the next modbus_connect.
int modbus_rtu_set_echo(modbus_t* ctx, int on);

// Why the last modbus_connect failed, for people; empty after a success.
const char* modbus_connect_error(const modbus_t* ctx);
int modbus_connect(modbus_t* ctx);
// Connects the context to fd in place of its port: one end of a socket pair
// that stands in for the line in tests and fuzzing. The context owns fd from
// here on (closed on failure too). 0, or -1 with errno.
int modbus_connect_fd(modbus_t* ctx, int fd);
int modbus_set_debug(modbus_t* ctx, int flag);
int modbus_set_proto(modbus_t* ctx, int mode);
int modbus_flush(modbus_t* ctx);
void modbus_close(modbus_t* ctx);
void modbus_free(modbus_t* ctx);

// Standard function 6 with the standard (high byte first) value; 1 on success.
int modbus_write_register(modbus_t* ctx, int reg, int value);

// Sends slave address + bytes + CRC as one frame and returns once it left the
// port: the frame length, or -1 (errno says why).
int modbus_write_data(modbus_t* ctx, int length, const uint8_t* bytes);

// Receives one frame, address and CRC included, CRC-checked. The timeout is
// the wait for the first byte; after it an inter-byte gap ends a frame.
// Record mode returns the frame length; standard mode returns the registers
// read (3, 4), 1 (6) or the registers written (16), and -1 with
// errno MODBUS_ENOBASE + code for an exception reply. -1 on every failure.
int _modbus_receive_data(modbus_t* ctx, uint8_t* buffer, int max_length, int timeout_ms);

// The last frame the library sent (address and CRC included), as its frame
// buffer would hold it: copies up to `max` bytes into dest and returns how
// many; 0 before the first send, -1 without a live context.
int modbus_last_request(const modbus_t* ctx, uint8_t* dest, int max);

// Bytes the last receive stored in the caller's buffer, whatever its result;
// failure dumps show only these.
int modbus_last_received(const modbus_t* ctx);

// True while ctx is a context that was created and not yet freed.
bool modbus_context_alive(const modbus_t* ctx);
