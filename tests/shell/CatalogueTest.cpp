// The status texts a technician reads off the main window.
#include <gtest/gtest.h>

#include "shell/Catalogue.h"
#include "shell/ShellState.h"

namespace {

class CatalogueTest : public ::testing::Test {
protected:
    void SetUp() override { ResetShell(); }
    void TearDown() override { ResetShell(); }
};

TEST_F(CatalogueTest, StatusLines) {
    struct Case {
        const char* what;
        int textVariant;
        bool uvir;
        bool alternateSensor;
        char mode;
        int code;
        const char* line;
    };
    const Case cases[] = {
        {"mode alone", 1, false, false, 'W', 0, "Warning"},
        {"both joined", 1, false, false, 'N', 90, "Normal - Startup - power on"},
        {"both joined, variant 2", 2, false, false, 'N', 90, "Normal - Startup - power on"},
        {"variant 0 keeps Normal quiet", 0, false, false, 'N', 90, "Startup - power on"},
        {"variant 0 keeps other modes", 0, false, false, 'A', 0, "Alarm"},
        {"lower-case gradient", 1, false, false, 'g', 0, "Gradient"},
        {"lower-case IR level", 1, false, false, 'i', 0, "IR level"},
        {"lower-case UV level", 1, false, false, 'u', 0, "UV level"},
        {"lower-case alarm is not a mode", 1, false, false, 'a', 0, ""},
        {"unknown mode leaves the state", 1, false, false, 'F', 8, "BIT fault"},
        {"47 on a UV/IR model", 1, true, false, 'A', 47, "Alarm - IR locked high fault"},
        {"47 on an IR model", 1, false, false, 'A', 47, "Alarm - Analog front end (sigma delta) fault"},
        {"33 alternate sensor", 1, false, true, 'Z', 33, "Post Alarm - Sensor 2.4 circuit fault - no signal"},
        {"33 standard sensor", 1, false, false, 'Z', 33, "Post Alarm - Sensor 4.02 circuit fault - no signal"},
        {"33 ignores the model flag", 1, true, false, 'Z', 33, "Post Alarm - Sensor 4.02 circuit fault - no signal"},
        {"quotes kept", 1, false, false, 'K', 72, "Low temperature - 'Parameters' CRC error"},
        {"gap in the codes", 1, false, false, 'E', 14, "End of BIT"},
        {"code 93 beyond the last", 1, false, false, 'M', 93, "Manual BIT"},
        {"negative code", 1, false, false, 'B', -1, "Automatic BIT"},
        {"code not cut to a byte", 1, false, false, 'N', 90 + 256, "Normal"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Shell().host.textVariant = c.textVariant;
        Shell().detector.uvirModel = c.uvir;
        Shell().detector.alternateSensor = c.alternateSensor;
        EXPECT_EQ(StatusLine(c.mode, c.code), c.line);
    }
}

TEST_F(CatalogueTest, ModelNames) {
    struct Case {
        int picture;
        unsigned code;
        const char* name;
    };
    const Case cases[] = {
        {0xDB, 0x592, "QXD-S2"},
        {0x26, 0x580, "RBC-T1"},
        {0x52, 0x598, "SentraD 3400"},
        {0x00, 0x588, "QXC-S4"},  // unrecognised picture: the default family
        {0xDB, 0x581, "0x0581"},
        {0xDB, 0x1234, "0x1234"},
        {0xDB, 0x57F, "0x057F"},
        {0xDB, 0x599, "0x0599"},
        {0xDB, 0x1580, "0x1580"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << "picture 0x" << c.picture << " code 0x" << c.code);
        Shell().detector.pictureCode = c.picture;
        EXPECT_EQ(ModelName(c.code), c.name);
    }
}

TEST_F(CatalogueTest, UvirModelBytes) {
    // The low byte of the D series codes differs from a UV/IR byte by one bit.
    for (uint8_t b : {0x82, 0x88, 0x92, 0x98}) EXPECT_TRUE(IsUvirModelByte(b)) << int(b);
    for (uint8_t b : {0x80, 0x90, 0x02, 0x18, 0x89}) EXPECT_FALSE(IsUvirModelByte(b)) << int(b);
}

}  // namespace
