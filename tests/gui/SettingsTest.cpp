// The port and units settings in both forms.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <QComboBox>

#include "GuiSupport.h"
#include "app/shell/CSettings.h"
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

}  // namespace
