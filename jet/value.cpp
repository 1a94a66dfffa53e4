// Type metadata, UTF conversions and date arithmetic.
#include "jet/value.h"

#include <cmath>

#include "jet/error.h"

namespace jet {

bool isKnownType(uint8_t t) {
    return (t >= 0x01 && t <= 0x0D) || t == 0x0F || t == 0x10 || t == 0x11;
}

const char* typeName(ColType t) {
    switch (t) {
        case ColType::Boolean:
            return "BOOLEAN";
        case ColType::Byte:
            return "BYTE";
        case ColType::Int:
            return "INT";
        case ColType::Long:
            return "LONG";
        case ColType::Money:
            return "MONEY";
        case ColType::Single:
            return "SINGLE";
        case ColType::Double:
            return "DOUBLE";
        case ColType::DateTime:
            return "DATETIME";
        case ColType::Binary:
            return "BINARY";
        case ColType::Text:
            return "TEXT";
        case ColType::Ole:
            return "OLE";
        case ColType::Memo:
            return "MEMO";
        case ColType::Guid:
            return "GUID";
        case ColType::Numeric:
            return "NUMERIC";
        case ColType::Unknown0D:
            return "UNKNOWN_0D";
        case ColType::Unknown11:
            return "UNKNOWN_11";
    }
    return "UNKNOWN";
}

bool isLongValue(ColType t) {
    return t == ColType::Memo || t == ColType::Ole;
}

size_t fixedSize(ColType t) {
    switch (t) {
        case ColType::Byte:
            return 1;
        case ColType::Int:
            return 2;
        case ColType::Long:
            return 4;
        case ColType::Money:
            return 8;
        case ColType::Single:
            return 4;
        case ColType::Double:
            return 8;
        case ColType::DateTime:
            return 8;
        case ColType::Guid:
            return 16;
        case ColType::Numeric:
            return 17;
        default:
            return 0;
    }
}

std::string toUtf8(std::u16string_view s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        uint32_t c = s[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
            s[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            out.push_back(char(c));
        } else if (c < 0x800) {
            out.push_back(char(0xC0 | c >> 6));
            out.push_back(char(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(char(0xE0 | c >> 12));
            out.push_back(char(0x80 | (c >> 6 & 0x3F)));
            out.push_back(char(0x80 | (c & 0x3F)));
        } else {
            out.push_back(char(0xF0 | c >> 18));
            out.push_back(char(0x80 | (c >> 12 & 0x3F)));
            out.push_back(char(0x80 | (c >> 6 & 0x3F)));
            out.push_back(char(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

std::u16string fromUtf8(std::string_view s) {
    std::u16string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        uint8_t b = uint8_t(s[i]);
        uint32_t c;
        size_t n;
        if (b < 0x80) {
            c = b;
            n = 1;
        } else if ((b & 0xE0) == 0xC0) {
            c = b & 0x1F;
            n = 2;
        } else if ((b & 0xF0) == 0xE0) {
            c = b & 0x0F;
            n = 3;
        } else if ((b & 0xF8) == 0xF0) {
            c = b & 0x07;
            n = 4;
        } else {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        if (i + n > s.size()) {
            out.push_back(0xFFFD);
            break;
        }
        bool ok = true;
        for (size_t k = 1; k < n; ++k) {
            uint8_t cb = uint8_t(s[i + k]);
            if ((cb & 0xC0) != 0x80) ok = false;
            c = c << 6 | (cb & 0x3F);
        }
        if (!ok) {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        i += n;
        if (c >= 0x10000) {
            c -= 0x10000;
            out.push_back(char16_t(0xD800 + (c >> 10)));
            out.push_back(char16_t(0xDC00 + (c & 0x3FF)));
        } else {
            out.push_back(char16_t(c));
        }
    }
    return out;
}

namespace {

// Days since 1970-01-01 of a proleptic Gregorian date, and back (H. Hinnant's algorithms).
int64_t daysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = unsigned(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + int64_t(doe) - 719468;
}

void civilFromDays(int64_t z, int& y, int& m, int& d) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = unsigned(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t yy = int64_t(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = int(doy - (153 * mp + 2) / 5 + 1);
    m = int(mp < 10 ? mp + 3 : mp - 9);
    y = int(yy + (m <= 2));
}

const int64_t kEpoch = daysFromCivil(1899, 12, 30);

}  // namespace

CivilTime toCivil(DateTime dt) {
    double v = dt.days;
    if (!std::isfinite(v) || std::fabs(v) > 3.0e6)
        throwError(ErrorKind::Unsupported, "Date/time value out of range");
    double whole = std::trunc(v);
    double frac = std::fabs(v - whole);
    int64_t day = int64_t(whole);
    int64_t secs = std::llround(frac * 86400.0);
    if (secs >= 86400) {
        secs -= 86400;
        day += 1;
    }
    CivilTime c{};
    civilFromDays(kEpoch + day, c.year, c.month, c.day);
    c.hour = int(secs / 3600);
    c.minute = int(secs / 60 % 60);
    c.second = int(secs % 60);
    return c;
}

DateTime fromCivil(const CivilTime& c) {
    int64_t day = daysFromCivil(c.year, unsigned(c.month), unsigned(c.day)) - kEpoch;
    double frac = (c.hour * 3600 + c.minute * 60 + c.second) / 86400.0;
    // For days before the epoch the time of day is stored as a positive fraction.
    return DateTime{day >= 0 ? double(day) + frac : double(day) - frac};
}

}  // namespace jet
