#include <gtest/gtest.h>

#include "protocol/Dcb.h"

namespace {

TEST(ParseDCB, AcceptsAndRefuses) {
    struct Case {
        const char* text;
        bool ok;
        const char* port;
        unsigned baud;
        char parity;
    } const cases[] = {
        {"COM3:921600,n,8,1", true, "COM3", 921600, 'N'},
        {"com12:19200,e,8,1", true, "\\\\.\\COM12", 19200, 'E'},
        {"COM99:2400,O,7,2", true, "\\\\.\\COM99", 2400, 'O'},
        {"/dev/ttyUSB0:9600,n,8,1", true, "/dev/ttyUSB0", 9600, 'N'},
        {"/dev/serial/by-path/pci-0000:00:14.0:9600,n,8,1", true, "/dev/serial/by-path/pci-0000:00:14.0", 9600, 'N'},
        {"COM0:9600,n,8,1", false, "", 0, 0},
        {"COM100:9600,n,8,1", false, "", 0, 0},
        {"COM1:1200,n,8,1", false, "", 0, 0},
        {"COM1:9600,x,8,1", false, "", 0, 0},
        {"COM1:9600,n,9,1", false, "", 0, 0},
        {"COM1:9600,n,8,0", false, "", 0, 0},
        {"COM1:9600,n,8", false, "", 0, 0},
        {"COM1:9600,n,8,1,1", false, "", 0, 0},
        {"COM1 9600,n,8,1", false, "", 0, 0},
        {"LPT1:9600,n,8,1", false, "", 0, 0},
        {"COM1:96a0,n,8,1", false, "", 0, 0},
        {"", false, "", 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        PortDescription p;
        p.portName = "untouched";
        ASSERT_EQ(ParseDCB(c.text, &p), c.ok);
        if (!c.ok) {
            EXPECT_EQ(p.portName, "untouched");
            continue;
        }
        EXPECT_EQ(p.portName, c.port);
        EXPECT_EQ(p.baud, c.baud);
        EXPECT_EQ(p.parity, c.parity);
    }
}

}  // namespace
