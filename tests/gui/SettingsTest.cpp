// The port and units settings in both forms.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <QComboBox>
#include <QCoreApplication>

#include "GuiSupport.h"
#include "app/shell/CSettings.h"
#include "protocol/Transport.h"
#include "shell/StartUp.h"
#include "util/Profile.h"
#include "support/TempFolder.h"

namespace {

class Settings : public ::testing::Test {
protected:
    void SetUp() override {
        resetShell();
        CSettings::SetPortLister([] {
            return std::vector<PortEntry>{{"/dev/ttyS0", ""}, {"COM12", "USB Serial Port"}, {"/dev/ttyUSB0", "FT232R"}};
        });
        CSettings::SetRestart([this] { ++restarts; });
    }
    void TearDown() override {
        CSettings::SetPortLister({});
        CSettings::SetRestart({});
        resetShell();
    }
    void choose(CSettings& d, int index) { d.itemAs<QComboBox>(settingswin::kPortCombo)->setCurrentIndex(index); }
    // The list's lines, the chosen one marked with a '*'.
    static std::vector<std::string> lines(CSettings& d) {
        auto* combo = d.itemAs<QComboBox>(settingswin::kPortCombo);
        std::vector<std::string> out;
        for (int i = 0; i < combo->count(); ++i)
            out.push_back((i == combo->currentIndex() ? "*" : "") + combo->itemText(i).toStdString());
        return out;
    }
    TempFolder folder;
    int restarts = 0;
};

TEST_F(Settings, StartUpFormConfirmsWithoutRestart) {
    BoxRecorder boxes;
    CSettings d(CSettings::StartUpForm);
    EXPECT_EQ(d.itemAs<QComboBox>(settingswin::kPortCombo)->itemText(0).toStdString(), "/dev/ttyS0    <     >");
    d.onCommand(IDOK);
    ASSERT_EQ(boxes.calls.size(), 1u);
    EXPECT_EQ(boxes.calls[0].text, "Comport not selected");
    EXPECT_FALSE(d.confirmed());

    choose(d, 1);
    d.setChecked(settingswin::kUs, true);
    d.onCommand(IDOK);
    EXPECT_TRUE(d.confirmed());
    EXPECT_EQ(restarts, 0);
    EXPECT_EQ(ProfileGetString(kParamIni, "DCB", "szDetectorComport", ""), "COM12    <USB Serial Port>");
    EXPECT_EQ(ProfileGetString(kParamIni, "DCB", "szCom", ""), "COM12:9600,n,8,1");
    EXPECT_EQ(ProfileGetInt(kParamIni, "VantorD", "fUsUnits", 0), 1);
}

TEST_F(Settings, PageFormRestartsOnlyOnAChange) {
    ProfileWriteString(kParamIni, "DCB", "szDetectorComport", "/dev/ttyUSB0    <FT232R>");
    BoxRecorder boxes;
    CSettings d(CSettings::PageForm);
    EXPECT_EQ(d.itemAs<QComboBox>(settingswin::kPortCombo)->currentIndex(), 2);
    d.onCommand(settingswin::kSetPort);
    EXPECT_EQ(restarts, 0);
    EXPECT_EQ(ProfileGetString(kParamIni, "DCB", "szCom", ""), "/dev/ttyUSB0:9600,n,8,1");

    choose(d, 0);
    d.onCommand(settingswin::kSetPort);
    EXPECT_EQ(restarts, 1);
    ASSERT_EQ(boxes.calls.size(), 1u);
    EXPECT_EQ(boxes.calls[0].caption, "The Comport has changed:");
    EXPECT_EQ(boxes.calls[0].text, "Harrow will be restarted for the change to take effect...");
}

TEST_F(Settings, AFailedWriteSaysSoAndChangesNothing) {
    ProfileWriteString(kParamIni, "DCB", "szDetectorComport", "/dev/ttyUSB0    <FT232R>");
    // A folder where the temporary file must go makes every write fail, even for root.
    const std::string temp = std::string(kParamIni) + ".tmp" + std::to_string(::getpid());
    ::mkdir(temp.c_str(), 0755);
    BoxRecorder boxes;
    CSettings d(CSettings::PageForm);
    choose(d, 0);
    d.onCommand(settingswin::kSetPort);
    d.setChecked(settingswin::kUs, true);
    d.onCommand(settingswin::kSetUnits);
    ::rmdir(temp.c_str());
    EXPECT_EQ(restarts, 0);
    EXPECT_EQ(Shell().host.usUnits, 0);
    EXPECT_EQ(ProfileGetString(kParamIni, "DCB", "szDetectorComport", ""), "/dev/ttyUSB0    <FT232R>");
    ASSERT_EQ(boxes.calls.size(), 2u);
    EXPECT_EQ(boxes.calls[0].text, "Writing the comport to Param.ini failed:\r\nIs a directory");
    EXPECT_EQ(boxes.calls[1].text, "Writing the units to Param.ini failed:\r\nIs a directory");
    EXPECT_EQ(boxes.calls[1].caption, "Error");
}

TEST_F(Settings, PortListFollowsAdaptersAndKeepsTheStoredPortWhenMissing) {
    std::vector<PortEntry> present{{"/dev/ttyS0", ""}};
    CSettings::SetPortLister([&] { return present; });
    ProfileWriteStrings(kParamIni, "DCB",
                        {{"szDetectorComport", "/dev/ttyUSB0    <FT232R>"}, {"szCom", "/dev/ttyUSB0:9600,n,8,1,echo"}});
    CSettings d(CSettings::PageForm);
    const PortEntry usb0{"/dev/ttyUSB0", "FT232R"}, usb1{"/dev/ttyUSB1", ""};
    struct Step {
        const char* what;
        std::vector<PortEntry> present;
        int choose;  // -1: the user leaves the choice alone
        std::vector<std::string> lines;
    } const steps[] = {
        {"stored adapter absent", {{"/dev/ttyS0", ""}}, -1,
         {"/dev/ttyS0    <     >", "*/dev/ttyUSB0    <FT232R>  (missing)"}},
        {"plugged in", {{"/dev/ttyS0", ""}, usb0}, -1, {"/dev/ttyS0    <     >", "*/dev/ttyUSB0    <FT232R>"}},
        {"another one, the user's choice stays", {{"/dev/ttyS0", ""}, usb0, usb1}, 0,
         {"*/dev/ttyS0    <     >", "/dev/ttyUSB0    <FT232R>", "/dev/ttyUSB1    <     >"}},
        {"stored one pulled out", {{"/dev/ttyS0", ""}, usb1}, -1,
         {"*/dev/ttyS0    <     >", "/dev/ttyUSB1    <     >", "/dev/ttyUSB0    <FT232R>  (missing)"}},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.what);
        if (step.choose >= 0) choose(d, step.choose);
        present = step.present;
        d.onTimer(settingswin::kPortWatchTimer);
        EXPECT_EQ(lines(d), step.lines);
    }
    // "Set" on the missing line keeps what is stored; on the adapter, the hand-written option stays.
    choose(d, 2);
    d.onCommand(settingswin::kSetPort);
    EXPECT_EQ(ProfileGetString(kParamIni, "DCB", "szDetectorComport", ""), "/dev/ttyUSB0    <FT232R>");
    present = {usb0};
    d.onTimer(settingswin::kPortWatchTimer);
    d.onCommand(settingswin::kSetPort);
    EXPECT_EQ(ProfileGetString(kParamIni, "DCB", "szCom", ""), "/dev/ttyUSB0:9600,n,8,1,echo");
    EXPECT_EQ(restarts, 0);
}

TEST_F(Settings, StartUpFormSaysWhyThePortDidNotOpenAndWatchesOnlyWhileShown) {
    BoxRecorder boxes;
    Wire().openError = "/dev/ttyUSB0 is in use by another program (minicom pid 42); close that program and try again";
    CSettings d(CSettings::StartUpForm);
    EXPECT_FALSE(d.timerActive(settingswin::kPortWatchTimer));
    d.show();
    EXPECT_TRUE(d.timerActive(settingswin::kPortWatchTimer));
    for (int i = 0; i < 10 && boxes.calls.empty(); ++i) QCoreApplication::processEvents();
    ASSERT_EQ(boxes.calls.size(), 1u);
    EXPECT_EQ(boxes.calls[0].text, Wire().openError);
    EXPECT_EQ(boxes.calls[0].caption, "Error");
    d.hide();
    EXPECT_FALSE(d.timerActive(settingswin::kPortWatchTimer));
}

}  // namespace
