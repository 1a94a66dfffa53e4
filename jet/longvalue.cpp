// Reading long values.
#include "jet/longvalue.h"

#include <set>

#include "jet/datapage.h"
#include "jet/error.h"
#include "jet/format.h"
#include "jet/tabledef.h"

namespace jet {

LongValueRef parseLongValueHeader(Bytes field) {
    if (field.size() < fmt::kLongValueHeader)
        throwCorrupt(field.page(), "a long value's header is cut short");
    LongValueRef r;
    r.length = field.u24(0);
    r.kind = field.u8(3);
    r.rowPointer = field.u32(4);
    return r;
}

namespace {

// Walks the value, handing each piece of data to `sink`, and the location of each row to `rows`.
template <class Sink, class Rows>
void walk(Pager& pager, Bytes field, Sink sink, Rows rows) {
    LongValueRef r = parseLongValueHeader(field);
    // No value can be larger than the file that holds it.
    if (uint64_t(r.length) > uint64_t(pager.pageCount()) * fmt::kPageSize)
        throwCorrupt(field.page(), "a long value claims " + std::to_string(r.length) + " bytes");
    if (r.kind == fmt::kLongInline) {
        Bytes data = field.sub(fmt::kLongValueHeader, field.size() - fmt::kLongValueHeader);
        if (data.size() < r.length)
            throwCorrupt(field.page(), "an inline long value's length (" +
                                           std::to_string(r.length) + ") exceeds its field (" +
                                           std::to_string(data.size()) + ")");
        sink(data.sub(0, r.length));
        return;
    }
    if (r.kind == fmt::kLongSingle) {
        RowId id = RowId::fromRaw(r.rowPointer);
        DataPage dp(pager.get(id.page));
        Bytes row = dp.row(id.row);
        if (row.size() < r.length)
            throwCorrupt(id.page, "a long value's row is shorter (" + std::to_string(row.size()) +
                                      ") than the value (" + std::to_string(r.length) + ")");
        rows(r.rowPointer);
        sink(row.sub(0, r.length));
        return;
    }
    if (r.kind != 0)
        throwCorrupt(field.page(), "unknown long value kind " + std::to_string(r.kind));
    uint32_t remaining = r.length;
    uint32_t ptr = r.rowPointer;
    std::set<uint32_t> seen;
    while (remaining > 0) {
        if (ptr == 0) throwCorrupt(field.page(), "a long value's chain ends early");
        if (!seen.insert(ptr).second) throwCorrupt(ptr >> 8, "a long value's chain loops");
        RowId id = RowId::fromRaw(ptr);
        DataPage dp(pager.get(id.page));
        Bytes row = dp.row(id.row);
        if (row.size() < 4) throwCorrupt(id.page, "a long value chunk is too short");
        uint32_t next = row.u32(0);
        Bytes data = row.sub(4, row.size() - 4);
        size_t take = std::min<size_t>(data.size(), remaining);
        if (take == 0) throwCorrupt(id.page, "a long value chunk holds no data");
        rows(ptr);
        sink(data.sub(0, take));
        remaining -= uint32_t(take);
        ptr = next;
    }
}

}  // namespace

std::vector<uint8_t> readLongValue(Pager& pager, Bytes field) {
    std::vector<uint8_t> out;
    walk(
        pager, field, [&](Bytes b) { out.insert(out.end(), b.data(), b.data() + b.size()); },
        [](uint32_t) {});
    return out;
}

std::vector<uint32_t> longValueRows(Pager& pager, Bytes field) {
    std::vector<uint32_t> out;
    walk(
        pager, field, [](Bytes) {}, [&](uint32_t p) { out.push_back(p); });
    return out;
}

}  // namespace jet
