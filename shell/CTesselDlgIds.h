#pragma once
// Control, menu and timer numbers of the technician console (dialog template
// 186). Its status fields carry the main window's numbers (ctl:: in
// shell/CTesselMainIds.h), so that the one status poll serves both.
namespace techdlg {
constexpr int kTemplate = 186;

// Buttons.
constexpr int kParameters = 3000, kSetup = 3016, kFireThresholds = 3004, kAddress = 3012, kAddressDown = 3154,
              kAddressUp = 3155, kMaint = 3014, kNetwork = 3015, kSearch = 3023, kBit = 1965, kRecordIr = 3024,
              kSuspend = 3118, kPulse = 3119, kCalibrate = 3058, kBaudrate = 3189, kCommandMenu = 3063;
// The console's own list (the script's log lines).
constexpr int kList = 3001;

// The buttons the master flag disables while the search is on.
constexpr int kMasterButtons[] = {kParameters, kFireThresholds, kBit,     kMaint,        kRecordIr,
                                  kAddress,    kAddressDown,    kAddressUp, kCalibrate, kNetwork};

// Menu entries and keys, delivered as commands like the buttons (our numbers).
namespace cmd {
// "Record IR"
constexpr int Streaming2k3 = 40001, Streaming100Hz = 40002, Pulling100Hz = 40003;
// "Calibrate"
constexpr int Ir4Calibration = 40011, Ir1Calibration = 40012, Calibration420 = 40013, IrBitCalibration = 40014,
              UvBitCalibration = 40015, DciCalibration = 40016;
// "Baudrate"
constexpr int BaudBoth = 40021, BaudLocal = 40022;
// The command menu (">"), in its order.
constexpr int ShowVersion = 40031, StartFmTest = 40032, EraseLogfileNo = 40033, EraseLogfileYes = 40034,
              EraseFlash = 40035, UpdateFirmware = 40036, FlashDump = 40037, ParameterTemplate = 40038,
              MakeHang = 40039, Restart = 40040, Playback = 40041, GetMessageErase = 40042,
              GetMessageKeep = 40043, EraseMessages = 40044, ModbusInterface = 40045, MonitorExplosions = 40046,
              SanityCheck = 40047;
// Function keys.
constexpr int RunScript = 40101, MessageText = 40102, MessageAuto = 40103, CommError = 40104, CommError2 = 40105,
              SimulateAlarm = 40106, FillBlock = 40107;
}  // namespace cmd

// Timers.
constexpr int kStepTimer = 10201;         // address steps, every 100 ms
constexpr int kScriptTitleTimer = 10202;  // the running script's title, 750 ms
constexpr int kAutoMessageTimer = 10203;  // message text in automatic mode, 1 s
constexpr int kTickTimer = 10101;         // its own ticks when no poll clock runs
}  // namespace techdlg
