// The setup record's layout, byte by byte, and the names of its fields.
#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "protocol/records/SetupRecord.h"
#include "support/RefCrc.h"

namespace {

using Bytes = std::vector<uint8_t>;

TEST(SetupRecord, EveryByteHasItsField) {
    Bytes bytes(kSetupRecordSize);
    std::iota(bytes.begin(), bytes.end(), uint8_t{1});  // each field shows where it was read from
    const auto r = DecodeSetup(bytes);
    ASSERT_TRUE(r);
    const Bytes singles{r->address,      r->Sensitivity,   r->Delay,          r->AlarmLatch,     r->HeaterMode,
                        r->HeaterOnTemp, r->HeaterPower,   r->AlarmOnBIT,     r->AccessoryOnBIT, r->EnableAutoBIT,
                        r->BitFaultCount, r->BitPeriod,    r->EnableAccessory, r->EOL,           r->AccessoryOnFOV,
                        r->EnableFOV,    r->Reserved,      r->Explosion,      r->FastDetect,     r->IROnly,
                        r->UVOnly,       r->UVIR,          r->Param420[0],    r->Param420[9],    r->LockState,
                        r->post_manbit_duration, r->reserved34[0], r->MaintPassword[0], r->MaintPassword[16],
                        r->AdminPassword[0], r->AdminPassword[16], r->reserved70[1]};
    EXPECT_EQ(singles, (Bytes{1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16,
                              17, 18, 19, 20, 21, 22, 23, 32, 33, 34, 35, 37, 53, 54, 70, 72}));
    const SetupBytes again = EncodeSetup(*r);
    EXPECT_EQ(Bytes(again.begin(), again.end()), bytes);

    for (size_t n : {0, 71, 73}) EXPECT_FALSE(DecodeSetup(Bytes(n, 0))) << n;
    const Bytes answer = recordAnswer(9, bytes);
    EXPECT_FALSE(DecodeSetupAnswer(std::span(answer).first(88)));
    EXPECT_EQ(DecodeSetupAnswer(answer), r);

    SetupRecord a, b;
    EXPECT_EQ(FirstSetupDifference(a, b), -1);
    for (auto [field, at] : {std::pair{&b.AdminPassword[16], 69}, {&b.Param420[9], 31}, {&b.Delay, 2}}) {
        *field = 1;
        EXPECT_EQ(FirstSetupDifference(a, b), at);
    }
    // A difference is named by its field, inside the levels by the model's own level.
    EXPECT_EQ(std::tuple(SetupFieldName(27, false), SetupFieldName(29, true), SetupFieldName(52, false),
                         SetupFieldName(72, false)),
              std::tuple("Param420[Warning]", "Param420[AlarmUV]", "MaintPassword", ""));
}

}  // namespace
