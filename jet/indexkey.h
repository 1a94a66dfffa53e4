// Index keys: how a row's values become the bytes an index sorts by. Keys are big-endian and
// compare as unsigned byte strings; each column contributes a flag byte (0x7F value / 0x00 null
// ascending, 0x80 / 0xFF descending) and its encoded value.
#pragma once

#include <cstdint>
#include <vector>

#include "jet/row.h"
#include "jet/tabledef.h"

namespace jet {

enum class KeyStatus {
    Ok,
    UnsupportedType,       // no known encoding for the column type (GUID, NUMERIC, BINARY...)
    UnsupportedSortOrder,  // a text column under a sort order other than General
    UnsupportedCharacter,  // text with a character outside the General sort table
};

// Appends one column's key part. `generalSort` tells whether the database (or column) uses the
// General sort order, the only one whose text keys are known.
KeyStatus appendColumnKey(const Column& c, const Value& v, bool ascending, bool generalSort,
                          std::vector<uint8_t>& out);

// The full key of `row` (values in TableDef::columns order) for index `ix`.
KeyStatus indexKey(const TableDef& t, const RealIndex& ix, const Row& row, bool generalSort,
                   std::vector<uint8_t>& out);

// True when every column of the index is NULL in `row` (what "ignore nulls" skips). A Yes/No
// column is never NULL: its null-mask bit holds its value.
bool allKeyColumnsNull(const TableDef& t, const RealIndex& ix, const Row& row);

const char* keyStatusText(KeyStatus s);

}  // namespace jet
