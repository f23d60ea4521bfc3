#pragma once
// Control and timer numbers of the main window (dialog template 224).

// The status panel, written by the status poll.
namespace ctl {
constexpr int Address = 3018, Serial = 3019, Model = 3020, Mode = 4180, State = 4181, StatusText = 3031,
              Analog = 3153, Accessory = 3221, Alarm = 3222, Fault = 3223, Heater = 3224, CommState = 3032,
              Permission = 3351, AddressLabel = 3358;

// The captioned lines of the status panel, shared by the windows that show it.
struct StatusRow {
    const char* caption;
    int id;
};
inline constexpr StatusRow kStatusRows[] = {{"Serial No.:", Serial}, {"Model:", Model}, {"Mode:", Mode},
                                            {"State:", State},       {"4-20 mA:", Analog}, {"Heater:", Heater}};
// The relay indicators beneath them, in one row.
inline constexpr StatusRow kRelayRow[] = {{"Accessory", Accessory}, {"Alarm", Alarm}, {"Fault", Fault}};
}

namespace mainwin {
constexpr int kTemplate = 224;
constexpr int kGroupButton = 4080;  // 4080..4083
constexpr int kSubButton = 4084;    // 4084..4087
constexpr int kTab = 3262, kPicture = 3372, kUpArrow = 3405, kDownArrow = 3406, kPolling = 3117, kTech = 3304,
              kConsole = 3267, kGas = 4089;
constexpr int kMinimize = 32799;  // the window menu's "&Minimize"

// Timers.
constexpr int kTickTimer = 10101;       // the poll clock's tick
constexpr int kStepTimer = 40804;       // address arrows, every 100 ms
constexpr int kRefreshPageTimer = 1;    // place and refresh the current page
constexpr int kFocusTimer = 10804;      // focus the Select page's address field
constexpr int kReloadSetupTimer = 40204;
constexpr int kConsoleTimer = 22222;
constexpr int kBytesAvailTimer = 11111;  // raw diagnostic title
}  // namespace mainwin
