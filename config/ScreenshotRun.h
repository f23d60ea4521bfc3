#pragma once
// The unattended screenshot run over a network: for each detector of the
// list, its parameter view saves its picture and copies under
// <folder>/<serial>/ without a message box, then the record it read is
// checked against the master of the detector's type (sections
// "SanityCheck<i>" of ScreenshotOutput.ini, i counting from 0 along the list).
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "protocol/records/ParamRecord.h"

// What one detector's parameter view left behind.
struct DetectorShot {
    uint8_t typeByte = 0;  // header byte 5 of the detector's answers
    ParamRecord record;    // the record the view read, shown and saved
};

// The windows' side of the run.
class ScreenshotShooter {
public:
    virtual ~ScreenshotShooter() = default;
    // Makes `address` the current detector, opens its parameter view with
    // `folder` as the unattended-output folder, lets it save and closes it.
    // nullopt when the detector did not answer or the view could not read it.
    virtual std::optional<DetectorShot> shoot(unsigned address, const std::string& folder) = 0;
};

// The files a parameter view's screenshot saves into <folder>/<serial>/: the
// picture ("param.png", on UV/IR models "uv_param.png"), then "param.ini" and
// "param.bin".
constexpr const char* ParamPictureName(ParamKind kind) {
    return kind == ParamKind::Ir ? "param.png" : "uv_param.png";
}
std::vector<std::string> ShotFiles(ParamKind kind);

struct ShotOutcome {
    unsigned address = 0;
    std::optional<uint32_t> serial;  // the record's ordnum, once the view read it
    std::vector<std::string> missing;  // of ShotFiles (param.bin also when not the record's bytes)
    int check = -1;                    // the per-detector check; -1 when it did not run
    bool ok() const { return serial && missing.empty() && check == 0; }
};

// Who the run visits: the address book's selected list, else the current address.
std::vector<unsigned> ScreenshotRunAddresses(const std::vector<uint8_t>& selected, unsigned current);

// Runs over `addresses`; `mastersFolder` and `outputIni` as the per-detector check takes them.
std::vector<ShotOutcome> RunScreenshots(const std::vector<unsigned>& addresses, const std::string& folder,
                                        ScreenshotShooter& shooter, const std::string& mastersFolder = "Masters",
                                        const std::string& outputIni = "ScreenshotOutput.ini");

// One line for people per detector ("address 1 S/N 21030001: files saved, check 0").
std::string ShotLine(const ShotOutcome& outcome);
// The process's exit code: 0 when every detector gave its files and passed, else 1.
int ScreenshotRunExitCode(const std::vector<ShotOutcome>& outcomes);
