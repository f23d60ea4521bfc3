#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

// Line settings of a serial port, already parsed.
struct LineSettings {
    std::string device;  // "/dev/ttyUSB0", "/dev/ttyS2"
    unsigned baud = 9600;
    char parity = 'N';  // 'N', 'E' or 'O'
    unsigned dataBits = 8;
    unsigned stopBits = 1;
};

// One serial port on POSIX termios, raw mode, no flow control. Used by the
// driver threads of the raw link and by the Modbus library contract alike.
// Calls of one instance come from one thread at a time, except interrupt(),
// which any thread may call to wake a blocked read.
class SerialPort {
public:
    SerialPort();
    ~SerialPort();
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // Opens exclusively and applies the settings. On failure the port stays
    // closed and lastError() says why in one line.
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

    // Writes every byte and returns once they have left the port (drain).
    // Returns the count written, or -1.
    long write(const uint8_t* data, size_t n);

    // Waits up to timeoutMs for input, then returns what one read gives (at
    // most max): > 0 bytes, 0 on timeout or interrupt(), -1 on error.
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
    // (until its own length, bounded by its wire time) and reported as Overflow.
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
    void dropWakeUps();
    int fd_ = -1;
    int wake_[2] = {-1, -1};
    LineSettings settings_;
    std::string error_;
};
