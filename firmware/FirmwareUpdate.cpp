#include "firmware/FirmwareUpdate.h"

#include <array>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <mutex>

#include "config/MiscOps.h"
#include "config/ParamFiles.h"
#include "firmware/CUploadIds.h"
#include "firmware/FlashDump.h"
#include "protocol/Commands.h"
#include "protocol/Elevation.h"
#include "protocol/ModbusRtu.h"
#include "protocol/Transport.h"
#include "protocol/records/ByteOrder.h"
#include "protocol/records/ResponseHeader.h"
#include "protocol/records/SetupRecord.h"
#include "shell/Catalogue.h"
#include "util/Log.h"
#include "util/Panel.h"
#include "util/Profile.h"
#include "util/PumpWait.h"
#include "util/WholeFile.h"

namespace {
constexpr uint32_t kProductAddress = 0x08007800, kVersionAddress = 0x08043FF0;
constexpr unsigned kAnswerBytes = 21, kAckBytes = 18, kStatusBytes = 177, kSetupBytes = 89;
constexpr unsigned kArrivalLimitMs = 60'000;
constexpr const char* kUploadAgain =
    "The detector keeps its old firmware until an upload is confirmed: upload the file again.";
constexpr const char* kCheckAfterEnd =
    "Aborted after the upload ended: check the detector's version, then its parameters against the backup.";
constexpr const char* kPowerCycle =
    "The detector did not come back after its restart: power-cycle it, then check its version.";

std::string format(const char* f, auto... args) {
    char text[256];
    std::snprintf(text, sizeof text, f, args...);
    return text;
}

std::string localStamp() {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    char text[20];
    std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &tm);
    return text;
}

void flush() { modbus_flush(Wire().ctx); }

bool writePatchFile(const std::string& path, const ParamRecord& record) {
    // Every field marked, so that Parameters Update restores all of them.
    Patch patch{PatchMask(record.kind(), ParamElements(record.kind())), record, true};
    return WriteWholeFile(path, EncodePatch(patch));
}
}  // namespace

FwUpdateKeys ReadFwUpdateKeys(const std::string& iniPath) {
    FwUpdateKeys keys;
    keys.shortHeader = ProfileGetInt(iniPath, "FWUpdate", "updateBa_to_Bb", 0) != 0;
    keys.verifyParams = ProfileGetInt(iniPath, "FWUpdate", "fVerifyParam", 0);
    return keys;
}

FirmwareUpdate::FirmwareUpdate(Panel& panel, FwUpdateOptions options)
    : panel_(panel), options_(std::move(options)) {}

void FirmwareUpdate::say(const std::string& text) {
    DebugLog("%s", text.c_str());
    // The window's field breaks lines at "\r\n"; a list shows each part as a line.
    for (size_t at = 0;;) {
        const size_t end = text.find("\r\n", at);
        panel_.addLine(upload::kMessages, text.substr(at, end - at));
        if (end == std::string::npos) break;
        at = end + 2;
    }
}

void FirmwareUpdate::status(const std::string& text) {
    panel_.setText(upload::kStatusLine, text);
    say(text);
}

bool FirmwareUpdate::elevateFactory() {
    PumpWait(100);
    flush();
    std::array<uint8_t, kAckBytes> frame{3, 0x7B, 0xE1, 0xC3, 0x5A};
    return ModbusGet(5, D_ELEVATE, Wire().ctx, frame.data(), kAckBytes, 100, 500) == static_cast<int>(kAckBytes);
}

std::vector<uint8_t> FirmwareUpdate::readFlash(uint32_t address, unsigned bytes) {
    const unsigned size = static_cast<unsigned>(kFrameOverhead) + bytes;
    std::vector<uint8_t> frame(size);
    int got = 0;
    unsigned i = 0;
    for (; i < 3; ++i) {
        PumpWait(100);
        flush();
        le::put32(frame, 0, address);
        le::put32(frame, 4, bytes);
        got = ModbusGet(8, D_READ_FLASH, Wire().ctx, frame.data(), size, 10, 1500);
        if (got == static_cast<int>(size)) break;
        DebugLog("i %u, rc %d, cb_out %u", i, got, size);
    }
    DebugLog("> i %u, rc %d, cb_out %u", i, got, size);
    if (got != static_cast<int>(size)) return {};
    return {frame.begin() + kHeaderSize, frame.begin() + static_cast<long>(kHeaderSize + bytes)};
}

bool FirmwareUpdate::check(const std::string& path) {
    panel_.clearLines(upload::kMessages);
    detectorVersion_.reset();
    std::string error;
    file_ = fw::ReadFirmware(path, options_.blockSize, options_.allowOlder, &error);
    if (!file_) {
        say(error);
        return false;
    }
    const fw::FirmwareFile& f = *file_;
    DebugLog("size %u, blk_size %u, remainder %u, nblk %u", static_cast<unsigned>(f.payload.size()), f.blockSize,
             f.remainder(), f.blocks());
    panel_.setText(upload::kFileProduct, f.productText());
    panel_.setText(upload::kFileVersion, f.header.version.text());
    panel_.setCheck(upload::kAllowOlder, f.header.flags & fw::kFlagAllowOlder ? 1 : 0);
    elevateFactory();
    const auto product = readFlash(kProductAddress, fw::kProductBytes);
    if (product.empty()) {
        say("Failed reading HW product from detector...");
        return false;
    }
    const auto version = readFlash(kVersionAddress, 4);
    if (version.empty()) {
        say("Failed reading FW version from detector...");
        return false;
    }
    detectorProduct_ = PrintableText(ProductNumberText(product));
    detectorVersion_ = fw::Version{version[1], version[0]};
    panel_.setText(upload::kDetectorProduct, detectorProduct_);
    panel_.setText(upload::kDetectorVersion, detectorVersion_->text());
    if (const std::string why = fw::MatchDetector(f.header, product, *detectorVersion_); !why.empty()) {
        say(why);
        return false;
    }
    say("File OK!");
    return true;
}

bool FirmwareUpdate::untilArrives(const char* what, const std::function<bool()>& attempt) {
    const unsigned long long until = TickMs() + kArrivalLimitMs;
    while (!attempt()) {
        if (panel_.aborted()) return false;
        if (TickMs() >= until) {
            say(format("%s did not arrive within 60 seconds...", what));
            return false;
        }
        PumpWait(100);
    }
    return true;
}

std::optional<ParamRecord> FirmwareUpdate::readParamsOnce(uint32_t* serial) {
    std::vector<uint8_t> answer(kIrParamAnswerSize);
    const int got = ModbusGet(0, D_PARAM2HOST, Wire().ctx, answer.data(), kIrParamAnswerSize, 100, 500);
    const auto header = DecodeHeader(std::span(answer.data(), static_cast<size_t>(std::max(got, 0))));
    if (!header) return std::nullopt;
    const ParamKind kind = IsUvirModelByte(static_cast<uint8_t>(header->model)) ? ParamKind::Uvir : ParamKind::Ir;
    if (got != static_cast<int>(ParamAnswerSize(kind))) return std::nullopt;
    if (serial) *serial = header->serial;
    address_ = header->address;
    return ParamRecord::FromAnswer(kind, std::span(answer.data(), static_cast<size_t>(got)));
}

bool FirmwareUpdate::backUp() {
    status("Backing up parameters...");
    panel_.enable(upload::kChooseFile, false);
    const bool got = untilArrives("The parameter record", [&] {
        panel_.setText(upload::kStatusLine, "Downloading parameters...");
        backup_ = readParamsOnce(&serial_);
        return backup_.has_value();
    });
    panel_.enable(upload::kChooseFile, true);
    if (!got) return false;
    const std::string stamp = options_.stamp ? options_.stamp() : localStamp();
    const std::string path =
        (std::filesystem::path(options_.folder) / format("param_addr%u_sn%u_%s.upm", address_, serial_, stamp.c_str()))
            .string();
    std::error_code ec;
    if (std::filesystem::exists(path, ec) || ec || !writePatchFile(path, *backup_)) {
        say(format("Creating UPM file \"%s\" failed; please contact support", path.c_str()));
        return false;
    }
    backupPath_ = path;
    if (options_.onBackup) options_.onBackup(path);
    status("Backing up parameters - done.");
    return true;
}

bool FirmwareUpdate::readSetup(bool* locked) {
    std::array<uint8_t, kSetupBytes> frame{};
    int got = 0;
    for (int i = 0; i < 3 && got != static_cast<int>(kSetupBytes); ++i) {
        if (i) PumpWait(100);
        got = ModbusGet(0, D_SETUP2HOST, Wire().ctx, frame.data(), kSetupBytes, 100, 500);
        flush();
    }
    if (got != static_cast<int>(kSetupBytes)) {
        DebugLog("ModbusGet(D_SETUP2HOST) returned %d bytes instead of %u", got, kSetupBytes);
        panel_.ask("Downloading 'Setup' failed...\r\n\r\nRe-enter dialog and try again", "Error",
                   MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    *locked = SetupLocked(frame);
    return true;
}

void FirmwareUpdate::refreshElevation() {
    if (locked_) ElevateOnce(2, password_);
}

std::optional<FirmwareUpdate::Answer> FirmwareUpdate::exchange(const std::vector<uint8_t>& message, unsigned waitMs,
                                                              unsigned timeoutMs) {
    std::vector<uint8_t> frame(std::max<size_t>(message.size(), kAnswerBytes));
    std::copy(message.begin(), message.end(), frame.begin());
    const int got = ModbusGet(static_cast<unsigned>(message.size()), D_UPLOAD_FW, Wire().ctx, frame.data(),
                              kAnswerBytes, waitMs, timeoutMs);
    if (got <= 0) return std::nullopt;
    if (got < static_cast<int>(kAnswerBytes)) {
        say(format("ModbusGet(D_UPLOAD_FW, %u) returned %d bytes instead of %u", message[0], got, kAnswerBytes));
        return std::nullopt;
    }
    return Answer{static_cast<int8_t>(frame[kHeaderSize]), frame[kHeaderSize + 2]};
}

FwResult FirmwareUpdate::fail(FwResult result, const std::string& advice) {
    if (!advice.empty()) say(advice);
    panel_.setText(upload::kStart, result == FwResult::Refused ? "Start" : "Error...");
    restoreLink("Please wait: baudrate being restored to 9600...");
    return result;
}

void FirmwareUpdate::restoreLink(const char* message) {
    if (LinkBaud() == 9600 || !options_.restore9600) return;
    say(message);
    PumpWait(250);
    options_.restore9600();
}

FwResult FirmwareUpdate::run(const std::string& path) {
    panel_.clearAbort();
    setupRefused_ = false;
    if (!check(path)) {
        // A detector that did not say who it is was not refused: the line failed.
        const bool silent = file_ && !detectorVersion_;
        return fail(silent ? FwResult::Failed : FwResult::Refused, "");
    }
    if (options_.keys.verifyParams && backupPath_.empty() && !backUp())
        return fail(panel_.aborted() ? FwResult::Aborted : FwResult::Failed, "");
    repairCounter_ = options_.keys.verifyParams;
    setupRefused_ = true;
    if (!readSetup(&locked_)) return fail(FwResult::Failed, "");
    if (locked_) {
        for (;;) {
            auto typed = panel_.askText("Please Enter the ADMIN Password:", "Update Detector FW", true);
            if (!typed) {
                DebugLog("ADMIN Password not entered. Burn canceled...");
                panel_.ask("ADMIN Password not entered.\r\nBurn canceled...", "Error", MB_OK | MB_ICONEXCLAMATION);
                return fail(FwResult::Refused, "");
            }
            if (ElevateOnce(2, *typed)) {
                password_ = *typed;
                break;
            }
        }
    }
    setupRefused_ = false;
    return start();
}

FwResult FirmwareUpdate::start() {
    panel_.setText(upload::kStart, "Abort");
    for (int i = 0; i < 3; ++i) {
        PumpWait(100);
        flush();
        std::array<uint8_t, kStatusBytes> status{};
        if (ModbusGet(4, D_DATA2HOST, Wire().ctx, status.data(), kStatusBytes, 10, 150) == static_cast<int>(kStatusBytes))
            break;
    }
    const auto message = fw::StartMessage(*file_);
    std::optional<Answer> answer;
    for (int i = 0; i < 3 && !answer; ++i) {
        PumpWait(100);
        flush();
        answer = exchange(message, 500, 8000);
        if (!answer) PumpWait(1080);
    }
    if (!answer) {
        say(format("Error: ModbusGet(D_UPLOAD_FW, %u) returned %d bytes instead of %u...\r\nUpdate aborted",
                   fw::kMsgStart, 0, kAnswerBytes));
        return fail(FwResult::Failed, kUploadAgain);
    }
    if (answer->status != 0 || answer->next != 0) {
        say(format("Error: ModbusGet(D_UPLOAD_FW, %u) nextPkt %u status %d %s...\r\nUpdate aborted", fw::kMsgStart,
                   answer->next, answer->status, answer->status ? fw::StatusName(answer->status) : ""));
        // The detector refused before erasing anything.
        return fail(FwResult::Refused, "");
    }
    say("ModbusGet(D_UPLOAD_FW) - state = FW_PACKET_MSG");
    return upload();
}

FwResult FirmwareUpdate::upload() {
    const fw::FirmwareFile& f = *file_;
    const unsigned nblk = f.blocks();
    unsigned block = 0, failedRounds = 0;
    unsigned long long lastAccepted = TickMs();
    // Checked after every try that accepted nothing, answered or not: a
    // detector that only answers with errors stalls too.
    const auto givenUp = [&] { return TickMs() - lastAccepted >= options_.giveUpS * 1000ull; };
    const auto giveUp = [&] {
        say(format("No block accepted for %u seconds: upload given up...", options_.giveUpS));
        return fail(FwResult::Failed, kUploadAgain);
    };
    while (block < nblk) {
        if (panel_.aborted()) {
            say("Update Aborted...");
            return fail(FwResult::Aborted, kUploadAgain);
        }
        PumpWait(50);
        const auto message = fw::BlockMessage(f, block, options_.keys.shortHeader);
        unsigned retransmits = 0;
        std::optional<Answer> answer;
        for (int i = 0; i < 10 && !answer && !panel_.aborted() && !(retransmits && givenUp()); ++i) {
            PumpWait(50);
            flush();
            refreshElevation();
            PumpWait(100);
            flush();
            answer = exchange(message, 2000, 2000);
            if (!answer) {
                PumpWait(500);
                ++retransmits;
            }
        }
        if (!answer) {
            if (panel_.aborted()) continue;
            ++failedRounds;
            if (givenUp()) return giveUp();
            say(format("No answer to block %u after %u tries; waiting for the detector...", block + 1,
                       10 * failedRounds));
            continue;
        }
        failedRounds = 0;
        if (answer->status != 0) {
            say(format("ModbusGet(D_UPLOAD_FW) block %u of %u: status %d \"%s\"", block + 1, nblk, answer->status,
                       fw::StatusName(answer->status)));
            if (answer->status == fw::kBadState) {
                say("The detector lost the upload session.");
                return fail(FwResult::Failed, kUploadAgain);
            }
            if (givenUp()) return giveUp();
        } else {
            say(format("Uploaded block %u of %u with %u retransmits", block + 1, nblk, retransmits));
            lastAccepted = TickMs();
        }
        block = answer->next;
        panel_.setProgress(upload::kProgress,
                           static_cast<int>(100ull * std::min(block, nblk) * f.blockSize / std::max<size_t>(f.payload.size(), 1)));
        if (block > nblk) {
            say(format("Upload error iblk(%d) > nblk(%d)", static_cast<int>(block), static_cast<int>(nblk)));
            return fail(FwResult::Failed, kUploadAgain);
        }
    }
    return finish();
}

FwResult FirmwareUpdate::finish() {
    refreshElevation();
    std::optional<Answer> answer;
    bool lost = false;
    for (int i = 0; i < 10 && !answer; ++i) {
        PumpWait(100);
        flush();
        answer = exchange(fw::EndMessage(), 200, 10000);
        if (!answer) PumpWait(500);
        lost = lost || !answer;
    }
    const bool good = answer && answer->status == 0;
    // A lost end answer may hide a verified image (the next try then finds
    // no session): the version after the restart tells.
    const bool unconfirmed = !good && (!answer || (lost && answer->status == fw::kBadState));
    if (good) {
        status("FW Update has concluded successfully!");
        panel_.setText(upload::kStart, "Done!");
        panel_.setProgress(upload::kProgress, 100);
        say("The detector will be restarted for the update to take effect...");
    } else {
        status("FW Update has Failed...");
        const int code = answer ? answer->status : 0;
        if (answer) say(format("ModbusGet(D_UPLOAD_FW) - End of Upload Error(%d) \"%s\"", code, fw::StatusName(code)));
        panel_.setText(upload::kStart, "Error...");
    }
    panel_.enable(upload::kStart, false);
    PumpWait(1500);
    const MiscOutcome restart = RunMiscCommand(panel_, false, MiscCommand::Reset, MiscStep(MiscCommand::Reset, false, 2));
    say(restart.acknowledged() ? "Detector has been restarted successfully."
                               : "Warning: Detector Restart failed; Manual restart required...");
    if (!good && (!unconfirmed || panel_.aborted())) return fail(FwResult::Failed, kUploadAgain);
    if (!good) say("The end of the upload was not confirmed: the version after the restart tells whether it took.");
    if (LinkBaud() != 9600 && options_.restore9600) {
        say("Please wait: baudrate will be reset to 9600.");
        PumpWait(1500);
        options_.restore9600();
    }
    return afterRestart();
}

FwResult FirmwareUpdate::afterRestart() {
    if (options_.keys.verifyParams) status("Verifying parameters...");
    const bool back = untilArrives("The detector's status", [&] {
        panel_.setText(upload::kStatusLine, "Waiting for detector to restart...");
        std::array<uint8_t, kStatusBytes> frame{};
        return ModbusGet(4, D_DATA2HOST, Wire().ctx, frame.data(), kStatusBytes, 10, 150) ==
               static_cast<int>(kStatusBytes);
    });
    if (!back && panel_.aborted()) return fail(FwResult::Aborted, kCheckAfterEnd);
    if (!back) return fail(FwResult::Failed, kPowerCycle);
    say("Waiting for detector to restart - done.");
    elevateFactory();
    if (const auto version = readFlash(kVersionAddress, 4); !version.empty()) {
        versionAfter_ = fw::Version{version[1], version[0]};
        panel_.setText(upload::kDetectorVersion, versionAfter_->text());
    }
    if (!versionAfter_ || versionAfter_->major != file_->header.version.major ||
        versionAfter_->sub != file_->header.version.sub) {
        say("The detector does not report the file's version.");
        return fail(FwResult::Failed, kUploadAgain);
    }
    if (!options_.keys.verifyParams) return FwResult::Updated;
    return verifyParams();
}

FwResult FirmwareUpdate::verifyParams() {
    const std::string restore = "Restore the parameters from \"" + backupPath_ + "\" with Parameters Update.";
    for (;;) {
        std::optional<ParamRecord> now;
        const bool got = untilArrives("The parameter record", [&] {
            panel_.setText(upload::kStatusLine, "Downloading parameters for verify...");
            now = readParamsOnce(nullptr);
            return now.has_value();
        });
        if (!got) {
            params_ = ParamsOutcome::Differ;
            say(restore);
            return panel_.aborted() ? fail(FwResult::Aborted, "") : FwResult::ParamsNotRestored;
        }
        say("Downloading parameters - done.");
        if (now->bytes().size() == backup_->bytes().size() &&
            std::equal(now->bytes().begin(), now->bytes().end(), backup_->bytes().begin())) {
            params_ = params_ == ParamsOutcome::NotAsked ? ParamsOutcome::Verified : ParamsOutcome::Repaired;
            status("Parameters verified successfully.");
            return FwResult::Updated;
        }
        say("Parameter verification failed...");
        if (repairCounter_ >= 2 && repairCounter_ <= 4) {
            ++repairCounter_;
            params_ = ParamsOutcome::Repaired;  // an attempt; verified on the next round
            say("Repairing parameters...");
            elevateFactory();
            PumpWait(100);
            flush();
            const auto bytes = backup_->bytes();
            ModbusSet(static_cast<unsigned>(bytes.size()), bytes.data(), Wire().ctx, D_PARAM2DET);
            continue;
        }
        params_ = ParamsOutcome::Differ;
        repairCounter_ = 0;
        say("Repairing parameters failed with two retries...");
        const std::string path =
            (std::filesystem::path(options_.folder) / format("param_addr%u_sn%u.upm", address_, serial_)).string();
        if (writePatchFile(path, *backup_)) {
            upmPath_ = path;
            say(format("UPM file \"%s\" created\r\nand can be used to \"Update\" the parameters later...",
                       path.c_str()));
        } else {
            say(format("Creating UPM file \"%s\" failed; please contact support", path.c_str()));
            say(restore);
        }
        return FwResult::ParamsNotRestored;
    }
}
