#include "network/RegisterWindow.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <mutex>
#include <span>

#include "network/CModbusIds.h"
#include "network/RegisterMap.h"
#include "protocol/Registers.h"
#include "protocol/SecretMask.h"
#include "protocol/Transport.h"
#include "protocol/records/ElevationRecord.h"
#include "protocol/records/SetupRecord.h"
#include "shell/ShellState.h"
#include "util/Log.h"
#include "util/PumpWait.h"

using namespace modbuswin;

namespace {

enum class Operation { ReadInput, ReadHolding, WriteSingle, WriteMultiple };

// What the controls ask for.
struct Target {
    Operation op;
    unsigned first;  // wire address
    unsigned count;
};

constexpr unsigned kMaxWrittenWords = 4;
constexpr size_t kShownFrameBytes = 256;  // the longest RTU frame

Operation operationOf(const Panel& panel) {
    if (panel.check(kReadHolding)) return Operation::ReadHolding;
    if (panel.check(kWriteSingle)) return Operation::WriteSingle;
    if (panel.check(kWriteMultiple)) return Operation::WriteMultiple;
    return Operation::ReadInput;
}

std::optional<unsigned> parseNumber(const std::string& text, int base) {
    const size_t b = text.find_first_not_of(' '), e = text.find_last_not_of(' ');
    if (b == std::string::npos) return std::nullopt;
    const char* first = text.data() + b;
    const char* last = text.data() + e + 1;
    if (base == 16 && last - first > 2 && first[0] == '0' && (first[1] == 'x' || first[1] == 'X')) first += 2;
    unsigned value = 0;
    const auto [end, err] = std::from_chars(first, last, value, base);
    if (err != std::errc() || end != last || value > 0xFFFF) return std::nullopt;
    return value;
}

std::optional<Target> targetOf(const Panel& panel) {
    Target t{operationOf(panel), 0, 1};
    const auto first = panel.check(kCustom) ? parseNumber(panel.text(kCustomFirst), 16)
                                            : RegisterAddress(panel.text(kMap), t.op == Operation::ReadInput);
    if (!first) return std::nullopt;
    t.first = *first;
    const auto count = parseNumber(panel.text(kCount), 10);
    t.count = std::clamp(count.value_or(1), 1u, static_cast<unsigned>(kMaxCount));
    return t;
}

void showError(Panel& panel, const char* text) { panel.ask(text, "Error", MB_OK | MB_ICONEXCLAMATION); }

// The frame the library sent last, as the register window shows it.
std::string lastRequestHex() {
    uint8_t frame[kShownFrameBytes];
    int n;
    {
        std::lock_guard lock(LinkLock());
        n = modbus_last_request(Wire().ctx, frame, sizeof frame);
    }
    // The elevation registers carry a typed password: shown as stars.
    if (n > 0) MaskSecrets(std::span<uint8_t>(frame, static_cast<size_t>(n)), DumpFrom::Address, Side::Request);
    std::string hex;
    for (int i = 0; i < n; ++i) {
        char b[4];
        std::snprintf(b, sizeof b, "%02X ", frame[i]);
        hex += b;
    }
    return hex;
}

void showResult(Panel& panel, int returnCode, const std::vector<std::string>& data = {}) {
    panel.clearLines(kResult);
    panel.addLine(kResult, "Command:");
    panel.addLine(kResult, lastRequestHex());
    char rc[40];
    std::snprintf(rc, sizeof rc, "Return code: %d", returnCode);
    panel.addLine(kResult, rc);
    for (const std::string& line : data) panel.addLine(kResult, line);
}

// The words of a read, when the read brought them all.
std::vector<std::string> readWords(int returnCode, const uint16_t* words, unsigned count) {
    if (returnCode != static_cast<int>(count)) return {};
    return WordLines(words, count);
}

uint8_t byteOf(const uint16_t* words, size_t i) {
    return static_cast<uint8_t>(i % 2 ? words[i / 2] >> 8 : words[i / 2]);
}

}  // namespace

std::vector<std::string> WordLines(const uint16_t* words, size_t count) {
    std::vector<std::string> lines;
    for (size_t row = 0; row < count; row += 8) {
        const size_t n = std::min<size_t>(8, count - row);
        std::string hex, chars;
        for (size_t i = row; i < row + n; ++i) {
            char w[6];
            std::snprintf(w, sizeof w, "%04X ", words[i]);
            hex += w;
            for (size_t k = 2 * i; k < 2 * i + 2; ++k) {
                const uint8_t c = byteOf(words, k);
                if (c < 33) {
                    chars += '.';
                } else if (c < 0x80) {
                    chars += static_cast<char>(c);
                } else {  // the byte as its Latin-1 character
                    chars += static_cast<char>(0xC0 | c >> 6);
                    chars += static_cast<char>(0x80 | (c & 0x3F));
                }
            }
        }
        hex.resize(8 * 5, ' ');
        lines.push_back(hex + "  " + chars);
    }
    return lines;
}

RegisterWindow::RegisterWindow(std::function<unsigned long long()> nowMs) : nowMs_(std::move(nowMs)) {}

bool RegisterWindow::open(Panel& panel) {
    const CommandInfo* info = commandInfo(D_SETUP2HOST);
    std::array<uint8_t, kSetupAnswerSize> answer{};
    int r = -1;
    for (int attempt = 0; attempt < kSetupTries && r == -1; ++attempt)
        r = ModbusGet(0, D_SETUP2HOST, Wire().ctx, answer.data(), answer.size(), info->waitMs, info->timeoutMs);
    if (r < static_cast<int>(answer.size())) {
        ProtocolLog("ModbusGet(D_SETUP2HOST) returned %d bytes instead of %u", r,
                    static_cast<unsigned>(answer.size()));
        panel.close(IDCANCEL, 0);
        return false;
    }
    admin_.emplace(SetupLocked(answer), nowMs_);
    return true;
}

void RegisterWindow::showMap(Panel& panel) {
    const bool uvir = Shell().detector.uvirModel;
    panel.clearLines(kMap);
    const auto labels = usesInputTable(panel) ? InputRegisterLabels(uvir) : HoldingRegisterLabels(uvir);
    for (const std::string& label : labels) panel.addLine(kMap, label);
}

bool RegisterWindow::usesInputTable(const Panel& panel) { return operationOf(panel) == Operation::ReadInput; }

bool RegisterWindow::wantsElevationLevel(const Panel& panel) {
    const auto t = targetOf(panel);
    return t && t->op == Operation::WriteMultiple && t->first == kElevateAddress;
}

void RegisterWindow::run(Panel& panel, int level) {
    const auto t = targetOf(panel);
    if (!t) return;
    switch (t->op) {
        case Operation::ReadInput: {
            uint16_t words[kMaxCount] = {};
            const int rc = ReadInputRegisters(t->count, t->first, words);
            showResult(panel, rc, readWords(rc, words, t->count));
            break;
        }
        case Operation::ReadHolding:
            readHolding(panel, t->first, t->count);
            break;
        case Operation::WriteSingle:
            writeSingle(panel, t->first);
            break;
        case Operation::WriteMultiple:
            writeMultiple(panel, t->first, level);
            break;
    }
}

void RegisterWindow::readHolding(Panel& panel, unsigned first, unsigned count) {
    if (first == kLogReadAddress) {
        uint16_t words[kLogReadRegisters] = {};
        int rc = -1;
        for (int attempt = 1; attempt <= kLogReadTries; ++attempt) {
            rc = ReadHoldingRegisters(kLogReadRegisters, first, words);
            if (rc == static_cast<int>(kLogReadRegisters)) break;
            if (attempt < kLogReadTries) PumpWait(kLogReadPauseMs);
        }
        // One line per log record until the records have a reader of their own.
        std::vector<std::string> records;
        if (rc == static_cast<int>(kLogReadRegisters))
            for (unsigned r = 0; r < kLogReadRecords; ++r) {
                std::string line;
                for (unsigned i = r * kLogRecordBytes; i < (r + 1) * kLogRecordBytes; ++i) {
                    char b[4];
                    std::snprintf(b, sizeof b, "%02X ", byteOf(words, i));
                    line += b;
                }
                records.push_back(line);
            }
        showResult(panel, rc, records);
        return;
    }
    if (first > kLogReadAddress) {
        showError(panel, "Reading holding registers other than 50,001 and 50,002 is not supported...");
        return;
    }
    if (first == kLogInitAddress) count = 1;
    uint16_t words[kMaxCount] = {};
    const int rc = ReadHoldingRegisters(count, first, words);
    showResult(panel, rc, readWords(rc, words, count));
}

void RegisterWindow::writeSingle(Panel& panel, unsigned address) {
    if (address == kElevateAddress) {
        showError(panel, "Must write-multiple for this register...");
        return;
    }
    if (address == kLogReadAddress) return;
    const auto value = parseNumber(panel.text(kValues[0]), 16);
    if (!value) return;
    if (address != kLogInitAddress && !adminGranted(panel)) return;
    showResult(panel, WriteSingleRegister(static_cast<uint16_t>(*value), address));
}

void RegisterWindow::writeMultiple(Panel& panel, unsigned first, int level) {
    if (first == kElevateAddress) {
        std::string password;
        if (level == 1 || level == 2) {
            const auto typed = panel.askText("Please Enter Password:",
                                             level == 1 ? "For Maintenance elevation" : "For ADMIN elevation", true);
            if (!typed) return;
            password = std::move(*typed);
        } else {
            level = 0;
        }
        const auto record = EncodeElevation(level, password);
        std::fill(password.begin(), password.end(), '\0');
        uint16_t words[kElevateRegisters];
        for (unsigned i = 0; i < kElevateRegisters; ++i)
            words[i] = static_cast<uint16_t>(record[2 * i] | record[2 * i + 1] << 8);
        showResult(panel, WriteMultipleRegisters(kElevateRegisters, first, words));
        return;
    }
    if (first >= kLogInitAddress) return;
    uint16_t words[kMaxWrittenWords];
    unsigned n = 0;
    while (n < kMaxWrittenWords) {
        const auto value = parseNumber(panel.text(kValues[n]), 16);
        if (!value) break;
        words[n++] = static_cast<uint16_t>(*value);
    }
    if (n == 0 || !adminGranted(panel)) return;
    showResult(panel, WriteMultipleRegisters(n, first, words));
}

bool RegisterWindow::adminGranted(Panel& panel) {
    // A window that did not open has read no setup record: nothing to write with.
    return admin_ && admin_->ensure(panel) == 1;
}
