// The simulator's control commands and its detector options and ranges, as
// typed on its standard input or command line.
#include <set>
#include <string>

#include "sim/Control.h"
#include "support/Check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static wsim::Line* line = [] {
        auto* l = new wsim::Line({});
        for (const auto& d : wsim::demoLine()) l->addDetector(d);
        return l;
    }();
    const std::string text(reinterpret_cast<const char*>(data), size);
    bool ok = false;
    const std::string reply = wsim::runControlCommand(*line, text, &ok);
    FUZZ_CHECK(ok == (reply.rfind("error: ", 0) != 0));

    std::string why;
    if (const auto one = wsim::parseDetectorOption(text, &why)) {
        FUZZ_CHECK(one->address >= 1 && one->address <= 247 && one->maint.size() <= 16 && one->admin.size() <= 16);
    }
    if (const auto range = wsim::parseDetectorRange(text, &why)) {
        // One detector at each address of the range, no serial number twice:
        // a line can be built from it.
        FUZZ_CHECK(!range->empty() && wsim::lineConflict(*range).empty());
        std::set<uint8_t> addresses;
        for (const auto& d : *range) FUZZ_CHECK(d.address >= 1 && d.address <= 247 && addresses.insert(d.address).second);
    }
    return 0;
}
