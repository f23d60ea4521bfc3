// The library's receive with its frame-length rules: whatever a peer put on
// the line, in record or standard mode, after any request, into a buffer of
// any size.
#include <fuzzer/FuzzedDataProvider.h>

#include <cerrno>
#include <vector>

#include "protocol/ModbusRtu.h"
#include "support/SocketLine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const bool standard = in.ConsumeBool();
    const bool keepOpen = in.ConsumeBool();  // else the peer hangs up after its bytes
    const int max = in.ConsumeIntegralInRange<int>(1, 600);
    const auto request = in.ConsumeBytes<uint8_t>(in.ConsumeIntegralInRange<size_t>(1, 8));
    const auto answer = in.ConsumeRemainingBytes<uint8_t>();

    SocketLine line;
    modbus_t* ctx = line.ctx();
    modbus_set_slave(ctx, 1);
    // The request sets the function the reply must answer.
    FUZZ_CHECK(modbus_write_data(ctx, static_cast<int>(request.size()), request.data()) > 0);
    line.discardRequests();
    modbus_set_proto(ctx, standard ? MODBUS_PROTO_STANDARD : MODBUS_PROTO_RECORD);
    line.put(answer);
    if (!keepOpen) line.hangUp();

    std::vector<uint8_t> buf(static_cast<size_t>(max));  // exactly the caller's room
    const int r = _modbus_receive_data(ctx, buf.data(), max, 0);
    const int err = errno;
    const size_t got = static_cast<size_t>(modbus_last_received(ctx));
    FUZZ_CHECK(got <= buf.size());
    if (r < 0) {
        FUZZ_CHECK(err != 0);
        return 0;
    }
    // A success is one whole frame: its CRC good, as long as its own length says.
    FUZZ_CHECK(got >= 4 && frameCrcOk(buf.data(), got));
    const uint8_t fc = buf[1];
    if (!standard) {
        FUZZ_CHECK(fc == 0xC8 && static_cast<size_t>(r) == got);
        FUZZ_CHECK(got == (buf[2] | buf[3] << 8) + 6u);
        return 0;
    }
    FUZZ_CHECK(fc == request[0]);
    if (fc == 3 || fc == 4) FUZZ_CHECK(got == buf[2] + 5u && r == buf[2] / 2);
    else FUZZ_CHECK(got == 8u);
    return 0;
}
