#pragma once
#include <optional>

#include "app/kit/Dialog.h"
#include "config/CFOVIds.h"

// "FOV Parameters": the FOV thresholds of the parameter view on three
// sliders. A value outside its slider's range is shown clamped to it, and OK
// returns the clamped position. ">" widens the window to the "Initial State"
// panel (X, Y, Z; blank when the record has none). Cancel returns nothing.
class CFOV : public Dialog {
public:
    CFOV(const FovThresholds& values, const std::optional<FovInitialState>& initial,
         QWidget* parent = nullptr);

    void onCommand(int id) override;
    // The slider positions, once OK was pressed.
    const std::optional<FovThresholds>& result() const { return result_; }

    // Opens the window and waits: the new thresholds, or nullopt on Cancel.
    static std::optional<FovThresholds> Ask(const FovThresholds& values,
                                            const std::optional<FovInitialState>& initial,
                                            QWidget* parent);

private:
    void showInitialState(bool on);

    std::optional<FovThresholds> result_;
};
