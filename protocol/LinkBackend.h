#pragma once
// What the transport needs of whichever side owns the port: the library
// context or the raw link's serial driver. The transport frames the records
// and judges the answers; a backend moves the bytes, with its own logs and
// waits. One backend is chosen when the link opens; none while it is closed
// or being switched.
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

// A record request as the transport built it (block F, without address and CRC).
struct RecordRequest {
    unsigned command;
    std::vector<uint8_t>* block;
    size_t length;  // bytes of the block that go out (fewer under a simulated error)
    bool quiet;     // a status poll while poll logging is off
};

class LinkBackend {
public:
    virtual ~LinkBackend() = default;
    // The link mode (LINK_MODBUS, LINK_RAW) under which this backend owns the port.
    virtual int mode() const = 0;
    // Whether it can carry an exchange now.
    virtual bool ready() const = 0;
    // Addresses the frames that follow to `address`; false when refused.
    virtual bool selectSlave(unsigned address) = 0;
    // Discards what arrived unasked.
    virtual void flush() = 0;
    // Sends the request to the current slave and takes its answer into buffer
    // (size bytes at most). Returns the answer's size, 2 when it does not fit
    // (raw link), or 0 or less on failure; *noAnswer tells whether a failure
    // means the detector did not answer.
    virtual int request(const RecordRequest& rq, uint8_t* buffer, unsigned size, unsigned waitMs,
                        unsigned timeoutMs, bool* noAnswer) = 0;
    // Sends the request and keeps the line quiet while it travels: 0 when sent, -1 when not.
    virtual int post(const RecordRequest& rq) = 0;
    // A hand-framed standard function (PDU without address and CRC): waits
    // waitMs after sending (dispatching messages), then takes the reply.
    // Returns the library's receive result.
    virtual int standard(const std::vector<uint8_t>& pdu, uint8_t* reply, int replyMax, unsigned waitMs,
                         unsigned timeoutMs) = 0;
    // Standard function 6 with the value high byte first, as the library
    // writes it; 1 on success.
    virtual int writeRegister(unsigned reg, unsigned value) = 0;
    // Whether a missing answer is reported to the main window.
    virtual bool reportsMissedAnswers() const = 0;
};

LinkBackend& ModbusBackend();
LinkBackend& RawBackend();

// The backend chosen when the link opened; null while closed or switching.
// Set only with the link lock held.
void SetLinkBackend(LinkBackend* backend);
LinkBackend* ChosenLinkBackend();
// The chosen backend while the link mode is still its own and it is ready.
LinkBackend* UsableLinkBackend();

// Held for every exchange: the link lock, and a mark that refuses exchanges
// nested through a message pump during one of the waits.
class ExchangeGuard {
public:
    ExchangeGuard();
    ~ExchangeGuard();
    ExchangeGuard(const ExchangeGuard&) = delete;
    ExchangeGuard& operator=(const ExchangeGuard&) = delete;
    bool nested() const { return nested_; }

private:
    std::lock_guard<std::recursive_mutex> lock_;
    bool nested_;
};

// Shared by the backends: pending simulated errors applied to a block as it
// leaves (returns the bytes that go out), and the silence after a record.
size_t ApplySimulatedErrors(std::vector<uint8_t>& block, bool allowGarbling);
void WaitOutRecord(size_t blockBytes);
