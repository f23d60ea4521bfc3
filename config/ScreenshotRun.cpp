#include "config/ScreenshotRun.h"

#include <algorithm>
#include <filesystem>

#include "config/SanityCheck.h"
#include "util/Profile.h"
#include "util/WholeFile.h"

namespace fs = std::filesystem;

std::vector<unsigned> ScreenshotRunAddresses(const std::vector<uint8_t>& selected, unsigned current) {
    if (selected.empty()) return {current};
    return {selected.begin(), selected.end()};
}

std::vector<std::string> ShotFiles(ParamKind kind) { return {ParamPictureName(kind), "param.ini", "param.bin"}; }

namespace {

// The view's files, present and not empty; param.bin must be the record it read.
std::vector<std::string> missingFiles(const fs::path& shotFolder, const ParamRecord& record) {
    std::vector<std::string> missing;
    for (const std::string& name : ShotFiles(record.kind())) {
        const fs::path file = shotFolder / name;
        std::error_code ec;
        const auto size = fs::file_size(file, ec);
        bool good = !ec && size > 0;
        if (good && file.filename() == "param.bin") {
            const auto bytes = ReadWholeFile(file.string(), kIrParamSize + 1);
            good = bytes && std::ranges::equal(*bytes, record.bytes());
        }
        if (!good) missing.push_back(name);
    }
    return missing;
}

}  // namespace

std::vector<ShotOutcome> RunScreenshots(const std::vector<unsigned>& addresses, const std::string& folder,
                                        ScreenshotShooter& shooter, const std::string& mastersFolder,
                                        const std::string& outputIni) {
    std::vector<ShotOutcome> outcomes;
    for (unsigned index = 0; index < addresses.size(); ++index) {
        ShotOutcome& out = outcomes.emplace_back();
        out.address = addresses[index];
        const auto shot = shooter.shoot(out.address, folder);
        if (!shot) {
            // No check ran: no earlier run's result may stand for this detector.
            ProfileDeleteSection(outputIni, "SanityCheck" + std::to_string(index));
            continue;
        }
        out.serial = shot->record.ordnum();
        out.missing = missingFiles(fs::path(folder) / std::to_string(*out.serial), shot->record);
        out.check = CheckDetectorByType(index, shot->typeByte, shot->record, mastersFolder, outputIni);
    }
    return outcomes;
}

std::string ShotLine(const ShotOutcome& o) {
    std::string line = "address " + std::to_string(o.address);
    if (!o.serial) return line + ": no parameter record";
    line += " S/N " + std::to_string(*o.serial) + ": ";
    if (o.missing.empty()) {
        line += "files saved";
    } else {
        line += "missing";
        for (const std::string& name : o.missing) line += " " + name;
    }
    return line + ", check " + std::to_string(o.check);
}

int ScreenshotRunExitCode(const std::vector<ShotOutcome>& outcomes) {
    return std::ranges::all_of(outcomes, &ShotOutcome::ok) ? 0 : 1;
}
