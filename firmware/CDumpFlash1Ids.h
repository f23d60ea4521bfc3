#pragma once
// The "Internal Flash Dump" window: its seven fields and labels.
namespace dumpflash {
constexpr int kTemplate = 181;
// Area 1 fills two fields (its product number as text, then its bytes in hex);
// areas 2..6 one each.
constexpr int kProductText = 1001, kProductHex = 1002, kSerial = 1003, kAppCode = 1004, kAppInfo = 1005,
              kStoreCode = 1006, kStoreInfo = 1007;
constexpr int kFields[] = {kProductText, kProductHex, kSerial, kAppCode, kAppInfo, kStoreCode, kStoreInfo};
}  // namespace dumpflash
