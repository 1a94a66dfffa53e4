// Row decoding.
#include "jet/row.h"

#include <algorithm>
#include <cstring>

#include "jet/error.h"
#include "jet/format.h"
#include "jet/longvalue.h"
#include "jet/text.h"

namespace jet {

bool RowLayout::notNull(uint16_t n) const {
    if (n >= ncols) return false;
    return nullMask.u8(n / 8) & (1 << (n % 8));
}

RowLayout parseRowLayout(const TableDef& t, Bytes row) {
    RowLayout l;
    l.ncols = row.u16(0);
    size_t maskLen = (size_t(l.ncols) + 7) / 8;
    if (row.size() < 2 + maskLen) throwCorrupt(row.page(), "a row is shorter than its null mask");
    l.nullMask = row.sub(row.size() - maskLen, maskLen);
    if (t.varColumns == 0) return l;
    size_t trailer = row.size() - maskLen;  // end of the offset table
    if (trailer < 2 + 2) throwCorrupt(row.page(), "a row has no room for its variable columns");
    l.nvar = row.u16(trailer - 2);
    size_t need = 2 + 2 * size_t(l.nvar) + 2;  // offsets, nvar, EOD
    if (trailer < 2 + need) throwCorrupt(row.page(), "a row's variable-column table does not fit");
    l.varOffsets.resize(size_t(l.nvar) + 1);
    for (size_t i = 0; i < l.nvar; ++i) l.varOffsets[i] = row.u16(trailer - 4 - 2 * i);
    uint16_t eod = row.u16(trailer - 4 - 2 * size_t(l.nvar));
    l.varOffsets[l.nvar] = eod;
    size_t tableStart = trailer - 4 - 2 * size_t(l.nvar);
    if (eod > tableStart) throwCorrupt(row.page(), "a row's variable data runs into its offsets");
    for (size_t i = 0; i < l.nvar; ++i)
        if (l.varOffsets[i] < 2 || l.varOffsets[i] > l.varOffsets[i + 1])
            throwCorrupt(row.page(), "a row's variable-column offsets are out of order");
    return l;
}

bool columnBytes(const TableDef&, const RowLayout& l, Bytes row, const Column& c, Bytes& out) {
    if (c.type == ColType::Boolean || !l.notNull(c.number)) return false;
    if (c.fixed()) {
        size_t size = fixedSize(c.type) ? fixedSize(c.type) : c.length;
        out = row.sub(2 + size_t(c.fixedOffset), size, "fixed column");
        return true;
    }
    if (c.varIndex >= l.nvar) return false;
    size_t start = l.varOffsets[c.varIndex], end = l.varOffsets[c.varIndex + 1];
    out = row.sub(start, end - start, "variable column");
    return true;
}

Value decodeFixed(const Column& c, Bytes b) {
    switch (c.type) {
        case ColType::Byte:
            return int64_t(b.u8(0));
        case ColType::Int:
            return int64_t(b.i16(0));
        case ColType::Long:
            return int64_t(b.i32(0));
        case ColType::Money:
            return Currency{b.i64(0)};
        case ColType::Single:
            return double(b.f32(0));
        case ColType::Double:
            return b.f64(0);
        case ColType::DateTime:
            return DateTime{b.f64(0)};
        case ColType::Guid: {
            Guid g;
            b.need(0, 16, "GUID");
            for (size_t i = 0; i < 16; ++i) g.bytes[i] = b.u8(i);
            return g;
        }
        case ColType::Numeric: {
            Decimal d;
            d.negative = b.u8(0) & 0x80;
            for (int w = 0; w < 4; ++w) d.magnitude = d.magnitude << 32 | b.u32(1 + 4 * size_t(w));
            d.scale = c.scale;
            return d;
        }
        case ColType::Text:
            return decodeText(b);
        case ColType::Binary:
            return b.copy();
        default:
            break;
    }
    throwCorrupt(b.page(), std::string("a fixed-length column of type ") + typeName(c.type));
}

void encodeFixed(const Column& c, const Value& v, uint8_t* out) {
    switch (c.type) {
        case ColType::Byte:
            out[0] = uint8_t(std::get<int64_t>(v));
            return;
        case ColType::Int:
            putU16(out, uint16_t(std::get<int64_t>(v)));
            return;
        case ColType::Long:
            putU32(out, uint32_t(std::get<int64_t>(v)));
            return;
        case ColType::Money:
            putU64(out, uint64_t(std::get<Currency>(v).scaled));
            return;
        case ColType::Single:
            putF32(out, float(std::get<double>(v)));
            return;
        case ColType::Double:
            putF64(out, std::get<double>(v));
            return;
        case ColType::DateTime:
            putF64(out, std::get<DateTime>(v).days);
            return;
        case ColType::Guid:
            std::memcpy(out, std::get<Guid>(v).bytes.data(), 16);
            return;
        case ColType::Numeric: {
            const Decimal& d = std::get<Decimal>(v);
            out[0] = d.negative ? 0x80 : 0x00;
            for (int w = 0; w < 4; ++w)
                putU32(out + 1 + 4 * w, uint32_t(d.magnitude >> (32 * (3 - w))));
            return;
        }
        case ColType::Text: {
            // A fixed-length text is padded with spaces, like a CHAR column.
            std::u16string s = std::get<std::u16string>(v);
            s.resize(c.length / 2, u' ');
            auto bytes = encodeText(s, false);
            std::memset(out, 0, c.length);
            std::memcpy(out, bytes.data(), std::min<size_t>(bytes.size(), c.length));
            return;
        }
        case ColType::Binary:
        case ColType::Unknown0D:
        case ColType::Unknown11: {
            const Blob& b = std::get<Blob>(v);
            std::memset(out, 0, c.length);
            std::memcpy(out, b.data(), std::min<size_t>(b.size(), c.length));
            return;
        }
        default:
            break;
    }
    throwError(ErrorKind::Usage, std::string("no fixed encoding for ") + typeName(c.type));
}

std::vector<uint8_t> encodeRow(const TableDef& t, const Row& row,
                               const std::vector<std::vector<uint8_t>>& var) {
    uint16_t ncols = t.maxColumns;
    int maxVar = -1;
    for (auto& c : t.columns) {
        if (c.number >= ncols) ncols = uint16_t(c.number + 1);
        if (!c.fixed() && c.type != ColType::Boolean) maxVar = std::max(maxVar, int(c.varIndex));
    }
    const size_t fixedLen = t.fixedAreaSize();
    std::vector<uint8_t> out(2 + fixedLen, 0);
    putU16(out.data(), ncols);
    std::vector<uint8_t> mask((ncols + 7) / 8, 0);
    auto setBit = [&](uint16_t n) { mask[n / 8] |= uint8_t(1 << (n % 8)); };
    std::vector<int> byVar(size_t(maxVar + 1), -1);
    for (size_t i = 0; i < t.columns.size(); ++i) {
        const Column& c = t.columns[i];
        if (c.type == ColType::Boolean) {
            if (std::holds_alternative<bool>(row[i]) && std::get<bool>(row[i])) setBit(c.number);
            continue;
        }
        if (isNull(row[i])) continue;
        setBit(c.number);
        if (c.fixed())
            encodeFixed(c, row[i], out.data() + 2 + c.fixedOffset);
        else
            byVar[c.varIndex] = int(i);
    }
    std::vector<uint16_t> offsets;
    for (int vi = 0; vi <= maxVar; ++vi) {
        offsets.push_back(uint16_t(out.size()));
        if (byVar[size_t(vi)] >= 0) {
            const auto& bytes = var[size_t(byVar[size_t(vi)])];
            out.insert(out.end(), bytes.begin(), bytes.end());
        }
    }
    if (t.varColumns > 0) {
        uint8_t b[2];
        putU16(b, uint16_t(out.size()));  // end of the variable data
        out.insert(out.end(), b, b + 2);
        for (auto it = offsets.rbegin(); it != offsets.rend(); ++it) {
            putU16(b, *it);
            out.insert(out.end(), b, b + 2);
        }
        putU16(b, uint16_t(offsets.size()));
        out.insert(out.end(), b, b + 2);
    }
    out.insert(out.end(), mask.begin(), mask.end());
    return out;
}

Row decodeRow(const TableDef& t, Bytes row, Pager* pager) {
    RowLayout l = parseRowLayout(t, row);
    Row out(t.columns.size());
    for (size_t i = 0; i < t.columns.size(); ++i) {
        const Column& c = t.columns[i];
        if (c.type == ColType::Boolean) {
            out[i] = l.notNull(c.number);
            continue;
        }
        Bytes b;
        if (!columnBytes(t, l, row, c, b)) continue;
        switch (c.type) {
            case ColType::Text:
                out[i] = decodeText(b);
                break;
            case ColType::Binary:
            case ColType::Unknown0D:
            case ColType::Unknown11:
                out[i] = b.copy();
                break;
            case ColType::Memo:
            case ColType::Ole: {
                if (b.empty()) {
                    out[i] = c.type == ColType::Memo ? Value(std::u16string()) : Value(Blob());
                    break;
                }
                LongValueRef ref = parseLongValueHeader(b);
                if (!pager && ref.kind != fmt::kLongInline) break;
                std::vector<uint8_t> data = pager ? readLongValue(*pager, b)
                                                  : b.sub(fmt::kLongValueHeader, ref.length).copy();
                if (c.type == ColType::Memo)
                    out[i] = decodeText(Bytes(data.data(), data.size(), row.page()));
                else
                    out[i] = std::move(data);
                break;
            }
            default:
                // Access stores some fixed-size columns of its own tables as variable ones.
                if (!c.fixed() && b.size() < fixedSize(c.type))
                    throwCorrupt(row.page(), std::string("a variable-length ") + typeName(c.type) +
                                                 " value has " + std::to_string(b.size()) +
                                                 " bytes");
                out[i] = decodeFixed(c, b);
        }
    }
    return out;
}

}  // namespace jet
