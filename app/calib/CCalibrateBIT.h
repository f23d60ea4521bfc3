#pragma once
#include <array>
#include <cstdint>
#include <memory>

#include "app/kit/Dialog.h"
#include "calib/BitSet.h"
#include "shell/PollClock.h"

// "Calibrate IR BIT" (CCalibrateBIT) and "Calibrate UV BIT" (CCalibrateBIT_UV):
// the dark and bright sets of calib/BitSet on the current detector, the ratio
// test, and Burn, which hands the thresholds to the parameter view. While a
// set runs the window holds the poll clock's ticks at 100 ms; each tick runs
// on the link worker.
class CCalibrateBIT : public Dialog {
public:
    explicit CCalibrateBIT(QWidget* parent = nullptr) : CCalibrateBIT(bitcal::Kind::Ir, parent) {}
    ~CCalibrateBIT() override;

    void onCommand(int id) override;
    void onTimer(int id) override;
    // The UV window leaves its calibration mode first (calib/BitSet's close rule).
    void done(int result) override;

    // The thresholds were written and read back through the parameter view.
    bool burned() const { return burned_; }
    bool modeEntered() const { return modeEntered_; }

protected:
    CCalibrateBIT(bitcal::Kind kind, QWidget* parent);

private:
    struct Run;
    using Which = bitcal::BitSet::Which;
    void build();
    void startOrAbort(Which which);
    void abortSet(bool restoreButton = true);
    void ended(unsigned generation, bitcal::BitSet::Tick tick, const std::string& error, float qtemp);
    void calculate();
    void burn();
    void toggleMode();
    void modeAnswered(bool enter, bool ok);
    void setupRead(std::optional<uint8_t> postManbit);
    void testAid();
    float field(int id) const;

    const bitcal::Kind kind_;
    std::shared_ptr<Run> run_;
    PollClock::Target ticks_ = 0;
    std::optional<Which> running_;
    unsigned generation_ = 0;
    std::array<unsigned, 3> durations_{};
    uint8_t postManbit_ = 0;
    float qtemp_ = 0;
    bool debug_ = false, modeEntered_ = false, closing_ = false, burned_ = false;
    bool modePending_ = false;  // an enter or leave request is on its way
    // The dark and bright averages that passed the ratio test: what Burn uses.
    std::optional<std::pair<float, float>> passed_;
};

class CCalibrateBIT_UV : public CCalibrateBIT {
public:
    explicit CCalibrateBIT_UV(QWidget* parent = nullptr) : CCalibrateBIT(bitcal::Kind::Uv, parent) {}
};
