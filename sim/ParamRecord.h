#pragma once
// The parameter record a detector keeps in flash and checks before it burns
// a new one: 984 bytes on IR models, 224 on UV/IR models. The detector knows
// only the offsets it needs itself; everything else is stored as sent.
#include <cstddef>
#include <cstdint>
#include <string>

#include "sim/Bytes.h"

namespace wsim {

constexpr size_t kIrParamSize = 984, kUvirParamSize = 224;

inline size_t paramSize(bool uvir) { return uvir ? kUvirParamSize : kIrParamSize; }

namespace param {
// IR record.
constexpr size_t IrTier = 771, IrWarnFactor = 784, IrSumSize = 793, IrOrdnum = 804, IrMonth = 841,
                 IrNoGrad = 925;
// Per-range float[6] arrays of the IR record that the fire algorithm compares
// its values with, and the two bytes of its exhaust test.
constexpr size_t IrSum45 = 0, IrSum45Benz = 24, IrSum44 = 48, IrSum44Benz = 72, IrRatio45to4 = 96,
                 IrRatio44to4 = 144, IrRatio45to5 = 192, IrRatio44to5 = 240, IrRatio44to45 = 288,
                 IrRatio44to45Hyd = 336, IrRatio4to5Hyd = 432, IrCor45to4 = 480, IrCor45to5 = 528,
                 IrCor44to4 = 576, IrCor44to5 = 624, IrCor44to45 = 672, IrCor44to45Hyd = 720,
                 IrRat5Exhaust = 924, IrMaxRatio44to45 = 940;
// UV/IR record: sum_first_pass and its benzene variant, double[3].
constexpr size_t UvSumFirstPass = 0, UvSumFirstPassBenz = 24;
// UV/IR record.
constexpr size_t UvWarnFactor = 120, UvMonth = 139, UvOrdnum = 148, UvSumArraySize = 153;
}  // namespace param

inline size_t ordnumOffset(bool uvir) { return uvir ? param::UvOrdnum : param::IrOrdnum; }

// The factory record of a family, its serial number in `ordnum`.
Bytes factoryParams(bool uvir, uint32_t serial);

// Why the detector refuses to burn `rec` (of the family's size); empty when
// it would burn it.
std::string paramProblem(const Bytes& rec, bool uvir);

}  // namespace wsim
