#pragma once
// The slots of the window table through which the console's script finds the
// windows it drives (`g_hdlg`). A window puts itself into its slot when it
// opens and takes itself out when it closes.
namespace slot {
constexpr int kMaxDialogs = 15;  // MAX_DLGS
constexpr int ByCaption = 0, Console = 1, IrParameters = 2, UvirParameters = 3, Setup = 4, FireThresholds = 5,
              Maintenance = 6, FmTest = 7, Calibration = 8, Address = 9, Version = 10;
}  // namespace slot
