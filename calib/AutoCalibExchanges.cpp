#include "calib/AutoCalibExchanges.h"

#include "protocol/Commands.h"
#include "protocol/records/ByteOrder.h"
#include "protocol/records/ResponseHeader.h"
#include "util/Log.h"
#include "util/PumpWait.h"

namespace autocal {

namespace {
constexpr unsigned kTries = 3, kTriesApartMs = 100, kObjectApartMs = 300, kParamRetryMs = 150, kAfterWriteMs = 150;

bool From(const std::vector<uint8_t>& frame, unsigned address) {
    const auto h = DecodeHeader(frame);
    return h && h->address == address;
}
}  // namespace

std::optional<LiveRecord> Exchanges::live(unsigned address) {
    DebugLog("modbus_set_slave(%u)", address);
    for (unsigned i = 0; i < kTries; ++i) {
        if (i) link_.sleep(kTriesApartMs);
        const auto frame = link_.get(address, D_DATA2HOST, live::kSize);
        if (frame.size() == live::kSize && From(frame, address))
            if (auto rec = LiveRecord::Decode(frame)) return rec;
    }
    return std::nullopt;
}

bool Exchanges::broadcast(unsigned command, std::span<const uint8_t> payload, unsigned apartMs) {
    for (unsigned i = 0; i < kTries; ++i) {
        if (i) link_.sleep(apartMs);
        if (link_.set(0, command, payload)) return true;
    }
    return false;
}

bool Exchanges::broadcastIterations(uint32_t n) {
    std::vector<uint8_t> payload;
    le::append32(payload, n);
    return broadcast(D_CALIBRATION, payload, kTriesApartMs);
}

std::optional<CalibObject> Exchanges::readObject() {
    for (unsigned i = 0; i < kTries; ++i) {
        if (i) link_.sleep(kTriesApartMs);
        const auto frame = link_.get(kMasterAddress, D_CALIB_OBJECT, calrec::kObjectAnswerSize);
        if (From(frame, kMasterAddress))
            if (auto o = CalibObject::FromAnswer(kind_, frame)) return o;
    }
    return std::nullopt;
}

std::optional<std::vector<double>> Exchanges::readScale(unsigned address) {
    for (unsigned i = 0; i < kTries; ++i) {
        if (i) link_.sleep(kTriesApartMs);
        const auto frame = link_.get(address, D_CALIB_SCALE, calrec::LayoutOf(ParamKind::Ir).scaleAnswerSize);
        if (From(frame, address))
            if (auto s = DecodeScaleAnswer(kind_, frame)) return s;
    }
    return std::nullopt;
}

std::optional<ParamRecord> Exchanges::readParams(unsigned address) {
    for (unsigned i = 0; i < kTries; ++i) {
        if (i) link_.sleep(kParamRetryMs);
        link_.flush();
        const auto frame = link_.get(address, D_PARAM2HOST, kIrParamAnswerSize);
        if (frame.size() == ParamAnswerSize(kind_) && From(frame, address))
            if (auto rec = ParamRecord::FromAnswer(kind_, frame)) return rec;
    }
    return std::nullopt;
}

int Exchanges::burnSerial(unsigned address, uint32_t serial) {
    auto record = readParams(address);
    if (!record || !record->setValue("ordnum", 0, serial)) return -8;
    // An abort would cut the wire's silence after the long write short, and the
    // read-back request would run into the write still going out.
    struct Unabortable {
        const std::atomic<bool>* was = SetThreadAbortFlag(nullptr);
        ~Unabortable() { SetThreadAbortFlag(was); }
    } unabortable;
    link_.set(address, D_PARAM2DET, record->bytes());
    link_.sleep(kAfterWriteMs);
    const auto back = readParams(address);
    if (!back) return -9;
    return *back == *record ? 0 : -10;
}

bool Exchanges::broadcastObject(const CalibObject& object) {
    return broadcast(D_CALIB_OBJECT, object.bytes(), kObjectApartMs);
}

}  // namespace autocal
