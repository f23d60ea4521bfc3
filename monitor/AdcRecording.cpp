#include "monitor/AdcRecording.h"

#include <cstdio>
#include <vector>

#include "calib/Calib420.h"
#include "config/ParamSession.h"
#include "link/CommDriver.h"
#include "protocol/Commands.h"
#include "protocol/SwitchComm.h"
#include "protocol/Transport.h"
#include "protocol/records/LiveRecord.h"
#include "shell/Catalogue.h"
#include "shell/ShellState.h"
#include "util/Log.h"
#include "util/PumpWait.h"

namespace {

constexpr size_t kStopAnswer = 18;
constexpr size_t kPullAnswer = 1397, kPullBlock = 1380, kHeader = 15;
constexpr unsigned kStreamBaud = 921600, kPullBaud = 57600;

std::string Format(const char* format, auto... values) {
    char text[512];
    std::snprintf(text, sizeof text, format, values...);
    return text;
}

}  // namespace

bool SwitchBaudProved(unsigned baud) {
    WireState& w = Wire();
    const unsigned before = w.port.baud;
    if (baud == before) return true;
    uint8_t payload[4];
    for (int i = 0; i < 4; ++i) payload[i] = static_cast<uint8_t>(baud >> (8 * i));
    bool sent = false;
    for (int attempt = 0; attempt < 3 && !sent; ++attempt) {
        sent = ModbusSet(sizeof payload, payload, w.ctx, D_SWITCH_BAUD) != -1;
        if (!sent) PumpWait(300);
    }
    if (!sent) return false;
    PumpWait(500);
    w.port.baud = baud;
    if (ReopenLink()) {
        for (int i = 0; i < 16; ++i)
            if (ReadRecordedDetector()) return true;
    }
    // Not heard at the new speed: the detector goes back by itself once it
    // hears nothing there.
    w.port.baud = before;
    ReopenLink();
    return false;
}

std::optional<RecordedDetector> ReadRecordedDetector() {
    const CommandInfo& info = *commandInfo(D_DATA2HOST);
    std::vector<uint8_t> answer(info.responseSize);
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (attempt) PumpWait(100);
        const int n = ModbusGet(0, D_DATA2HOST, Wire().ctx, answer.data(), info.responseSize, info.waitMs,
                                info.timeoutMs);
        if (n <= 0) continue;
        const auto record = LiveRecord::Decode(std::span<const uint8_t>(answer.data(), static_cast<size_t>(n)));
        if (!record) continue;
        return RecordedDetector{record->address(), record->header().model, record->serial(), record->uvirModel()};
    }
    return std::nullopt;
}

OutsideProgram ConverterProgram(const std::string& samplePath, bool uvir) {
    OutsideProgram p{uvir ? "./Rawconv_LB" : "./Rawconv", {samplePath}};
    DebugLog("%s \"%s\"", p.program.c_str(), samplePath.c_str());
    return p;
}

OutsideProgram PlotProgram(const std::string& samplePath) { return {"./Graph", {samplePath + ".txt"}}; }

RecordingOpening ReadRecordingOpening(bool uvir) {
    RecordingOpening o;
    // UV/IR models' parameter records are not shown here.
    if (!uvir) o.params = ReadParams().has_value();
    o.setup = c420::ReadSetup().has_value();
    o.who = ReadRecordedDetector();
    return o;
}

std::string OpeningText(const RecordingOpening& o, bool uvir) {
    std::string text = o.who ? Format("Address %u, S/N %u, %s", o.who->address, o.who->serial,
                                      ModelName(o.who->model).c_str())
                             : std::string("No live data record");
    if (!uvir) text += o.params ? "; parameters read" : "; parameters not read";
    return text + (o.setup ? "; setup read" : "; setup not read");
}

std::string RecordingDialogName(bool pulled, bool uvir) {
    return Format("Make %s %s ADC Recording", pulled ? "100Hz" : "2.3KHz", uvir ? "UVIR" : "IR4");
}

std::string StreamTitle(unsigned rate) {
    return Format("Make streaming %s ADC Recording at 921600 baud", rate == 2 ? "100Hz" : "2.3KHz");
}

AdcRecording::AdcRecording(std::shared_ptr<Panel> panel, RecordingOptions files, AdcHooks hooks)
    : panel_(std::move(panel)), files_(std::move(files)), hooks_(std::move(hooks)) {
    if (!hooks_.switchBaud) hooks_.switchBaud = SwitchBaudProved;
}

bool AdcRecording::createFile() {
    if (files_.openSample()) return true;
    error(Format("Failed opening file \"%s\" for writing...\r\nFilename may include illegal characters - "
                 "\"?<>/:\\*\r\n - or be in use by another application.",
                 files_.samplePath().c_str()));
    return false;
}

bool AdcRecording::begin() {
    if (!files_.openLog()) {
        error("Failed writing file \"" + files_.errorFile() + "\"...");
        return false;
    }
    startedMs_ = now();
    active_ = true;
    return true;
}

bool AdcRecording::finish() {
    if (files_.finish()) return true;
    error("Failed writing file \"" + files_.errorFile() + "\"...");
    return false;
}

void AdcRecording::show(const std::string& text) { panel_->setText(adcwin::kStatus, text); }

void AdcRecording::error(const std::string& text) { panel_->ask(text, "Error", MB_ICONERROR); }

void AdcRecording::sleep(unsigned ms) { hooks_.sleepMs ? hooks_.sleepMs(ms) : PumpWait(ms); }

unsigned long long AdcRecording::now() { return hooks_.nowMs ? hooks_.nowMs() : TickMs(); }

bool AdcRecording::stopTries(unsigned command, int tries, unsigned waitBeforeMs) {
    const char* name = command == D_RECORD_RAW_ADC ? "D_RECORD_RAW_ADC" : "D_RECORD_100HZ_ADC";
    if (waitBeforeMs) sleep(waitBeforeMs);
    int result = -1, attempt = 0;
    uint8_t answer[kStopAnswer + 8];
    while (attempt < tries) {
        ++attempt;
        modbus_flush(Wire().ctx);
        show(Format("Stopping IR Recording, try # %u", static_cast<unsigned>(attempt)));
        answer[0] = 0;
        result = ModbusGet(1, command, Wire().ctx, answer, kStopAnswer, 100, 500);
        if (result >= 0) break;
        sleep(500);
    }
    if (result >= static_cast<int>(kStopAnswer)) {
        modbus_flush(Wire().ctx);
        sleep(500);
        modbus_flush(Wire().ctx);
        show(Format("Stopping IR Recording suceeded at try # %u", static_cast<unsigned>(attempt)));
        return true;
    }
    show("Stopping IR Recording failed...");
    ProtocolLog("ModbusGet(%s) returned %d bytes instead of %u", name, result, static_cast<unsigned>(kStopAnswer));
    return false;
}

// ---- the streamed recording ----

StreamRecording::StreamRecording(std::shared_ptr<Panel> panel, RecordingOptions files, unsigned rate, AdcHooks hooks)
    : AdcRecording(std::move(panel), std::move(files), std::move(hooks)),
      rate_(rate == 2 ? 2 : 1),
      recorder_(files_, {rate_, "retrain.bin", [this](const std::string& t) { show(t); }, {}}) {}

bool StreamRecording::start() {
    const unsigned hz = adc::RateHz(rate_);
    // A file that cannot be made is found before the detector is asked for anything.
    if (!files_.sampleOpen() && !createFile()) return false;
    if (LinkBaud() < kStreamBaud) {
        show(Format("Switching to %u baud...", kStreamBaud));
        if (!hooks_.switchBaud(kStreamBaud)) {
            show(Format("Switching to %u baud failed; recording aborted...", kStreamBaud));
            return false;
        }
    }
    Shell().busy = true;
    sleep(1000);
    show("Switching from modbus to mCommCode...");
    if (SwitchComm(1) != 1) {
        show("Switching from modbus to mCommCode - failed; recording aborted...");
        Shell().busy = false;
        return false;
    }
    rawOn_ = true;
    show(Format("Starting %uHz ADC recording...", hz));
    PurgeCommQueue(0);
    sleep(500);
    PurgeCommQueue(0);
    bool running = false;
    for (unsigned attempt = 1; attempt <= 20 && !running && !stopping(); ++attempt) {
        if (attempt <= 3) {
            const uint8_t rate = static_cast<uint8_t>(rate_);
            ModbusSet(1, &rate, Wire().ctx, D_RECORD_RAW_ADC);
            startSent_ = true;
        }
        sleep(500);
        const uint32_t avail = CommBytesAvail();
        show(Format("Starting %uHz ADC recording(%u) ... %u BytesAvail", hz, attempt, avail));
        running = avail > 1000;
    }
    if (!running) {
        show("Starting IR Recording failed...");
        return false;
    }
    PurgeCommQueue(1);
    if (!source_) source_ = CommRingSource();
    return begin();
}

bool StreamRecording::tick() {
    if (!active_ || failed_ || !source_) return !failed_;
    if (ticking_.exchange(true)) return true;
    StreamRecorder::Turn turn = StreamRecorder::Turn::Going;
    try {
        turn = recorder_.turn(*source_);
    } catch (const std::exception&) {
        DebugLog("Exception in file '%s' in function '%s'", "Info", "CInfo::OnTimer");
    }
    ticking_ = false;
    if (turn == StreamRecorder::Turn::RetrainFailed) {
        show("Retraining failed...");
        sleep(3000);
        failed_ = true;
        return false;
    }
    if (turn == StreamRecorder::Turn::WriteFailed) {
        failed_ = true;
        error("Failed writing file \"" + files_.errorFile() + "\"...");
        return false;
    }
    show(recorder_.statusText(source_->waiting()));
    if (!files_.lastState().empty()) panel_->setText(adcwin::kState, files_.lastState());
    return true;
}

bool StreamRecording::stop() {
    panel_->enable(adcwin::kStop, false);
    // Every whole piece that came before the stop goes to the file.
    bool written = !active_ || failed_ || tick();
    sleep(100);
    bool ok = true;
    show(startSent_ ? "Stopping IR Recording..." : "IR Recording inactive...");
    written = finish() && written;
    if (rawOn_) SwitchComm(0);
    rawOn_ = false;
    if (startSent_) ok = stopTries(D_RECORD_RAW_ADC, 8, 1000);
    active_ = false;
    startSent_ = false;  // a second stop has nothing to stop
    Shell().busy = false;
    panel_->enable(adcwin::kStop, true);
    return ok && written;
}

// ---- the pulled 100 Hz recording ----

PullRecording::PullRecording(std::shared_ptr<Panel> panel, RecordingOptions files, AdcHooks hooks)
    : AdcRecording(std::move(panel), std::move(files), std::move(hooks)) {}

bool PullRecording::start() {
    if (!files_.sampleOpen() && !createFile()) return false;
    if (LinkBaud() < kPullBaud) {
        show("Switching to 57600 baud...");
        if (!hooks_.switchBaud(kPullBaud)) {
            show("Switching to 57600 baud failed; recording aborted...");
            return false;
        }
    }
    show("Starting 100Hz ADC recording...");
    uint8_t answer[kStopAnswer + 8];
    bool started = false;
    for (int attempt = 0; attempt < 3 && !started && !stopping(); ++attempt) {
        if (attempt) sleep(500);
        answer[0] = 1;
        startSent_ = true;
        started = ModbusGet(1, D_RECORD_100HZ_ADC, Wire().ctx, answer, kStopAnswer, 100, 500) > 0;
    }
    if (!started) {
        show("Starting IR Recording failed...");
        return false;
    }
    return begin();
}

bool PullRecording::tick() {
    if (!active_) return true;
    if (ticking_.exchange(true)) return true;
    struct Release {
        std::atomic<bool>& flag;
        ~Release() { flag = false; }
    } release{ticking_};
    try {
        return pull();
    } catch (const std::exception&) {
        DebugLog("Exception in file '%s' in function '%s'", "Rec100Hz", "CRec100Hz::OnTimer");
        return true;
    }
}

bool PullRecording::pull() {
    std::vector<uint8_t> answer(kPullAnswer);
    bool block = false;
    for (int attempt = 0; attempt < 3 && !block; ++attempt) {
        if (attempt) sleep(30);
        answer[0] = 2;
        const int n = ModbusGet(1, D_RECORD_100HZ_ADC, Wire().ctx, answer.data(), kPullAnswer, 90, 300);
        block = n == static_cast<int>(kPullAnswer) &&
                adc::StartsWithSync(std::span<const uint8_t>(answer.data() + kHeader, kPullBlock));
    }
    const unsigned long long seconds = (now() - startedMs_) / 1000;
    panel_->setText(adcwin::kElapsed, Format("%u:%02u", static_cast<unsigned>(seconds / 60),
                                             static_cast<unsigned>(seconds % 60)));
    if (!block) {
        ++misses_;
        return true;
    }
    const std::span<const uint8_t> data(answer.data() + kHeader, kPullBlock);
    if (!adc::ZeroTrailer(data)) {
        if (files_.writePiece(data)) return true;
        error("Failed writing file \"" + files_.errorFile() + "\"...");
        return false;
    }
    const int64_t expected = files_.counters().expected;
    bool logFailed = false;
    if (!files_.statusBlock(data, true, &logFailed)) {
        show(Format("Expected iblk %u, but got %u...\r\n", static_cast<unsigned>(expected), adc::BlockNumber(data)));
        return true;
    }
    if (logFailed) {
        error("Failed writing file \"" + files_.errorFile() + "\"...");
        return false;
    }
    show(CountersText(files_.counters(), files_.samplePath()));
    panel_->setText(adcwin::kState, files_.lastState());
    return true;
}

bool PullRecording::stop() {
    panel_->enable(adcwin::kStop, false);
    show(startSent_ ? "Stopping IR Recording..." : "IR Recording inactive...");
    const bool written = finish();
    const bool ok = !startSent_ || stopTries(D_RECORD_100HZ_ADC, 3, 0);
    active_ = false;
    startSent_ = false;
    panel_->enable(adcwin::kStop, true);
    return ok && written;
}
