#include "protocol/SwitchComm.h"

#include "link/CommDriver.h"
#include "link/Comproc.h"
#include "protocol/LinkBackend.h"
#include "protocol/Transport.h"
#include "util/Log.h"
#include "util/PumpWait.h"

namespace {

// Asks the poll clock to stand aside and gives a poll in flight time to end.
void requestSwitch() {
    std::atomic<int>& mode = LinkModeWord();
    SetLinkBackend(nullptr);
    mode = LINK_REQUESTED;
    for (int i = 0; i < 50 && mode.load() == LINK_REQUESTED; ++i) PumpWait(10);
    PumpWait(1000);
    mode = LINK_SWITCHING;
}

void stopRawPort() {
    if (ChosenLinkBackend() == &RawBackend()) SetLinkBackend(nullptr);
    if (CurrentCommPort() >= 0) {
        StopComm();
        SetCurrentCommPort(-1);
    }
}

}  // namespace

void CloseModbusContext() {
    std::lock_guard lock(LinkLock());
    WireState& w = Wire();
    if (ChosenLinkBackend() == &ModbusBackend()) SetLinkBackend(nullptr);
    if (!w.ctx) return;
    modbus_close(w.ctx);
    modbus_free(w.ctx);
    w.ctx = nullptr;
}

modbus_t* OpenModbusContext() {
    WireState& w = Wire();
    CloseModbusContext();
    const PortDescription& p = w.port;
    w.ctx = modbus_new_rtu(p.portName.c_str(), static_cast<int>(p.baud), p.parity,
                           static_cast<int>(p.dataBits), static_cast<int>(p.stopBits), nullptr, 0,
                           nullptr, nullptr, 0);
    if (!w.ctx) {
        DebugLog("modbus_new_rtu(%s) failed...", DescriptionText(p).c_str());
        w.openError = "cannot use the port description " + DescriptionText(p);
        return nullptr;
    }
    DebugLog("modbus_new_rtu(%s) success.", DescriptionText(p).c_str());
    // The new context talks to the slave selected before it.
    if (ModbusBackend().selectSlave(w.slave))
        DebugLog("modbus_set_slave(%u) success.", w.slave);
    else
        DebugLog("modbus_set_slave(%u) failure...", w.slave);
    modbus_rtu_set_serial_mode(w.ctx, p.rs485 ? MODBUS_RTU_RS485 : MODBUS_RTU_RS232);
    modbus_rtu_set_echo(w.ctx, p.echo);
    if (modbus_connect(w.ctx) == -1) {
        DebugLog("modbus_connect() failure...");
        w.openError = modbus_connect_error(w.ctx);
        CloseModbusContext();
        return nullptr;
    }
    w.openError.clear();
    DebugLog("modbus_connect() success.");
    modbus_set_debug(w.ctx, logs::protocolActive());
    SetLinkBackend(&ModbusBackend());
    return w.ctx;
}

bool OpenRawLink() {
    const PortDescription& p = Wire().port;
    stopRawPort();
    const int slot = StartComm(ModeString(p).c_str());
    SetCurrentCommPort(slot);
    if (slot < 0) {
        LinkModeWord() = LINK_SWITCHING;
        DebugLog("SwitchComm> mOpenComm(%s) failed...", ModeString(p).c_str());
        Wire().openError = LastStartCommError();
        return false;
    }
    Wire().openError.clear();
    LinkModeWord() = LINK_RAW;
    SetLinkBackend(&RawBackend());
    ResetComproc();
    return true;
}

int SwitchComm(int on) {
    std::lock_guard lock(LinkLock());
    WireState& w = Wire();
    const int mode = LinkModeWord().load();
    if (on) {
        if (mode != LINK_MODBUS) return 0;
        const uint32_t slave = w.slave;
        requestSwitch();
        CloseModbusContext();
        if (!OpenRawLink()) return -1;
        if (w.slave != slave) {
            SelectSlave(slave);
            w.lastResponder = slave;
            ProtocolLog("SwitchComm(Fixed) slave_addr %d, slave %d", static_cast<int>(slave),
                        static_cast<int>(slave));
        }
        return 1;
    }
    if (mode == LINK_MODBUS) return 0;
    requestSwitch();
    stopRawPort();
    if (!OpenModbusContext()) return 0;
    LinkModeWord() = LINK_MODBUS;
    return 1;
}

bool ReopenLink() {
    std::lock_guard lock(LinkLock());
    if (LinkModeWord().load() == LINK_RAW) return OpenRawLink();
    CloseModbusContext();
    if (!OpenModbusContext()) {
        LinkModeWord() = LINK_SWITCHING;
        return false;
    }
    LinkModeWord() = LINK_MODBUS;
    return true;
}
