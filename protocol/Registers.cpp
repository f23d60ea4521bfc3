#include "protocol/Registers.h"

#include <algorithm>
#include <cerrno>
#include <vector>

#include "protocol/LinkBackend.h"
#include "protocol/ModbusRtu.h"
#include "util/Log.h"

namespace {

// Sends one standard request and takes its reply, as every exchange: under
// the link lock, refused when nested in another's wait.
int exchange(const std::vector<uint8_t>& pdu, uint8_t* reply, int replyMax) {
    ExchangeGuard guard;
    if (guard.nested()) {
        ProtocolLog("Standard function %u> refused: another exchange is in progress", pdu[0]);
        return -1;
    }
    LinkBackend* link = UsableLinkBackend();
    return link ? link->standard(pdu, reply, replyMax, 200, 2000) : -1;
}

void putWord(std::vector<uint8_t>& pdu, unsigned v) {
    pdu.push_back(static_cast<uint8_t>(v >> 8));
    pdu.push_back(static_cast<uint8_t>(v));
}

int read(uint8_t function, unsigned count, unsigned first, uint16_t* destination) {
    if (count == 0 || count > kMaxReadRegisters || first > 0xFFFF || !destination) return -1;
    std::vector<uint8_t> pdu{function};
    putWord(pdu, first);
    putWord(pdu, count);
    uint8_t reply[kMaxReadRegisters * 2 + 5];
    const int rc = exchange(pdu, reply, static_cast<int>(count * 2 + 5));
    // Only a normal reply that carries exactly the asked words is data.
    if (rc == static_cast<int>(count) && reply[2] == count * 2)
        for (unsigned i = 0; i < count; ++i)
            destination[i] = static_cast<uint16_t>(reply[3 + 2 * i] | reply[4 + 2 * i] << 8);
    return rc;
}

// A write is acknowledged only by the echo of what was written: function,
// address and value (6) or count (16). Any other reply reports a write that
// did not happen.
int echoed(int rc, const std::vector<uint8_t>& pdu, const uint8_t* reply) {
    if (rc <= 0 || std::equal(pdu.begin(), pdu.begin() + 5, reply + 1)) return rc;
    ProtocolLog("Standard function %u> the reply echoes another write", pdu[0]);
    errno = EMBBADDATA;
    return -1;
}

}  // namespace

int ReadInputRegisters(unsigned count, unsigned firstAddress, uint16_t* destination) {
    return read(4, count, firstAddress, destination);
}

int ReadHoldingRegisters(unsigned count, unsigned firstAddress, uint16_t* destination) {
    return read(3, count, firstAddress, destination);
}

int WriteSingleRegister(uint16_t value, unsigned address) {
    if (address > 0xFFFF) return -1;
    std::vector<uint8_t> pdu{6};
    putWord(pdu, address);
    pdu.push_back(static_cast<uint8_t>(value));
    pdu.push_back(static_cast<uint8_t>(value >> 8));
    uint8_t reply[8];
    return echoed(exchange(pdu, reply, sizeof reply), pdu, reply);
}

int WriteMultipleRegisters(unsigned count, unsigned firstAddress, const uint16_t* values) {
    if (count == 0 || count > kMaxWriteRegisters || firstAddress > 0xFFFF || !values) return -1;
    std::vector<uint8_t> pdu{16};
    putWord(pdu, firstAddress);
    putWord(pdu, count);
    pdu.push_back(static_cast<uint8_t>(count * 2));
    for (unsigned i = 0; i < count; ++i) {
        pdu.push_back(static_cast<uint8_t>(values[i]));
        pdu.push_back(static_cast<uint8_t>(values[i] >> 8));
    }
    uint8_t reply[8];
    return echoed(exchange(pdu, reply, sizeof reply), pdu, reply);
}
