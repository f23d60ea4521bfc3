#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include "protocol/Commands.h"
#include "protocol/Dcb.h"
#include "protocol/ModbusRtu.h"
#include "wire/Frame.h"

// Who owns the port.
enum LinkMode : int {
    LINK_MODBUS = 0,      // the library context
    LINK_RAW = 1,         // the serial driver (raw frame link)
    LINK_SWITCHING = -1,  // switch acknowledged or failed: nothing is sent
    LINK_REQUESTED = -2,  // switch asked for, the poll clock has not yet stood aside
};

// Everything the wire keeps between exchanges, in one place so that a test or
// a reconnect can start from a clean slate.
struct WireState {
    modbus_t* ctx = nullptr;
    PortDescription port;         // host side settings, for reopening the link
    uint32_t slave = 1;           // current slave address
    uint32_t lastResponder = 255; // byte 0 of the last good response; 255: none yet, or a failure since
    bool responded = false;       // set by every good response (the poll clock reads it)
    uint32_t nonce = 0;           // bytes 11..14 of the last good response
    uint8_t tagCounter = 0;       // last command tag sent
    bool tagsActive = false;      // switched on once, never off
    bool useCmdTags = false;
    uint32_t dataRequestCounter = 0;
    int simulatedErrors1 = 0;     // pending: send 4 bytes short
    int simulatedErrors2 = 0;     // pending: send random bytes
    bool pollLogging = true;      // off: status polls are logged only while Alt is held
    bool exchangeActive = false;  // refuses exchanges nested through a message pump
    std::string openError;        // why the last open of the port failed, for people; empty after a success
};

WireState& Wire();
// The link mode is read by the poll clock thread as well.
std::atomic<int>& LinkModeWord();
// Held for every exchange and address change; re-entrant for its owner.
std::recursive_mutex& LinkLock();

// Clears the state (closing and freeing a context it holds) and the hooks.
void ResetWire();

// Addresses the detector the next exchanges talk to: the current slave
// address and the open link's. False for an address beyond 255 or one the
// link refuses.
bool SelectSlave(unsigned address);

// The speed the link was last opened at (0 before the first open). Any
// thread may read it; Wire().port.baud is the setting the next open uses.
unsigned LinkBaud();

// The receive-failure notice to the main window (its WM_USER 12222 message,
// with the result), installed by the window.
void SetReceiveFailureNotice(std::function<void(int result)> notice);

// ModbusGet's result for a record answer to another command than the one asked
// (a late answer of the same size).
constexpr int kAnswerToOtherCommand = -3;

// Sends a record request and receives the response into `buffer`, which holds
// the request payload on entry. `ctx` must be the link's own context
// (Wire().ctx); any other finds the link closed. Returns the count of frame bytes received, 0 or
// less on failure, -1 for an unsupported command, a stale tag, a failed raw
// exchange, a nested call or an answer from address 0 or above 247,
// kAnswerToOtherCommand, 2 when a raw answer does not fit the buffer.
int ModbusGet(unsigned payloadLength, unsigned command, modbus_t* ctx, uint8_t* buffer,
              unsigned responseSize, unsigned waitMs, unsigned timeoutMs);
int ModbusGetShort(unsigned responseSize, uint8_t* buffer, unsigned command, unsigned payloadLength);

// Sends a record without waiting for an answer: 0 when sent, -1 when not.
int ModbusSet(unsigned payloadLength, const uint8_t* payload, modbus_t* ctx, unsigned command);

// Holding register 40,001 of the current slave; 1 on success, 0 otherwise.
int ChangeDetectorAddress(unsigned newAddress);

// A transport result and the errno that came with it, for people: "no answer
// (timeout)", "CRC error", "exception 2"...
std::string TransportResultText(int result, int err);
// The exception code of a failed result that was an exception reply, else -1.
int TransportExceptionCode(int result, int err);

// The two bytes of the authorisation code as they go into F[4], F[5].
uint16_t AuthorisationCode(uint32_t nonce);

