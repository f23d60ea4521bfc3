// The two parameter layouts, their grid cells and their default records. The
// checks at the end prove at compile time that each table, with the reserved
// gaps, covers its record byte by byte in order.
#include <string_view>

#include "protocol/records/ParamCells.h"
#include "protocol/records/ParamRecord.h"

namespace {

using T = ParamType;
using namespace paramcell;

constexpr ParamField kIr[] = {
    {"sum45", 0, T::F32, 6, 1600, {1e9, 14250000, 855, 214, 43, 7}},
    {"sum45benz", 24, T::F32, 6, 1606, {356240, 12112, 1069, 214, 43, 7}},
    {"sum44", 48, T::F32, 6, 1612, {1e9, 13865000, 1040, 277, 49, 8}},
    {"sum44benz", 72, T::F32, 6, 1618, {346600, 11780, 1300, 277, 49, 8}},
    {"ratio45to4", 96, T::F32, 6, 1624, {8.6, 6.7, 1.9, 0.8, 0.8, 0.8}},
    {"ratio45to4benz", 120, T::F32, 6, 1630, {4.3, 3.3, 1.9, 0.8, 0.8, 0.8}},
    {"ratio44to4", 144, T::F32, 6, 1636, {6, 4.7, 1.3, 0.6, 0.6, 0.6}},
    {"ratio44to4benz", 168, T::F32, 6, 1642, {3, 2.3, 1.3, 0.6, 0.6, 0.6}},
    {"ratio45to5", 192, T::F32, 6, 1648, {7.2, 5.6, 1.6, 0.7, 0.7, 0.7}},
    {"ratio45to5benz", 216, T::F32, 6, 1654, {3.6, 2.8, 1.6, 0.7, 0.7, 0.7}},
    {"ratio44to5", 240, T::F32, 6, 1660, {5, 3.9, 1.1, 0.5, 0.5, 0.5}},
    {"ratio44to5benz", 264, T::F32, 6, 1666, {2.5, 1.9, 1.1, 0.5, 0.5, 0.5}},
    {"ratio44to45", 288, T::F32, 6, 1672, {}},
    {"ratio44to45benz", 312, T::F32, 6, 1678, {}},
    {"ratio44to45Hyd", 336, T::F32, 6, 1684, {}},
    {"ratio44to45Hydbenz", 360, T::F32, 6, 1690, {}},
    {"ratio4to5", 384, T::F32, 6, 1696, {}},
    {"ratio4to5benz", 408, T::F32, 6, 1702, {}},
    {"ratio4to5Hyd", 432, T::F32, 6, 1708, {}},
    {"ratio4to5Hydbenz", 456, T::F32, 6, 1714, {}},
    {"cor45to4", 480, T::F32, 6, 1720, {0.6, 0.6, 0.6, 0.6, 0.6, 0.6}},
    {"cor45to4benz", 504, T::F32, 6, 1726, {0.3, 0.3, 0.3, 0.3, 0.3, 0.3}},
    {"cor45to5", 528, T::F32, 6, 1732, {0.6, 0.6, 0.6, 0.6, 0.6, 0.6}},
    {"cor45to5benz", 552, T::F32, 6, 1738, {0.3, 0.3, 0.3, 0.3, 0.3, 0.3}},
    {"cor44to4", 576, T::F32, 6, 1744, {0.6, 0.6, 0.6, 0.6, 0.6, 0.6}},
    {"cor44to4benz", 600, T::F32, 6, 1750, {0.3, 0.3, 0.3, 0.3, 0.3, 0.3}},
    {"cor44to5", 624, T::F32, 6, 1756, {0.6, 0.6, 0.6, 0.6, 0.6, 0.6}},
    {"cor44to5benz", 648, T::F32, 6, 1762, {0.3, 0.3, 0.3, 0.3, 0.3, 0.3}},
    {"cor44to45", 672, T::F32, 6, 1768, {0.6, 0.6, 0.6, 0.6, 0.6, 0.6}},
    {"cor44to45benz", 696, T::F32, 6, 1774, {0.3, 0.3, 0.3, 0.3, 0.3, 0.3}},
    {"cor44to45Hyd", 720, T::F32, 6, 1780, {0.6, 0.6, 0.6, 0.6, 0.6, 0.6}},
    {"cor44to45Hydbenz", 744, T::F32, 6, 1786, {0.3, 0.3, 0.3, 0.3, 0.3, 0.3}},
    {"FOV_EMA_Duration", 768, T::U8, 1, kFovEma, {106}},
    {"FOV_Fault_Threshold", 769, T::U8, 1, kFovFault, {16}},
    {"FOV_Normal_Threshold", 770, T::U8, 1, kFovNormal, {8}},
    {"tier", 771, T::U8, 1, 1400, {1}},
    {"autobit", 772, T::F32, 1, 1401, {300}},
    {"manbit", 776, T::F32, 1, 1403, {300}},
    {"bitnoise", 780, T::F32, 1, 1404, {3}},
    {"warnfactor", 784, T::F32, 1, 1405, {0.9}},
    {"gradthresh", 788, T::F32, 1, 1406, {0}},
    {"prnoisef", 792, T::U8, 1, 1407, {50}},
    {"sumsize", 793, T::U8, 1, kSumsize, {121}},
    {"amplify44", 794, T::U8, 1, 1408, {0}},
    {"Meta_Short_Count", 795, T::U8, 1, 1409, {0}},
    {"IRFastAbsDly", 796, T::U8, 1, 1410, {5}},
    {"FastIR_Hold_Time", 798, T::U8, 1, 1411, {3}},
    {"DecisionBranch", 799, T::U8, 1, 1412, {7}},
    {"LockPulseTime", 800, T::U8, 1, 1413, {10}},
    {"ordnum", 804, T::U32, 1, kSerial, {0}},
    {"f_ratio45to4_Thr", 808, T::F32, 1, 1415, {2.36}},
    {"f_ratio45to5_Thr", 812, T::F32, 1, 1416, {3.47}},
    {"f_ratio44to4_Thr", 816, T::F32, 1, 1417, {1.73}},
    {"f_ratio44to5_Thr", 820, T::F32, 1, 1418, {1.51}},
    {"f_ratio45to44_Thr", 824, T::F32, 1, 1419, {0}},
    {"f_ratio4to5_Thr", 828, T::F32, 1, 1420, {0}},
    {"IRFastAbsThr45", 832, T::F32, 1, 1421, {514}},
    {"HtrOff_35_50", 836, T::U8, 1, 1422, {255}},
    {"vHW", 839, T::HwVersion, 1, kHwCpu, {0x33}},
    {"dateHW_year", 840, T::U8, 1, kHwYear, {20}},
    {"dateHW_month", 841, T::U8, 1, kHwMonth, {2}},
    {"IRFastAbsThr44", 904, T::F32, 1, 1427, {180}},
    {"Rat5Per_EGZOZ", 924, T::U8, 1, 1428, {255}},
    {"is_no_grad", 925, T::U8, 1, 1429, {0}},
    {"delay_before_alarm", 926, T::U8, 1, 1430, {255}},
    {"model_no", 927, T::U8, 1, 1431, {5}},
    {"DeltaHeatOff", 928, T::U8, 1, 1432, {10}},
    {"LowRat44to45Dly", 929, T::U8, 1, 1433, {200}},
    {"minVoltage", 930, T::U8, 1, 1434, {160}},
    {"Hydrogen", 931, T::U8, 1, 1435, {0}},
    {"HiCorrNoise", 932, T::F32, 1, 1436, {0.3}},
    {"LoCorrNoise", 936, T::F32, 1, 1437, {0.3}},
    {"MAXratio44to45Factor", 940, T::U8, 1, 1438, {0}},
    {"ChannelSelect", 941, T::U8, 1, 1439, {10}},
    {"isEnableBBdetection", 944, T::U8, 1, 1440, {0}},
    {"RatFac", 945, T::U8, 1, 1441, {200}},
    {"BB45_RatFact", 956, T::F32, 1, 1442, {0.15}},
    {"BB44_RatFact", 960, T::F32, 1, 1443, {0.1}},
    {"BB_corDiff", 964, T::F32, 1, 1444, {0.001}},
    {"BB_corr", 968, T::F32, 1, 1445, {0.8}},
    {"BBSumFactor", 972, T::F32, 1, 1446, {3}},
};

constexpr ParamField kUvir[] = {
    {"sum_first_pass", 0, T::F64, 3, 1900, {80000, 1000, 170}},
    {"sum_first_pass_benz", 24, T::F64, 3, 1903, {40000, 500, 85}},
    {"ratio_hi", 48, T::F32, 3, 1906, {}},
    {"ratiohi_benz", 60, T::F32, 3, 1909, {}},
    {"ratio_lo", 72, T::F32, 3, 1912, {}},
    {"ratiolo_benz", 84, T::F32, 3, 1915, {}},
    {"first_fltr_size", 96, T::F32, 1, 1920, {15}},
    {"saved_uv_bit_val", 100, T::F32, 1, 1921, {0}},
    {"autobit", 104, T::F64, 1, 1401, {600}},
    {"manbit", 112, T::F64, 1, 1403, {600}},
    {"warnfactor", 120, T::F32, 1, 1405, {80}},
    {"gradthresh", 124, T::F32, 1, 1406, {0}},
    {"FirstAvgFact", 128, T::F32, 1, 1922, {0.85}},
    {"hi_fltr_size", 132, T::U16, 1, 1923, {9}},
    {"lo_fltr_size", 134, T::U16, 1, 1924, {11}},
    {"UVTubeVol", 136, T::U16, 1, 1925, {60}},
    {"dateHW_year", 138, T::U8, 1, kHwYear, {20}},
    {"dateHW_month", 139, T::U8, 1, kHwMonth, {2}},
    {"lo_fltr_size1", 140, T::F32, 1, 1926, {9}},
    {"lo_fltr_size2", 144, T::F32, 1, 1927, {7}},
    {"ordnum", 148, T::U32, 1, kSerial, {0}},
    {"HtrOff_35_50", 152, T::U8, 1, 1422, {255}},
    {"sum_array_size", 153, T::U8, 1, kSumArraySize, {121}},
    {"UVBIT_Thr", 154, T::U8, 1, 1928, {3}},
    {"vHW", 155, T::HwVersion, 1, kHwCpu, {0x32}},
    {"powerupdur", 156, T::U32, 1, 1929, {30}},
    {"UV_BIT_Duration", 160, T::U16, 1, 1930, {0}},
    {"tier", 167, T::U8, 1, 1400, {1}},
    {"is_no_grad", 200, T::U8, 1, 1429, {0}},
    {"delay_before_alarm", 201, T::U8, 1, 1430, {255}},
    {"model_no", 202, T::U8, 1, 1431, {5}},
    {"DeltaHeatOff", 203, T::U8, 1, 1432, {10}},
    {"minVoltage", 204, T::U8, 1, 1434, {160}},
    {"UVIRorUV", 205, T::U8, 1, 1931, {0}},
    {"is_Exp_Level_Thr", 206, T::U8, 1, 1932, {0}},
    {"BITnoise", 207, T::U8, 1, 1934, {3}},
    {"IRFastAbsDly", 209, T::U8, 1, 1410, {5}},
    {"IRFastAbsThr", 210, T::U16, 1, 1935, {80}},
    {"UV_Fast_Window_Width", 212, T::U8, 1, 1936, {20}},
    {"UV_Fast_Det_Thr", 213, T::U8, 1, 1937, {6}},
    {"UVIR_Fast_Hold_Time", 214, T::U8, 1, 1938, {50}},
    {"UV_Slow_Window_Width", 215, T::U8, 1, 1939, {200}},
    {"UV_Slow_Num_Windows", 216, T::U8, 1, 1940, {32}},
    {"UV_Slow_Warn_Thr", 217, T::U8, 1, 1941, {3}},
    {"UV_Slow_Alarm_Thr", 218, T::U8, 1, 1942, {6}},
    {"Alarm_Hold_Time", 219, T::U8, 1, 1943, {3}},
    {"gainFactor", 220, T::U8, 1, 1944, {10}},
    {"FOV_EMA_Duration", 221, T::U8, 1, kFovEma, {106}},
    {"FOV_Fault_Threshold", 222, T::U8, 1, kFovFault, {16}},
    {"FOV_Normal_Threshold", 223, T::U8, 1, kFovNormal, {8}},
};

// The bytes no field owns; the program carries them as read.
struct Gap {
    size_t offset, size;
};
constexpr Gap kIrReserved[] = {{797, 1}, {801, 3}, {837, 2}, {842, 62}, {908, 16}, {942, 2}, {946, 10}, {976, 8}};
constexpr Gap kUvirReserved[] = {{162, 5}, {168, 32}, {208, 1}};

constexpr size_t bytesOf(const ParamField& f) { return ParamTypeSize(f.type) * f.count; }

// Fields and gaps, taken in record order, each start where the previous ended
// and end at the record's end: no overlap, no unlisted byte, nothing past it.
template <size_t N, size_t G>
constexpr bool tiles(const ParamField (&fields)[N], const Gap (&gaps)[G], size_t size) {
    size_t next = 0, f = 0, g = 0;
    while (f < N || g < G) {
        if (f < N && fields[f].offset == next)
            next += bytesOf(fields[f++]);
        else if (g < G && gaps[g].offset == next)
            next += gaps[g++].size;
        else
            return false;
    }
    return next == size;
}

// Arrays hold one float per sensitivity; the hardware version holds two lists.
constexpr int cellsOf(const ParamField& f) { return f.type == T::HwVersion ? 2 : f.count; }

// A default an integer field can hold: whole, 0..its maximum.
constexpr bool fits(const ParamField& f, double v) {
    if (f.type == T::F32 || f.type == T::F64) return v >= -3.4e38 && v <= 3.4e38;
    return v >= 0 && v <= ParamTypeMax(f.type) && v == static_cast<double>(static_cast<uint64_t>(v));
}

// Names are unique; cells are unique, in the grid's range (the FOV group
// aside) and clear of the buttons; arrays are floats of the kind's length;
// each default fits its field, and only the field's elements have one.
template <size_t N>
constexpr bool wellFormed(const ParamField (&fields)[N], int arrayLength) {
    for (size_t a = 0; a < N; ++a) {
        const ParamField& f = fields[a];
        if (f.count != 1 && (f.count != arrayLength || (f.type != T::F32 && f.type != T::F64))) return false;
        for (size_t i = 0; i < 6; ++i)
            if (i < f.count ? !fits(f, f.defaults[i]) : f.defaults[i] != 0) return false;
        const bool fov = f.cell == kFovEma || f.cell == kFovFault || f.cell == kFovNormal;
        if (!fov && (f.cell < kFirstCell || f.cell + cellsOf(f) - 1 > kLastCell)) return false;
        if (f.cell + cellsOf(f) > kFirstButton && f.cell <= kLastButton) return false;
        for (size_t b = a + 1; b < N; ++b) {
            if (std::string_view(f.name) == fields[b].name) return false;
            if (f.cell < fields[b].cell + cellsOf(fields[b]) && fields[b].cell < f.cell + cellsOf(f)) return false;
        }
    }
    return true;
}

static_assert(tiles(kIr, kIrReserved, kIrParamSize));
static_assert(tiles(kUvir, kUvirReserved, kUvirParamSize));
static_assert(wellFormed(kIr, 6) && wellFormed(kUvir, 3));
static_assert(kHwIo == kHwCpu + 1);

}  // namespace

std::span<const ParamField> ParamFields(ParamKind kind) {
    if (kind == ParamKind::Ir) return kIr;
    return kUvir;
}

const ParamField* FindParamField(ParamKind kind, std::string_view name) {
    for (const ParamField& f : ParamFields(kind))
        if (name == f.name) return &f;
    return nullptr;
}

ParamRecord ParamRecord::Defaults(ParamKind kind) {
    ParamRecord r(kind, std::vector<uint8_t>(ParamSize(kind), 0));
    for (const ParamField& f : ParamFields(kind))
        for (size_t i = 0; i < f.count; ++i) r.setValue(f, i, f.defaults[i]);
    if (kind == ParamKind::Ir) {
        // The reserved bytes as the detectors leave the factory.
        r.bytes_[837] = 0x01;
        r.bytes_[908] = 0xE0;
        r.bytes_[909] = 0xFF;
        r.bytes_[943] = 0xFF;
    }
    return r;
}
