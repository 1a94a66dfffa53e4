// Index key encoding for every column type whose encoding is known.
#include "jet/indexkey.h"

#include <cstring>

#include "jet/textkey.h"

namespace jet {

namespace {

void putBigEndianFlipped(uint64_t v, int bytes, std::vector<uint8_t>& out) {
    v ^= uint64_t(1) << (bytes * 8 - 1);
    for (int i = bytes - 1; i >= 0; --i) out.push_back(uint8_t(v >> (8 * i)));
}

void putFloat(uint64_t bits, int bytes, std::vector<uint8_t>& out) {
    bool negative = bits >> (bytes * 8 - 1) & 1;
    if (negative)
        bits = ~bits;
    else
        bits ^= uint64_t(1) << (bytes * 8 - 1);
    for (int i = bytes - 1; i >= 0; --i) out.push_back(uint8_t(bits >> (8 * i)));
}

}  // namespace

const char* keyStatusText(KeyStatus s) {
    switch (s) {
        case KeyStatus::Ok:
            return "ok";
        case KeyStatus::UnsupportedType:
            return "the column type cannot be indexed by this engine";
        case KeyStatus::UnsupportedSortOrder:
            return "the text index uses a sort order other than General";
        case KeyStatus::UnsupportedCharacter:
            return "the text contains a character outside the General sort order's table";
    }
    return "";
}

KeyStatus appendColumnKey(const Column& c, const Value& v, bool ascending, bool generalSort,
                          std::vector<uint8_t>& out) {
    if (c.type == ColType::Boolean) {
        // Never NULL: the row's null-mask bit is the value itself (a missing value is No). A
        // flag byte like any value, then 0x00 for Yes, 0xFF for No (Yes sorts first); a
        // descending column inverts the value byte.
        bool b = std::holds_alternative<bool>(v) && std::get<bool>(v);
        out.push_back(ascending ? 0x7F : 0x80);
        uint8_t byte = b ? 0x00 : 0xFF;
        out.push_back(ascending ? byte : uint8_t(~byte));
        return KeyStatus::Ok;
    }
    bool textual = c.type == ColType::Text || c.type == ColType::Memo;
    if (textual && !generalSort) return KeyStatus::UnsupportedSortOrder;
    if (isNull(v)) {
        out.push_back(ascending ? 0x00 : 0xFF);
        return KeyStatus::Ok;
    }
    size_t at = out.size();
    out.push_back(ascending ? 0x7F : 0x80);
    switch (c.type) {
        case ColType::Byte:
            out.push_back(uint8_t(std::get<int64_t>(v)));
            break;
        case ColType::Int:
            putBigEndianFlipped(uint64_t(std::get<int64_t>(v)) & 0xFFFF, 2, out);
            break;
        case ColType::Long:
            putBigEndianFlipped(uint64_t(std::get<int64_t>(v)) & 0xFFFFFFFFu, 4, out);
            break;
        case ColType::Money:
            putBigEndianFlipped(uint64_t(std::get<Currency>(v).scaled), 8, out);
            break;
        case ColType::Single: {
            float f = float(std::get<double>(v));
            uint32_t bits;
            std::memcpy(&bits, &f, 4);
            putFloat(bits, 4, out);
            break;
        }
        case ColType::Double:
        case ColType::DateTime: {
            double d = c.type == ColType::Double ? std::get<double>(v) : std::get<DateTime>(v).days;
            uint64_t bits;
            std::memcpy(&bits, &d, 8);
            putFloat(bits, 8, out);
            break;
        }
        case ColType::Text:
        case ColType::Memo: {
            if (!appendGeneralLegacyTextKey(std::get<std::u16string>(v), ascending, out)) {
                out.resize(at);
                return KeyStatus::UnsupportedCharacter;
            }
            return KeyStatus::Ok;
        }
        default:
            out.resize(at);
            return KeyStatus::UnsupportedType;
    }
    if (!ascending)
        for (size_t i = at + 1; i < out.size(); ++i) out[i] = uint8_t(~out[i]);
    return KeyStatus::Ok;
}

KeyStatus indexKey(const TableDef& t, const RealIndex& ix, const Row& row, bool generalSort,
                   std::vector<uint8_t>& out) {
    for (auto& ic : ix.columns) {
        for (size_t i = 0; i < t.columns.size(); ++i) {
            if (t.columns[i].number != ic.column) continue;
            KeyStatus s = appendColumnKey(t.columns[i], row[i], ic.ascending, generalSort, out);
            if (s != KeyStatus::Ok) return s;
        }
    }
    return KeyStatus::Ok;
}

bool allKeyColumnsNull(const TableDef& t, const RealIndex& ix, const Row& row) {
    for (auto& ic : ix.columns)
        for (size_t i = 0; i < t.columns.size(); ++i)
            if (t.columns[i].number == ic.column &&
                (t.columns[i].type == ColType::Boolean || !isNull(row[i])))
                return false;
    return true;
}

}  // namespace jet
