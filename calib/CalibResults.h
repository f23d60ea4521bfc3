#pragma once
// The results file of an automatic calibration run: one header and one row
// per detector each pass, a "Retry # %u" block per later pass. The whole text
// is kept and the file replaced whole at the end of every pass, whatever
// ended it, so a stopped run still leaves what it knew.
#include <array>
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "calib/AutoCalibSettings.h"

namespace autocal {

struct ResultRow {
    uint32_t serial = 0;
    int code = 0;
    std::array<double, 4> background{};  // the family's channels, in its order
    std::vector<double> scales;          // one per quantity
    // IR: the ten averages (scale x reference / iterations). UV/IR: the row's
    // first pass, ratio high and ratio low as shown.
    std::vector<double> averages;
    unsigned minUvSum = 0;  // UV/IR
    double adjUv = 0;       // UV/IR
};

// "Results/AutoCalib_Y%uM%02uD%02u_h%02um%02us%02u_gmt.txt" of a UTC time.
std::string ResultsFileName(const std::tm& utc);

class ResultsText {
public:
    ResultsText(const Family& family, bool ir3, double sumThresh);
    // The header of a pass; retry 0 is the first pass, later ones start a "Retry # %u" block.
    void beginPass(unsigned retry);
    // A row; a code 0 with a banded scale read and outside its band becomes -11 (in `row` too).
    void addRow(ResultRow& row, const std::vector<Band>& bands);
    const std::string& text() const { return text_; }

private:
    const Family& family_;
    bool ir3_;
    double thresh_;
    std::string text_;
};

}  // namespace autocal
