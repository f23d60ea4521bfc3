#include "app/config/ParamViewShooter.h"

#include <QApplication>
#include <atomic>
#include <iostream>

#include "app/config/ParamView.h"
#include "app/kit/MessageBox.h"
#include "app/kit/QtPump.h"
#include "config/ParamViewOptions.h"
#include "network/AddressBook.h"
#include "protocol/Transport.h"
#include "shell/ShellState.h"
#include "shell/StartUp.h"
#include "shell/StatusPoll.h"

namespace {

// Runs `f` on the link worker; the interface keeps its events meanwhile.
template <class F>
void onLinkWorker(F f) {
    std::atomic<bool> done{false};
    Shell().link().post([&] {
        f();
        done = true;
    });
    while (!done) QApplication::processEvents(QEventLoop::AllEvents, 20);
}

}  // namespace

ParamViewShooter::ParamViewShooter() : pollWindow_(std::make_unique<Dialog>()) {}

std::optional<DetectorShot> ParamViewShooter::shoot(unsigned address, const std::string& folder) {
    auto poll = std::make_shared<StatusPoll>(pollWindow_->panel());
    std::optional<StatusRecord> status;
    poll->subscribe([&status](const PollOutcome& o) { status = o.status; });
    onLinkWorker([&] {
        poll->switchTo(address);
        poll->tick();
    });
    if (!status) return std::nullopt;

    SetUnattendedOutputFolder(folder);
    std::unique_ptr<ParamViewBase> view = MakeParamView(nullptr);
    std::optional<ParamRecord> record;
    view->setOnFilled([&] {
        view->saveScreenshot();
        record = view->reference();
        view->reject();
    });
    view->exec();  // a view whose read fails closes by itself
    SetUnattendedOutputFolder("");
    if (!record) return std::nullopt;
    return DetectorShot{static_cast<uint8_t>(status->header.model & 0xFF), *record};
}

int RunScreenshotRun(const std::string& folder) {
    InstallQtPumpWait();
    SetMessageBoxAnswerer([](const MessageBoxCall& box) {
        std::cerr << "Wexcon: " << box.caption << ": " << box.text << "\n";
        return (box.buttons & 0xF) == MB_YESNO || (box.buttons & 0xF) == MB_YESNOCANCEL ? IDNO : IDCANCEL;
    });
    LoadHostSettings();
    if (!OpenDetectorLink([] { return false; })) {
        std::cerr << "Wexcon: the port of Param.ini did not open: " << Wire().openError << "\n";
        return 1;
    }
    Book().load(kParamIni);
    const auto addresses = ScreenshotRunAddresses(Book().selected(), Wire().slave);
    std::vector<ShotOutcome> outcomes;
    {
        ParamViewShooter shooter;
        outcomes = RunScreenshots(addresses, folder, shooter);
    }
    for (const ShotOutcome& o : outcomes) std::cout << ShotLine(o) << "\n";
    Shell().stopLink();
    ResetWire();
    SetMessageBoxAnswerer({});
    return ScreenshotRunExitCode(outcomes);
}
