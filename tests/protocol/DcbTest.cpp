#include <gtest/gtest.h>

#include "link/CommDriver.h"
#include "protocol/Dcb.h"
#include "wire/PortName.h"

namespace {

TEST(ParseDCB, AcceptsAndRefuses) {
    struct Case {
        const char* text;
        const char* port;
        unsigned baud;
        char parity;
    } const accepted[] = {
        {"COM3:921600,n,8,1", "COM3", 921600, 'N'},
        {"com12:19200,e,8,1", "\\\\.\\COM12", 19200, 'E'},
        {"COM99:2400,O,7,2", "\\\\.\\COM99", 2400, 'O'},
        {"/dev/serial/by-path/pci-0000:00:14.0:9600,n,8,1", "/dev/serial/by-path/pci-0000:00:14.0", 9600, 'N'},
    };
    for (const auto& c : accepted) {
        SCOPED_TRACE(c.text);
        PortDescription p;
        ASSERT_TRUE(ParseDCB(c.text, &p));
        EXPECT_EQ(p.portName, c.port);
        EXPECT_EQ(p.baud, c.baud);
        EXPECT_EQ(p.parity, c.parity);
        // The logs show it as written until the settings change.
        EXPECT_EQ(DescriptionText(p), c.text);
        p.baud = 921600 + 1;
        EXPECT_NE(DescriptionText(p), c.text);
    }
    for (const char* text : {"COM0:9600,n,8,1", "COM100:9600,n,8,1", "COM1:1200,n,8,1", "COM1:9600,x,8,1",
                             "COM1:9600,n,9,1", "COM1:9600,n,8,0", "COM1:9600,n,8", "COM1:9600,n,8,1,1",
                             "COM1 9600,n,8,1", "LPT1:9600,n,8,1", "COM1:96a0,n,8,1", "",
                             "COM1:9600,n,8,1,rs485,rs485", "COM1:9600,n,8,1,echo,bogus", "COM1:9600,n,8,1,",
                             // what the driver would read as a comment, or trim
                             "/dev/tty;S0:9600,n,8,1", "/dev/ttyS0 :9600,n,8,1"}) {
        PortDescription p;
        p.portName = "untouched";
        EXPECT_FALSE(ParseDCB(text, &p)) << text;
        EXPECT_EQ(p.portName, "untouched");
    }
    // The longest path whose mode string the driver still takes whole, and one more.
    const std::string tail = ":921600,n,8,1";
    const std::string longest = "/dev/" + std::string(kCommConfigMax - 5 - tail.size(), 'x');
    PortDescription p;
    EXPECT_TRUE(ParseDCB(longest + tail, &p));
    EXPECT_EQ(ModeString(p), longest + tail);
    EXPECT_FALSE(ParseDCB(longest + "x" + tail, &p));
}

// The options ride along to the driver and the library, and a description
// without them stays as it was.
TEST(ParseDCB, LineOptions) {
    struct Case {
        const char* text;
        bool rs485, echo;
        const char* mode;
    } const cases[] = {
        {"/dev/ttyS1:9600,n,8,1", false, false, "/dev/ttyS1:9600,n,8,1"},
        {"/dev/ttyS1:9600,n,8,1,rs485", true, false, "/dev/ttyS1:9600,n,8,1,rs485"},
        {"COM2:19200,e,8,1,ECHO", false, true, "COM2:19200,e,8,1,echo"},
        {"/dev/ttyUSB0:9600,n,8,1,echo,rs485", true, true, "/dev/ttyUSB0:9600,n,8,1,rs485,echo"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        PortDescription p;
        ASSERT_TRUE(ParseDCB(c.text, &p));
        EXPECT_EQ(p.rs485, c.rs485);
        EXPECT_EQ(p.echo, c.echo);
        EXPECT_EQ(ModeString(p), c.mode);
        LineSettings s;
        ASSERT_TRUE(BuildLineSettings(ModeString(p), &s));
        EXPECT_EQ(s.rs485, c.rs485);
        EXPECT_EQ(s.echo, c.echo);
    }
}

}  // namespace
