#pragma once
// "Switch Baudrate".
namespace baudwin {
constexpr int kList = 1000, kSwitch = 1001;
constexpr int kWaitTimer = 1;  // every 100 ms while waiting for answers at the new speed
}  // namespace baudwin
