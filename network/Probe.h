#pragma once
#include <optional>
#include <string>

#include "protocol/records/StatusRecord.h"

// Finding detectors on the line. Each call selects the address it asks on the
// link first and leaves it selected; call it on the link worker (or the
// command line's thread) with no exchange running.

// One probe of a search: the status request to `address`, two tries 100 ms
// apart, the library's input flushed after each. The record of a whole
// answer, else nothing.
std::optional<StatusRecord> ProbeStatus(unsigned address);

// The model of an answer named from its own model and picture codes: on a
// mixed line a code stored from an earlier answer would name it wrongly.
std::string ProbeModelName(const StatusRecord& answer);

// Status requests to the broadcast address, `tries` of them `pauseMs` apart,
// until one whole answer names an address in 1..247. Two detectors answering
// at once garble each other, so a collision finds nothing.
std::optional<unsigned> LocateDetector(unsigned tries = 3, unsigned pauseMs = 100);
