#pragma once
// "Fault List" (dialog template 219).
namespace faultwin {
constexpr int kTemplate = 219;
constexpr int kList = 3001;
}  // namespace faultwin
