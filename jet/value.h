// Column types and values as the engine hands them out. Text is UTF-16 (what Jet stores);
// numbers keep the width of their column type.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace jet {

enum class ColType : uint8_t {
    Boolean = 0x01,
    Byte = 0x02,
    Int = 0x03,
    Long = 0x04,
    Money = 0x05,
    Single = 0x06,
    Double = 0x07,
    DateTime = 0x08,
    Binary = 0x09,
    Text = 0x0A,
    Ole = 0x0B,
    Memo = 0x0C,
    Unknown0D = 0x0D,  // seen in Access system tables; kept as raw bytes
    Guid = 0x0F,
    Numeric = 0x10,
    Unknown11 = 0x11,  // MSysAccessObjects.Data; kept as raw bytes
};

bool isKnownType(uint8_t t);
const char* typeName(ColType t);
bool isLongValue(ColType t);  // MEMO, OLE
// Size in the fixed area of a row; 0 for BOOLEAN (null-mask bit) and variable types.
size_t fixedSize(ColType t);

struct Currency {  // MONEY: value * 10^4
    int64_t scaled = 0;
    bool operator==(const Currency&) const = default;
};
struct DateTime {  // days since 1899-12-30; a negative value's fraction is a positive time of day
    double days = 0;
    bool operator==(const DateTime& o) const { return days == o.days; }
};
struct Guid {  // as stored: u32, u16, u16 little-endian, then 8 bytes
    std::array<uint8_t, 16> bytes{};
    bool operator==(const Guid&) const = default;
};
struct Decimal {  // NUMERIC: (negative ? -1 : 1) * magnitude / 10^scale
    bool negative = false;
    unsigned __int128 magnitude = 0;
    uint8_t scale = 0;
    bool operator==(const Decimal&) const = default;
};
using Blob = std::vector<uint8_t>;

// monostate = NULL. BOOLEAN → bool; BYTE, INT, LONG → int64_t; SINGLE, DOUBLE → double;
// TEXT, MEMO → u16string; BINARY, OLE → Blob.
using Value = std::variant<std::monostate, bool, int64_t, double, std::u16string, Blob, Currency,
                           DateTime, Guid, Decimal>;

inline bool isNull(const Value& v) {
    return std::holds_alternative<std::monostate>(v);
}

// UTF-16 <-> UTF-8 for names and tools. Unpaired surrogates become U+FFFD in UTF-8.
std::string toUtf8(std::u16string_view s);
std::u16string fromUtf8(std::string_view s);

// Calendar form of a DATETIME rounded to the second.
struct CivilTime {
    int year, month, day, hour, minute, second;
};
CivilTime toCivil(DateTime d);
DateTime fromCivil(const CivilTime& c);

}  // namespace jet
