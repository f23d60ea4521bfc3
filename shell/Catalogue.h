#pragma once
#include <cstdint>
#include <string>

// The texts a detector's status codes stand for, shared by the main window and
// every window that shows a detector's condition. Texts that depend on the
// detector read the detector view the status poll keeps (Shell().detector), and the
// 'N' mode text follows the host's text variant (Shell().host).

// Mode character of the status record; empty for a character not known.
std::string ModeText(char mode);

// State code of the status record, which is also the bit number of a fault
// word; empty for a code not known.
std::string StateText(int code);

// "mode - state" when both texts exist, else whichever exists (maybe none).
std::string StatusLine(char mode, int code);

// Name of a 16-bit model code for the picture code the poll stored; codes of
// no known model are shown as "0x%04X".
std::string ModelName(unsigned modelCode);
// ... for the given picture code.
std::string ModelName(unsigned modelCode, int pictureCode);

// The communication field's text for the host's text variant: "Connected",
// "ONLINE" or "COMM OK", and their opposites.
std::string ConnectedText();
std::string NotConnectedText();

// The low byte of a model code that marks a UV/IR detector.
bool IsUvirModelByte(uint8_t lowByte);
