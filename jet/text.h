// Jet 4 text storage: UCS-2LE, optionally "compressed" (FF FE marker, then one byte per
// character with 0x00 toggling between one- and two-byte mode).
#pragma once

#include <string>
#include <vector>

#include "jet/bytes.h"

namespace jet {

// Decodes a stored TEXT or MEMO payload. Throws Corrupt when the bytes cannot be text.
std::u16string decodeText(Bytes b);

// Whether `s` can be stored so that every reader reads it back. Any text can, except one that
// starts with U+FEFF (a byte-order mark): as plain UCS-2 its first bytes FF FE would mark
// compressed text, so it must take the compressed form, which holds neither U+0000 nor a
// character whose low byte is 0 (U+0100, U+4E00...). `offending` receives such a character.
bool storableText(std::u16string_view s, char16_t* offending = nullptr);

// Encodes for storage. Compresses only when allowed for the column and every character is in
// U+0001..U+00FF and the text has 3..maxCompressed characters, the way Access does it. A text
// starting with U+FEFF is always compressed, switching to two-byte mode for the characters
// above U+00FF. REQUIRES: storableText(s).
std::vector<uint8_t> encodeText(std::u16string_view s, bool compressionAllowed,
                                size_t maxCompressed = 1024);

// Why stored TEXT or MEMO bytes do not read back as a writer meant them, in words; empty when
// nothing is wrong. Besides bytes that do not decode at all, it reports compressed text that
// readers decode differently (a two-byte character with a zero byte, which some readers take for
// a mode switch; the bare marker FF FE), and plain text starting with U+FEFF stored as such: it
// reads as compressed text of control characters.
std::string storedTextProblem(Bytes b);

}  // namespace jet
