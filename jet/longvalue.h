// Long values (MEMO and OLE): stored inline in the row, as one row of an LVAL page, or as a
// chain of LVAL rows.
#pragma once

#include <cstdint>
#include <vector>

#include "jet/bytes.h"
#include "jet/pager.h"

namespace jet {

struct LongValueRef {
    uint32_t length = 0;
    uint8_t kind = 0;         // 0x80 inline, 0x40 single row, 0x00 chain
    uint32_t rowPointer = 0;  // pg_row of the single row or the first chunk
};

LongValueRef parseLongValueHeader(Bytes field);

// The stored bytes of a long value whose 12-byte header (plus inline data) is `field`.
std::vector<uint8_t> readLongValue(Pager& pager, Bytes field);

// Every (page, row) that holds part of the value (empty for inline values).
std::vector<uint32_t> longValueRows(Pager& pager, Bytes field);

}  // namespace jet
