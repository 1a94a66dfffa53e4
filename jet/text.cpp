// Text payload encoding.
//
// Compressed text: FF FE, then characters in one-byte mode (the byte is the character) until a
// 0x00 byte switches to two-byte mode (UCS-2LE) and back. Readers differ in how they find the
// switches: some read two-byte mode a character at a time and test its first byte, others cut
// the bytes at every 0x00 first, so a two-byte character must hold no zero byte at all.
#include "jet/text.h"

namespace jet {

namespace {

constexpr char16_t kByteOrderMark = 0xFEFF;

bool compressedMark(Bytes b) {
    return b.size() >= 2 && b.u8(0) == 0xFF && b.u8(1) == 0xFE;
}

// Characters of the scripts and symbols whose UCS-2 high byte is below 0x07 or 0x1E..0x22 (Latin,
// Greek, Cyrillic, Armenian, Hebrew, Arabic, punctuation, symbols), and tab, CR, LF: read as
// compressed text, such plain text gives control characters or mode switches.
bool plainScriptCharacter(char16_t c) {
    return c == u'\t' || c == u'\n' || c == u'\r' || (c >= 0x20 && c < 0x7F) ||
           (c >= 0xA0 && c <= 0x06FF) || (c >= 0x1E00 && c <= 0x22FF);
}

bool controlCharacter(uint8_t c) {
    return (c < 0x20 && c != '\t' && c != '\n' && c != '\r') || (c >= 0x7F && c < 0xA0);
}

}  // namespace

std::u16string decodeText(Bytes b) {
    std::u16string out;
    if (compressedMark(b)) {
        bool oneByte = true;
        size_t i = 2;
        out.reserve(b.size() - 2);
        while (i < b.size()) {
            uint8_t c = b.u8(i);
            if (c == 0) {
                oneByte = !oneByte;
                ++i;
                continue;
            }
            if (oneByte) {
                out.push_back(char16_t(c));
                ++i;
            } else {
                if (i + 1 >= b.size())
                    throwCorrupt(b.page(), "compressed text ends in half a character");
                out.push_back(char16_t(b.u16(i)));
                i += 2;
            }
        }
        return out;
    }
    if (b.size() % 2 != 0) throwCorrupt(b.page(), "text value has an odd number of bytes");
    out.resize(b.size() / 2);
    for (size_t i = 0; i < out.size(); ++i) out[i] = char16_t(b.u16(2 * i));
    return out;
}

bool storableText(std::u16string_view s, char16_t* offending) {
    if (s.empty() || s[0] != kByteOrderMark) return true;
    for (char16_t c : s) {
        if (c == 0 || (c > 0xFF && (c & 0xFF) == 0)) {
            if (offending) *offending = c;
            return false;
        }
    }
    return true;
}

std::vector<uint8_t> encodeText(std::u16string_view s, bool compressionAllowed,
                                size_t maxCompressed) {
    std::vector<uint8_t> out;
    if (!s.empty() && s[0] == kByteOrderMark) {
        if (!storableText(s))
            throwError(ErrorKind::Usage,
                       "a text starting with U+FEFF holds a character the "
                       "compressed form cannot");
        out.reserve(2 * s.size() + 8);
        out.push_back(0xFF);
        out.push_back(0xFE);
        bool oneByte = true;
        for (char16_t c : s) {
            const bool wide = c > 0xFF;
            if (wide == oneByte) {
                out.push_back(0x00);
                oneByte = !wide;
            }
            out.push_back(uint8_t(c));
            if (wide) out.push_back(uint8_t(c >> 8));
        }
        return out;
    }
    bool compress = compressionAllowed && s.size() >= 3 && s.size() <= maxCompressed;
    for (char16_t c : s)
        if (c == 0 || c > 0xFF) compress = false;
    if (compress) {
        out.reserve(s.size() + 2);
        out.push_back(0xFF);
        out.push_back(0xFE);
        for (char16_t c : s) out.push_back(uint8_t(c));
        return out;
    }
    out.resize(s.size() * 2);
    for (size_t i = 0; i < s.size(); ++i) putU16(out.data() + 2 * i, s[i]);
    return out;
}

std::string storedTextProblem(Bytes b) {
    if (!compressedMark(b))
        return b.size() % 2 ? "its bytes are neither compressed nor plain text (an odd number)"
                            : "";
    if (b.size() == 2)
        return "it is the bare marker FF FE, which some readers take for an empty text and "
               "others for U+FEFF";
    bool oneByte = true, controls = false, endsWithSwitch = false;
    for (size_t i = 2; i < b.size();) {
        const uint8_t c = b.u8(i);
        endsWithSwitch = c == 0 && i + 1 == b.size();
        if (c == 0) {
            oneByte = !oneByte;
            ++i;
        } else if (oneByte) {
            controls |= controlCharacter(c);
            ++i;
        } else if (i + 1 >= b.size()) {
            return "its compressed form ends in half a character";
        } else if (b.u8(i + 1) == 0) {
            return "its compressed form has a two-byte character with a zero byte, which other "
                   "readers take for a mode switch";
        } else {
            i += 2;
        }
    }
    if (!(controls || endsWithSwitch) || b.size() % 2) return "";
    for (size_t i = 2; i < b.size(); i += 2)
        if (!plainScriptCharacter(char16_t(b.u16(i)))) return "";
    return "it is plain text starting with a byte-order mark (U+FEFF), whose bytes FF FE make "
           "every reader take it for compressed text of control characters";
}

}  // namespace jet
