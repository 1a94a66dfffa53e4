// Row decoding.
#include "jet/row.h"

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
        case ColType::Byte: return int64_t(b.u8(0));
        case ColType::Int: return int64_t(b.i16(0));
        case ColType::Long: return int64_t(b.i32(0));
        case ColType::Money: return Currency{b.i64(0)};
        case ColType::Single: return double(b.f32(0));
        case ColType::Double: return b.f64(0);
        case ColType::DateTime: return DateTime{b.f64(0)};
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
        case ColType::Text: return decodeText(b);
        case ColType::Binary: return b.copy();
        default: break;
    }
    throwCorrupt(b.page(), std::string("a fixed-length column of type ") + typeName(c.type));
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
            case ColType::Text: out[i] = decodeText(b); break;
            case ColType::Binary:
            case ColType::Unknown0D:
            case ColType::Unknown11: out[i] = b.copy(); break;
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
                                                 " value has " + std::to_string(b.size()) + " bytes");
                out[i] = decodeFixed(c, b);
        }
    }
    return out;
}

}  // namespace jet
