#pragma once
#include <cstddef>
#include <cstdint>
#include <condition_variable>
#include <functional>
#include <linux/serial.h>
#include <mutex>
#include <string>
#include <vector>

// Line settings of a serial port, already parsed.
struct LineSettings {
    std::string device;  // "/dev/ttyUSB0", "/dev/ttyS2"
    unsigned baud = 9600;
    char parity = 'N';  // 'N', 'E' or 'O'
    unsigned dataBits = 8;
    unsigned stopBits = 1;
    // The kernel's RS-485 mode: RTS drives the transmitter while we send,
    // with the delays the driver keeps.
    bool rs485 = false;
    // A half-duplex adapter that hands back every byte we send: our own bytes
    // are taken off the line before anything else is read.
    bool echo = false;
};

// One serial port on POSIX termios, raw mode, no flow control. Used by the
// driver threads of the raw link and by the Modbus library contract alike.
// One thread may write while another reads (the raw link's driver threads);
// interrupt() may come from any thread to wake a blocked read.
class SerialPort {
public:
    SerialPort();
    ~SerialPort();
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // Opens exclusively (TIOCEXCL and an flock, which holds for root too) and
    // applies the settings. On failure the port stays closed and lastError()
    // says why in one line (PortOpenErrorText for what stops the open).
    bool open(const LineSettings& settings);
    // Takes over fd, which stands in for a line (one end of a socket pair in
    // tests and fuzzing): nothing is configured, the settings only time the
    // reads. The port owns fd from here on; false (and fd closed) when it is
    // not a descriptor.
    bool adopt(int fd, const LineSettings& settings);
    void close();
    bool isOpen() const { return fd_ >= 0; }
    const LineSettings& settings() const { return settings_; }
    const std::string& lastError() const { return error_; }

    // Writes every byte and returns once they have left the port (drain);
    // on an echoing line, once they have also come back. Returns the count
    // written, -1 on error, kEchoFault when the echo did not match or did not
    // come (lastError() says which): a line fault, after which everything
    // received up to our next write is discarded, so that the answer to a
    // garbled request is never taken.
    long write(const uint8_t* data, size_t n);
    static constexpr long kEchoFault = -2;

    // Waits up to timeoutMs (-1: for ever) for input, then returns what one
    // read gives (at most max), our own echo taken out: > 0 bytes, 0 on
    // timeout or interrupt(), -1 on error.
    long readSome(uint8_t* buf, size_t max, int timeoutMs);

    enum class ReadStatus { Frame, Timeout, Gap, Overflow, Error };
    struct FrameRead {
        ReadStatus status;
        size_t count;  // bytes stored in the buffer
    };
    // The shortest frame anyone sends (an exception reply).
    static constexpr size_t kMinFrame = 5;

    // Reads one frame: waits up to firstByteTimeoutMs for its first byte, then
    // takes bytes until `expected` (given what arrived so far, the full frame
    // length or 0 while unknown) is reached; only a frame of unknown length
    // ends at a silence of gapMs. The whole read never outlasts the first-byte
    // timeout plus the wire time of max bytes plus one gap. Never stores more
    // than max bytes; a frame that would not fit is drained from the line
    // (until its own length, a silence of gapMs or that same bound) and
    // reported as Overflow.
    FrameRead readFrame(uint8_t* buf, size_t max, int firstByteTimeoutMs, int gapMs,
                        const std::function<size_t(const uint8_t*, size_t)>& expected);

    // The driver's counts of line errors since the port was opened. False
    // where the driver keeps none (a pseudo-terminal, some USB adapters).
    struct ErrorCounts {
        uint32_t frame = 0, overrun = 0, parity = 0, bufferOverrun = 0;
    };
    bool errorCounts(ErrorCounts* out) const;

    bool flushInput();
    bool flushOutput();
    bool drain();
    // Wakes a readSome/readFrame blocked in another thread; it returns at once.
    void interrupt();

    static bool baudSupported(unsigned baud);
    // Microseconds one character takes on the line (start, data, parity, stop bits).
    static unsigned charTimeUs(const LineSettings& s);

private:
    bool fail(const std::string& what);
    bool enableRs485();
    long readRaw(uint8_t* buf, size_t max, int timeoutMs);
    long readLocked(uint8_t* buf, size_t max, int timeoutMs);
    size_t takeEcho(uint8_t* buf, size_t n);
    bool awaitEcho(size_t n);
    void settleAfterFault();
    void dropWakeUps();
    int fd_ = -1;
    int wake_[2] = {-1, -1};
    LineSettings settings_;
    std::string error_;
    bool rs485Changed_ = false;
    bool marked_ = false;  // this open set the line's exclusive mark
    serial_rs485 rs485Before_{};

    // One reader at a time, so that the echo is met in the order it arrives.
    std::mutex readLock_;
    // The echo still due from the last write, and what went wrong with it.
    std::mutex echoLock_;
    std::condition_variable echoArrived_;
    std::vector<uint8_t> echoDue_;
    size_t echoSeen_ = 0;
    bool echoFault_ = false;
    std::string echoError_;
};
