#pragma once
// The firmware update as one procedure: the file's checks, the detector's
// identity, the parameter backup on disk, the upload of numbered blocks as the
// detector asks for them, the end, the restart, the return to 9600 baud and
// the parameters verified or repaired. It exchanges with the detector, so it
// runs on the link worker inside a procedure (or on the command line's
// thread) and talks to its window through Panel (firmware/CUploadIds.h).
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "firmware/FirmwareFile.h"
#include "protocol/records/ParamRecord.h"

class Panel;

// Param.ini section "FWUpdate".
struct FwUpdateKeys {
    bool shortHeader = false;  // "updateBa_to_Bb": block data right after the block number
    int verifyParams = 0;      // "fVerifyParam": backup and verification; the repair counter's start
};
FwUpdateKeys ReadFwUpdateKeys(const std::string& iniPath = "Param.ini");

struct FwUpdateOptions {
    unsigned blockSize = 4096;
    bool allowOlder = false;  // the override box
    FwUpdateKeys keys;
    unsigned giveUpS = 60;    // an upload with no block accepted for this long fails
    std::string folder = ".";  // of the backup and repair files
    // The backup's time stamp "YYYYMMDD-hhmmss"; empty: the local time now.
    std::function<std::string()> stamp;
    // Returns a raised link to 9600 baud (the baud-rate switch); empty: nothing to do.
    std::function<void()> restore9600;
    // Told the backup's path as soon as the file is on disk.
    std::function<void(const std::string&)> onBackup;
};

enum class FwResult { Updated, ParamsNotRestored, Failed, Aborted, Refused };
enum class ParamsOutcome { NotAsked, Verified, Repaired, Differ };

class FirmwareUpdate {
public:
    FirmwareUpdate(Panel& panel, FwUpdateOptions options);

    // Checking the file: its own checks, then the detector's product and
    // version. True with "File OK!".
    bool check(const std::string& path);
    // Start: the check again, then everything to the end of the verification.
    FwResult run(const std::string& path);
    // The window's opening with "fVerifyParam": the parameter record on disk
    // before a file is chosen (run() makes it itself when it is missing).
    bool backUp();
    // The block-size list and the override box, as they are when a check or run begins.
    void choose(unsigned blockSize, bool allowOlder) {
        options_.blockSize = blockSize;
        options_.allowOlder = allowOlder;
    }

    const std::optional<fw::FirmwareFile>& file() const { return file_; }
    // As read from the detector by the last check (bounded, printable).
    const std::string& detectorProduct() const { return detectorProduct_; }
    std::optional<fw::Version> detectorVersion() const { return detectorVersion_; }
    // Read after the restart.
    std::optional<fw::Version> versionAfter() const { return versionAfter_; }
    const std::string& backupPath() const { return backupPath_; }
    const std::string& upmPath() const { return upmPath_; }
    ParamsOutcome params() const { return params_; }
    // The last run ended at the setup read or the ADMIN password: the window closes.
    bool setupRefused() const { return setupRefused_; }

private:
    void say(const std::string& text);
    void status(const std::string& text);
    bool elevateFactory();
    std::vector<uint8_t> readFlash(uint32_t address, unsigned bytes);
    bool readSetup(bool* locked);
    std::optional<ParamRecord> readParamsOnce(uint32_t* serial);
    // Tries `attempt` every 100 ms for at most 60 s; false (with a message) when it never succeeds.
    bool untilArrives(const char* what, const std::function<bool()>& attempt);
    // One D_UPLOAD_FW exchange: the answer's status and next block, or nullopt.
    struct Answer {
        int status = 0;
        unsigned next = 0;
    };
    std::optional<Answer> exchange(const std::vector<uint8_t>& message, unsigned waitMs, unsigned timeoutMs);
    void refreshElevation();
    FwResult start();
    FwResult upload();
    FwResult finish();
    FwResult afterRestart();
    FwResult verifyParams();
    void restoreLink(const char* message);
    FwResult fail(FwResult result, const std::string& advice);

    Panel& panel_;
    FwUpdateOptions options_;
    std::optional<fw::FirmwareFile> file_;
    std::string detectorProduct_;
    std::optional<fw::Version> detectorVersion_, versionAfter_;
    std::optional<ParamRecord> backup_;
    uint32_t serial_ = 0;
    unsigned address_ = 0;
    std::string password_;  // the remembered ADMIN password
    bool locked_ = false, setupRefused_ = false;
    std::string backupPath_, upmPath_;
    ParamsOutcome params_ = ParamsOutcome::NotAsked;
    int repairCounter_ = 0;
};
