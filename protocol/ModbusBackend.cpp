// The library context as a link backend.
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>

#include "protocol/LinkBackend.h"
#include "protocol/SecretMask.h"
#include "protocol/Transport.h"
#include "util/Log.h"
#include "util/PumpWait.h"

namespace {

class Modbus final : public LinkBackend {
public:
    int mode() const override { return LINK_MODBUS; }
    bool ready() const override { return modbus_context_alive(Wire().ctx); }
    bool selectSlave(unsigned address) override {
        return modbus_set_slave(Wire().ctx, static_cast<int>(address)) == 0;
    }
    void flush() override { modbus_flush(Wire().ctx); }

    int request(const RecordRequest& rq, uint8_t* buffer, unsigned size, unsigned waitMs, unsigned timeoutMs,
                bool* noAnswer) override {
        modbus_t* ctx = Wire().ctx;
        const uint8_t* f = rq.block->data();
        if (!rq.quiet) ProtocolLog("ModbusGet(%u):", rq.command);
        // An answer that came too late for an earlier request must not pass for
        // the answer to this one.
        flush();
        const int sent = modbus_write_data(ctx, static_cast<int>(rq.length), f);
        if (!rq.quiet) HexDumpMasked(f, std::min<size_t>(rq.length, 20), DumpFrom::Function, Side::Request);
        if (sent <= 0) {
            ProtocolLog("ModbusGet(%u)> ERROR modbus_write_data (%d)\n", rq.command, sent);
            ProtocolLog("nb = %d, errno = %d\n", static_cast<int>(rq.length), errno);
            return sent;
        }
        if (!rq.quiet) ProtocolLog("ModbusGet> modbus_write_data - success\n");
        std::this_thread::sleep_for(std::chrono::milliseconds(waitMs));
        // A baud-rate or raw-link switch during the wait took the port away.
        if (LinkModeWord().load() != LINK_MODBUS) return -1;

        const int r = _modbus_receive_data(ctx, buffer, static_cast<int>(size), static_cast<int>(timeoutMs));
        if (r <= 0) {
            *noAnswer = true;
            if (!rq.quiet) {
                ProtocolLog("ModbusGet(%u)> ERROR _modbus_receive_data (%d)\n", rq.command, r);
                ProtocolLog("errno = %d\n", errno);
                HexDumpMasked(buffer, std::min<size_t>(static_cast<size_t>(modbus_last_received(ctx)), 48),
                              DumpFrom::Address, Side::Answer, rq.command);
            }
            return r;
        }
        if (!rq.quiet) {
            ProtocolLog("ModbusGet(%u)> _modbus_receive_data(%u) - success\n", rq.command, static_cast<unsigned>(r));
            HexDumpMasked(buffer, std::min<size_t>(static_cast<size_t>(r), 1024), DumpFrom::Address, Side::Answer,
                          rq.command);
        }
        return r;
    }

    int post(const RecordRequest& rq) override {
        if (!rq.quiet) ProtocolLog("ModbusSet(%u):", rq.command);
        const size_t n = ApplySimulatedErrors(*rq.block, false);
        const uint8_t* f = rq.block->data();
        const int sent = modbus_write_data(Wire().ctx, static_cast<int>(n), f);
        WaitOutRecord(n);
        if (!rq.quiet) HexDumpMasked(f, std::min<size_t>(n, 20), DumpFrom::Function, Side::Request);
        if (sent <= 0) {
            ProtocolLog("ModbusSet(%u)> ERROR modbus_write_data (%d)\n", rq.command, sent);
            ProtocolLog("nb = %d, errno = %d\n", static_cast<int>(n), errno);
            return -1;
        }
        if (!rq.quiet) ProtocolLog("ModbusSet> modbus_write_data - success\n");
        return 0;
    }

    int standard(const std::vector<uint8_t>& pdu, uint8_t* reply, int replyMax, unsigned waitMs,
                 unsigned timeoutMs) override {
        modbus_t* ctx = Wire().ctx;
        modbus_set_proto(ctx, MODBUS_PROTO_STANDARD);
        flush();
        int rc = modbus_write_data(ctx, static_cast<int>(pdu.size()), pdu.data());
        if (rc > 0) {
            PumpWait(waitMs);
            rc = _modbus_receive_data(ctx, reply, replyMax, static_cast<int>(timeoutMs));
        }
        modbus_set_proto(ctx, MODBUS_PROTO_RECORD);
        return rc;
    }

    int writeRegister(unsigned reg, unsigned value) override {
        return modbus_write_register(Wire().ctx, static_cast<int>(reg), static_cast<int>(value));
    }

    bool reportsMissedAnswers() const override { return true; }
};

}  // namespace

LinkBackend& ModbusBackend() {
    static Modbus backend;
    return backend;
}
