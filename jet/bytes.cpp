// Out-of-line parts of the bounds-checked byte views.
#include "jet/bytes.h"

namespace jet {

void Bytes::outOfRange(size_t off, size_t len, const char* what) const {
    throwCorrupt(page_, std::string(what) + " at offset " + std::to_string(off) + " (" +
                            std::to_string(len) + " bytes) lies outside its " +
                            std::to_string(size_) + "-byte structure");
}

std::string hex(std::span<const uint8_t> s) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    out.reserve(s.size() * 2);
    for (uint8_t b : s) {
        out.push_back(digits[b >> 4]);
        out.push_back(digits[b & 15]);
    }
    return out;
}

}  // namespace jet
