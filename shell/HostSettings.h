#pragma once
#include <string>

// The host settings of the running tool, read from Param.ini at start-up (and
// again where a window says so). One owner: the start-up code fills it; tests
// reset it.
struct HostSettings {
    int usUnits = 0;          // 0 metric, 1 US (feet, degrees Fahrenheit)
    int textVariant = 1;      // 0..2: product name and connection texts
    bool skinButtons = true;
    bool simulateTree = true;
    std::string largeFont = "Calibri";
    std::string libraryVersion = "3.1.2";
};

HostSettings& Host();
void ResetHost();

// What the status poll learned about the current detector that other windows
// read: the picture code (it decides model names), the model flags, the
// last serial number.
struct DetectorView {
    int pictureCode = 0xDB;
    bool uvirModel = false;
    bool alternateSensor = false;
    unsigned lastSerial = 0;
};

DetectorView& Detector();
