#pragma once
// "Modbus": the standard register window.
namespace modbuswin {
constexpr int kMap = 1000;  // the labels of the table the operation uses
// The operation (radio buttons).
constexpr int kReadInput = 1001, kReadHolding = 1002, kWriteSingle = 1003, kWriteMultiple = 1004;
constexpr int kCustom = 1005;       // "Custom First Reg": the first register typed in hex instead
constexpr int kCustomFirst = 1006;
constexpr int kCount = 1007;        // "# of Reg's"
constexpr int kValues[4] = {1008, 1009, 1010, 1011};  // hex words to write
constexpr int kDo = 1012;
constexpr int kResult = 1013;       // the lines of the last operation
constexpr int kMaxCount = 32;       // registers per operation, beside the special ones
}  // namespace modbuswin
