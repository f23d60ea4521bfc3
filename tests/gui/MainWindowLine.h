#pragma once
// The main window polling a simulated line, in a fresh working folder whose
// Param.ini points at the line.
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

#include "GuiSupport.h"
#include "app/shell/CTesselMain.h"
#include "shell/StartUp.h"
#include "support/TempFolder.h"
#include "support/TestLine.h"

class MainWindowLine : public TestLine {
protected:
    void openOn(const std::vector<wsim::DetectorConfig>& detectors, testline::Options options = {}) {
        resetShell();
        ASSERT_NO_FATAL_FAILURE(startLine(detectors, options));
        std::ofstream("Param.ini") << "[DCB]\nszCom=" << line->slavePath() << ":9600,n,8,1\n[VantorD]\niGood=1\n";
        LoadHostSettings();
        ASSERT_TRUE(OpenDetectorLink([] { return false; }));
        window = std::make_unique<CTesselMain>(CTesselMain::Options{});
        window->show();
    }
    void TearDown() override {
        window.reset();
        resetShell();
        TestLine::TearDown();
    }

    const std::filesystem::path buildFolder = std::filesystem::current_path();
    TempFolder folder;
    std::unique_ptr<CTesselMain> window;
};
