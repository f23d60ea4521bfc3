#pragma once
// Passwords never reach a log: every dump of a frame goes through here, and
// the password bytes come out as '*' with the frame's length kept. Hidden are
// the typed password of an elevation (D_ELEVATE, or the nine registers written
// at 50,003) and the two password fields of a setup record in either
// direction (D_SETUP2DET requests, D_SETUP2HOST and D_SETUP2DET answers).
#include <cstddef>
#include <cstdint>
#include <span>

// Where the dumped bytes start on the wire: the library shows whole frames
// from the address byte, the transport its blocks from the function byte.
enum class DumpFrom : size_t { Address = 0, Function = 1 };

enum class Side { Request, Answer };

// A request names its command itself; an answer does not say what it answers,
// so `answerTo` is the command of its request (ignored for requests).
void MaskSecrets(std::span<uint8_t> bytes, DumpFrom from, Side side, unsigned answerTo = 0);

// HexDumpLog of the first `count` bytes, masked.
void HexDumpMasked(const uint8_t* bytes, size_t count, DumpFrom from, Side side,
                   unsigned answerTo = 0);
