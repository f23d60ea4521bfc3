// explosion and fmtest: the explosion monitor's four steps and the FM
// approval test's timed run, for scripts and rigs.
#include <algorithm>

#include "cli/CliCommands.h"
#include "cli/StopSignals.h"
#include "monitor/CFMTest2Ids.h"
#include "monitor/ExplosionMonitor.h"
#include "monitor/FmTest.h"
#include "monitor/TickLoop.h"
#include "protocol/Transport.h"

namespace {

std::string cellOrDash(const std::string& s) { return s.empty() ? "-" : s; }

// The index of `text` in `list`, or nothing.
std::optional<size_t> indexIn(const std::vector<std::string>& list, const std::string& text) {
    const auto it = std::find(list.begin(), list.end(), text);
    if (it == list.end()) return std::nullopt;
    return static_cast<size_t>(it - list.begin());
}

}  // namespace

int CliSession::explosion(const std::vector<std::string>& args) {
    std::vector<uint8_t> addresses{static_cast<uint8_t>(Wire().slave)};
    if (args.size() == 3 && args[1] == "--addresses") {
        const auto list = parseAddressList(args[2]);
        if (!list) return usageError("bad address list '" + args[2] + "' (1 to 247, comma separated)");
        addresses = *list;
    } else if (args.size() != 1) {
        return usageError("explosion [--addresses A,B,..]");
    }
    const std::shared_ptr<Panel> panel(&panel_, [](Panel*) {});
    explosion::ExplosionMonitor::Options o;
    o.addresses = [addresses] { return addresses; };
    explosion::ExplosionMonitor m(panel, o);

    m.startErase();
    RunOnClock(explosion::kTickMs, [&](unsigned long long) { return m.eraseTick(); });
    panel_.ask("Close this message box when done.", "Generate Explosion", MB_OK | MB_ICONINFORMATION);
    panel_.skipLine();
    m.generated();
    if (!m.startRetrieve()) return kCliUsage;
    RunOnClock(explosion::kTickMs, [&](unsigned long long) { return m.retrieveTick(); });

    bool allPass = true;
    for (unsigned i = 0; i < m.handled(); ++i) {
        const auto& r = m.rows()[i];
        out_ << r.address << '\t' << (r.serial ? std::to_string(*r.serial) : "-") << '\t' << cellOrDash(r.time)
             << '\t' << cellOrDash(r.fail) << '\n';
        allPass = allPass && r.fail == "0";
    }
    out_.flush();
    if (m.logFailed()) {
        err_ << "explosion: " << m.logPath() << " could not be written\n";
        return kCliUsage;
    }
    if (m.retriesRanOut()) return kCliFailed;
    return allPass ? kCliOk : kCliUnverified;
}

int CliSession::fmtest(const std::vector<std::string>& args) {
    const char* form =
        "fmtest [--addresses A,B,..] [--seconds S] [--fuel T] [--facing T] [--angle T] [--distance T] "
        "[--pc-timer] [--save]";
    std::vector<uint8_t> addresses{static_cast<uint8_t>(Wire().slave)};
    unsigned long seconds = 60;
    bool pcTimer = false, save = false;
    fmtest::Choice choice;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& name = args[i];
        if (name == "--pc-timer") {
            pcTimer = true;
            continue;
        }
        if (name == "--save") {
            save = true;
            continue;
        }
        if (i + 1 >= args.size()) return usageError(form);
        const std::string& value = args[++i];
        std::optional<size_t> at;
        if (name == "--addresses") {
            const auto list = parseAddressList(value);
            if (!list) return usageError("bad address list '" + value + "' (1 to 247, comma separated)");
            addresses = *list;
            continue;
        }
        if (name == "--seconds") {
            const auto n = parseDecimal(value);
            if (!n || *n == 0) return usageError("bad number of seconds '" + value + "'");
            seconds = *n;
            continue;
        }
        size_t* slot = name == "--fuel"     ? &choice.fuel
                       : name == "--facing" ? &choice.facing
                       : name == "--angle"  ? &choice.angle
                       : name == "--distance" ? &choice.distance
                                              : nullptr;
        const auto& list = name == "--fuel" ? fmtest::Fuels()
                           : name == "--facing" ? fmtest::Facings()
                           : name == "--angle" ? fmtest::Angles()
                                               : fmtest::Distances();
        if (!slot || !(at = indexIn(list, value))) return usageError("bad " + name + " '" + value + "'\n" + form);
        *slot = *at;
    }
    fmtest::Remember(choice);
    const std::shared_ptr<Panel> panel(&panel_, [](Panel*) {});
    panel_.setCheck(fmwin::kShowPcTimer, pcTimer ? 1 : 0);
    fmtest::FmTest::Options o;
    o.addresses = [addresses] { return addresses; };
    fmtest::FmTest test(panel, o);
    test.open();
    // A signal ends the test as the time running out would: rows printed, then Clear.
    StopSignals signals;
    test.start();

    RunOnClock(
        fmwin::kPollPeriodMs,
        [&](unsigned long long now) {
            test.tick(now);
            return test.expected() != 0 && !StopSignals::stopRequested();
        },
        TickMs() + seconds * 1000ull);
    const bool allFrozen = test.expected() == 0;
    for (const std::string& row : test.resultRows(pcTimer)) out_ << row << '\n';
    out_.flush();
    if (!save) test.discard();
    if (!test.clear()) return kCliUsage;
    return allFrozen ? kCliOk : kCliFailed;
}
