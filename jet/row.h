// Decoding of Jet 4 rows:
//   u16 ncols | fixed area | variable data | u16 EOD | u16 var_off[nvar-1..0] | u16 nvar | null
//   mask
// (tables without variable columns have no EOD/offset/nvar trailer).
#pragma once

#include <vector>

#include "jet/bytes.h"
#include "jet/pager.h"
#include "jet/tabledef.h"
#include "jet/value.h"

namespace jet {

// One value per column, in TableDef::columns order.
using Row = std::vector<Value>;

// The raw bytes of one column inside a row, or nothing when the column is NULL.
struct RowLayout {
    uint16_t ncols = 0;
    Bytes nullMask;
    uint16_t nvar = 0;
    std::vector<uint16_t> varOffsets;  // nvar + 1 entries (the last is EOD)
    bool notNull(uint16_t columnNumber) const;
};
RowLayout parseRowLayout(const TableDef& t, Bytes row);

// Decodes one row. Long values are read from their pages when `pager` is given; otherwise a
// MEMO/OLE value that is not inline comes back as NULL.
Row decodeRow(const TableDef& t, Bytes row, Pager* pager);

// The bytes of a column in the row (for long values: the 12-byte header with inline data).
// Returns false when the column is NULL (or a BOOLEAN).
bool columnBytes(const TableDef& t, const RowLayout& layout, Bytes row, const Column& c,
                 Bytes& out);

Value decodeFixed(const Column& c, Bytes b);

// Writes a non-null fixed-size value (or a fixed-length TEXT/BINARY) into `out`, which has
// fixedSize(c.type) (or c.length) bytes. REQUIRES: the value has the column's type.
void encodeFixed(const Column& c, const Value& v, uint8_t* out);

// Builds the bytes of a row. `var` holds, per column (TableDef::columns order), the stored bytes
// of variable-length columns (text payload, long-value header, binary); fixed columns are
// encoded from `row`. A column is NULL when its value is NULL.
std::vector<uint8_t> encodeRow(const TableDef& t, const Row& row,
                               const std::vector<std::vector<uint8_t>>& var);

}  // namespace jet
