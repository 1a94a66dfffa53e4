// Text payload encoding.
#include "jet/text.h"

namespace jet {

std::u16string decodeText(Bytes b) {
    std::u16string out;
    if (b.size() >= 2 && b.u8(0) == 0xFF && b.u8(1) == 0xFE) {
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

std::vector<uint8_t> encodeText(std::u16string_view s, bool compressionAllowed,
                                size_t maxCompressed) {
    bool compress = compressionAllowed && s.size() >= 3 && s.size() <= maxCompressed;
    for (char16_t c : s)
        if (c == 0 || c > 0xFF) compress = false;
    std::vector<uint8_t> out;
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

}  // namespace jet
