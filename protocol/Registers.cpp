#include "protocol/Registers.h"

#include <vector>

#include "protocol/Transport.h"
#include "util/PumpWait.h"

namespace {

// Frames and sends one standard request, then takes its reply.
int exchange(const std::vector<uint8_t>& pdu, uint8_t* reply, int replyMax) {
    std::lock_guard lock(LinkLock());
    modbus_t* ctx = Wire().ctx;
    if (LinkModeWord().load() != LINK_MODBUS || !modbus_context_alive(ctx)) return -1;
    modbus_set_proto(ctx, MODBUS_PROTO_STANDARD);
    modbus_flush(ctx);
    int rc = modbus_write_data(ctx, static_cast<int>(pdu.size()), pdu.data());
    if (rc > 0) {
        PumpWait(200);
        rc = _modbus_receive_data(ctx, reply, replyMax, 2000);
    }
    modbus_set_proto(ctx, MODBUS_PROTO_RECORD);
    return rc;
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
    return exchange(pdu, reply, sizeof reply);
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
    return exchange(pdu, reply, sizeof reply);
}
