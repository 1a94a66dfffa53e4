// Jet 4 text storage: UCS-2LE, optionally "compressed" (FF FE marker, then one byte per
// character with 0x00 toggling between one- and two-byte mode).
#pragma once

#include <string>
#include <vector>

#include "jet/bytes.h"

namespace jet {

// Decodes a stored TEXT or MEMO payload. Throws Corrupt when the bytes cannot be text.
std::u16string decodeText(Bytes b);

// Encodes for storage. Compresses only when allowed for the column and every character is in
// U+0001..U+00FF and the text has 3..maxCompressed characters, the way Access does it.
std::vector<uint8_t> encodeText(std::u16string_view s, bool compressionAllowed,
                                size_t maxCompressed = 1024);

}  // namespace jet
