#pragma once
// The host end of a simulated line, opened with the serial port class alone, so
// that the simulator is checked against hand-built frames and nothing else.
#include <string>

#include "support/HostFrames.h"
#include "wire/SerialPort.h"

namespace simtest {

using namespace hostframes;

class Host {
public:
    bool open(const std::string& path, unsigned baud) {
        LineSettings s;
        s.device = path;
        s.baud = baud;
        return port_.open(s);
    }
    void send(const Bytes& f) { port_.write(f.data(), f.size()); }
    // Sends a frame and collects an answer of up to `expected` bytes (fewer on a gap).
    Bytes exchange(const Bytes& f, size_t expected, int timeoutMs = 1000) {
        port_.flushInput();
        send(f);
        return receive(expected, timeoutMs);
    }
    Bytes receive(size_t expected, int timeoutMs = 1000) {
        Bytes buf(expected + 64);
        auto r = port_.readFrame(buf.data(), buf.size(), timeoutMs, 60,
                                 [expected](const uint8_t*, size_t) { return expected; });
        buf.resize(r.count);
        return buf;
    }
    // True when nothing arrives within ms after the frame.
    bool silentAfter(const Bytes& f, int ms = 150) {
        port_.flushInput();
        send(f);
        return receive(4096, ms).empty();
    }
    SerialPort& port() { return port_; }

private:
    SerialPort port_;
};

}  // namespace simtest
