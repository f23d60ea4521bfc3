// The FOV thresholds window, and the unattended screenshot run.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QSlider>

#include "GuiSupport.h"
#include "app/config/CFOV.h"

namespace {

using namespace fovwin;

TEST(FovWindow, SlidersOkCancelAndInitialState) {
    // EMA 0 and Normal 9 lie outside their sliders: shown, and returned, clamped.
    const FovThresholds record{0, 16, 9};
    CFOV d(record, FovInitialState{224, 255, 7});
    EXPECT_EQ(d.templateId(), kTemplate);
    EXPECT_EQ(d.windowTitle(), "FOV Parameters");
    struct Row { int slider, value, min, max; std::string shown; };
    for (const Row& r : {Row{kEmaSlider, kEmaValue, 1, 180, "1"}, Row{kFaultSlider, kFaultValue, 10, 20, "16"},
                         Row{kNormalSlider, kNormalValue, 2, 8, "8"}}) {
        auto* slider = d.itemAs<QSlider>(r.slider);
        EXPECT_EQ(slider->minimum(), r.min);
        EXPECT_EQ(slider->maximum(), r.max);
        EXPECT_EQ(d.text(r.value), r.shown);
    }
    d.itemAs<QSlider>(kEmaSlider)->setValue(106);
    EXPECT_EQ(d.text(kEmaValue), "106");  // the field follows the slider

    d.show();
    const int narrow = d.width();
    EXPECT_TRUE(d.item(kInitialState)->isHidden());
    d.itemAs<QAbstractButton>(kMore)->click();
    EXPECT_TRUE(pumpUntil([&] { return d.width() > narrow; }));
    EXPECT_EQ(d.text(kX) + "," + d.text(kY) + "," + d.text(kZ), "224,255,7");

    d.itemAs<QAbstractButton>(kOk)->click();
    EXPECT_EQ(d.result(), (FovThresholds{106, 16, 8}));

    CFOV cancelled(record, std::nullopt);  // a UV/IR record has no initial state
    EXPECT_EQ(cancelled.text(kX), "");
    cancelled.itemAs<QSlider>(kFaultSlider)->setValue(12);
    cancelled.itemAs<QAbstractButton>(kCancel)->click();
    EXPECT_FALSE(cancelled.result());
}

}  // namespace
