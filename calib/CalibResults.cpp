#include "calib/CalibResults.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <span>

namespace autocal {

namespace {
void Append(std::string& s, const char* format, ...) __attribute__((format(printf, 2, 3)));
void Append(std::string& s, const char* format, ...) {
    char buf[256];
    va_list ap;
    va_start(ap, format);
    std::vsnprintf(buf, sizeof buf, format, ap);
    va_end(ap);
    s += buf;
}

const char* const kIr4Header =
    " S / N\t Failure Code\t BG45\t BG4\t BG5\t BG44\t lo\t scale45\t hi\t lo\t scale44\t hi\t lo\t scale45to4\t hi\t lo\t "
    "scale45to5\t hi\t lo\t scale44to4\t hi\t lo\t scale44to5\t hi\t lo\t scale44to45\t hi\t lo\t scale4to5\t hi\t\t sum45\t "
    "sum4\t sum5\t sum44\t rat45to4\t rat45to5\t rat44to4\t rat44to5\t rat44to45\t rat4to5\n";
const char* const kIr3Header =
    " S / N\t Failure Code\t BG45\t BG24\t BG5\t BG3\t lo\t scale45\t hi\t lo\t scale3\t hi\t lo\t scale45to24\t hi\t lo\t "
    "scale45to5\t hi\t lo\t scale3to24\t hi\t lo\t scale3to5\t hi\t lo\t scale3to45\t hi\t lo\t scale24to5\t hi\t\t sum45\t "
    "sum24\t sum5\t sum3\t rat45to24\t rat45to5\t rat3to24\t rat3to5\t rat3to45\t rat24to5\n";
const char* const kUvirHeader =
    " S / N\t Failure Code\t BGfirst_pass\t BGratio_hi\t BGratio_lo\t lo\t scale_first_pass\t hi\t lo\t scale_ratio_hi\t hi\t "
    "lo\t scale_ratio_lo\t hi\t\t first_pass\t ratio_hi\t ratio_lo\t min_UV_Sum\t ADJ_uvbit_val\n";

std::string Dashes(unsigned first, unsigned second) {
    std::string s;
    for (unsigned i = 0; i < first; ++i) s += i ? "\t --------" : " --------";
    s += "\t";
    for (unsigned i = 0; i < second; ++i) s += "\t --------";
    return s + "\n";
}

unsigned Whole(double v) { return v <= 0 || !std::isfinite(v) ? 0 : v >= 4294967295.0 ? 4294967295u : static_cast<unsigned>(std::lround(v)); }
}  // namespace

std::string ResultsFileName(const std::tm& utc) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "Results/AutoCalib_Y%uM%02uD%02u_h%02um%02us%02u_gmt.txt",
                  static_cast<unsigned>((utc.tm_year + 1900) % 100), static_cast<unsigned>(utc.tm_mon + 1),
                  static_cast<unsigned>(utc.tm_mday), static_cast<unsigned>(utc.tm_hour),
                  static_cast<unsigned>(utc.tm_min), static_cast<unsigned>(utc.tm_sec));
    return buf;
}

ResultsText::ResultsText(const Family& family, bool ir3, double sumThresh)
    : family_(family), ir3_(ir3), thresh_(sumThresh) {
    Append(text_, "Background sum threshold: %.1f\n\n", sumThresh);
}

void ResultsText::beginPass(unsigned retry) {
    if (retry) Append(text_, "\n\n\nRetry # %u", retry);
    const bool ir = family_.kind == ParamKind::Ir;
    text_ += ir ? (ir3_ ? kIr3Header : kIr4Header) : kUvirHeader;
    text_ += ir ? Dashes(30, 10) : Dashes(14, 4);
}

void ResultsText::addRow(ResultRow& row, const std::vector<Band>& bands) {
    const unsigned n = family_.quantities;
    const bool scalesRead = !row.scales.empty();
    row.scales.resize(n);
    row.averages.resize(family_.kind == ParamKind::Ir ? n : 3);
    auto outside = [&](unsigned k) { return family_.banded(k) && k < bands.size() && !bands[k].passes(row.scales[k]); };
    if (row.code == 0 && scalesRead)
        for (unsigned k = 0; k < n; ++k)
            if (outside(k)) row.code = -11;
    Append(text_, "%u\t%d", row.serial, row.code);
    if (row.code != -11 && row.code < -3) {
        text_ += "\n";
        return;
    }
    for (unsigned c = 0; c < family_.channels; ++c)
        Append(text_, "\t%c%.2f", row.background[c] > thresh_ ? 'x' : ' ', row.background[c]);
    if (row.code == -3) {
        text_ += "\n";
        return;
    }
    static const unsigned kIrOrder[] = {0, 3, 4, 5, 6, 7, 8, 9}, kUvOrder[] = {0, 1, 2};
    const bool ir = family_.kind == ParamKind::Ir;
    for (unsigned k : ir ? std::span<const unsigned>(kIrOrder) : std::span<const unsigned>(kUvOrder)) {
        const Band b = k < bands.size() ? bands[k] : Band{};
        Append(text_, "\t%.2f\t%c%.2f\t%.2f", b.lo, outside(k) ? 'x' : ' ', row.scales[k], b.hi);
    }
    text_ += "\t";
    if (ir) {
        for (double a : row.averages) Append(text_, "\t%.2f", a);
        text_ += "\n";
    } else {
        for (double a : row.averages) Append(text_, "\t%u", Whole(a));
        Append(text_, "\t%u\t%.1f\n", row.minUvSum, row.adjUv);
    }
}

}  // namespace autocal
