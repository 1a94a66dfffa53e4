// Index keys for TEXT and MEMO values under Jet's "General" sort order as Access 2000-2007 write
// it (LCID 1033, sort version 0, called "General (legacy)"), the order of every file this
// program creates.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace jet {

// Jet indexes only the first 255 characters of a text or memo value.
inline constexpr std::size_t kMaxIndexedTextChars = 255;

// Appends the key bytes of one non-null TEXT/MEMO value as they follow the column's flag byte
// in an index entry (the caller writes the flag: 0x7F ascending, 0x80 descending).
//
// The value is cut to kMaxIndexedTextChars UTF-16 units, then trailing U+0020 spaces are
// dropped. The key is: a weight for every character that has one (case and most accents
// folded away), 0x01, then, only when the value needs them, a diacritic section and a
// positional section for unprintable characters (apostrophe, hyphen, control characters,
// dashes), and a final 0x00. For a descending column everything before the final 0x00 is
// written with an extra 0x00 and bit-inverted; the final 0x00 is not inverted.
//
// Returns false, leaving `out` unchanged, when the value holds a character this encoder has no
// table entry for (see isGeneralLegacyEncodable). Equal keys mean "equal" to Jet: a unique text
// index rejects values that differ only in case.
bool appendGeneralLegacyTextKey(std::u16string_view text, bool ascending,
                                std::vector<std::uint8_t>& out);

// True when `c` can appear in a value passed to appendGeneralLegacyTextKey. Covered:
// U+0000..U+052F (ASCII, Latin-1, Latin Extended-A/B, IPA, spacing modifiers, combining
// diacritics, Greek, Cyrillic), U+1F00..U+1FFF (Greek Extended, which this sort order ignores)
// and U+2000..U+22FF (punctuation, super/subscripts, currency, letterlike symbols, number forms,
// arrows, mathematical operators). Surrogates and everything else are not.
bool isGeneralLegacyEncodable(char16_t c);

}  // namespace jet
