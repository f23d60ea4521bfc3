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
