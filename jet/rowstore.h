// Storing rows and long values on pages: choosing a page with room, allocating new pages with
// their usage-map bits, and removing rows again. Shared by the row writer and compaction.
#pragma once

#include <cstdint>
#include <vector>

#include "jet/database.h"
#include "jet/pagewriter.h"
#include "jet/tabledef.h"

namespace jet {

// Long values up to this many bytes are kept inside the row when it has room.
constexpr size_t kInlineLongValueMax = 64;
// A data page stays in its table's free-space map while a small row still fits.
constexpr size_t kFreeMapThreshold = 64;

// Runs one write: in a transaction of its own when none is open, else under a savepoint of the
// open one, so that a failed write changes nothing.
template <class F>
auto runWrite(Database& db, F f) {
    if (!db.readOnlyReason().empty()) throwError(ErrorKind::ReadOnly, db.readOnlyReason());
    if (!db.writable())
        throwError(ErrorKind::ReadOnly,
                   "The database \"" + db.path() + "\" is open for reading only");
    const bool own = !db.inTransaction();
    if (own) db.begin();
    db.pager().beginSavepoint();
    try {
        auto r = f();
        db.pager().releaseSavepoint();
        if (own) db.commit();
        return r;
    } catch (...) {
        db.pager().rollbackToSavepoint();
        db.invalidate();
        if (own) db.rollback();
        throw;
    }
}

struct Ctx {
    Pager& pager;
    PageAllocator alloc;
    UsageMapEditor maps;
    explicit Ctx(Pager& p) : pager(p), alloc(pager), maps(pager, alloc) {}
};

const LongColumnMaps* longMapsOf(const TableDef& t, const Column& c);

// Puts a row of `data` on a page with room: the last page of the free-space map that fits, or a
// new page. `lval` pages hold long values of one column.
RowId placeRow(Ctx& x, const TableDef& t, uint32_t ownedMap, uint32_t freeMap, bool lval,
               std::vector<uint8_t> data, uint16_t flags);

// Removes a row's slot; frees the page when it was the last live row of a long-value page.
void removeSlot(Ctx& x, RowId id, uint32_t ownedMap, uint32_t freeMap, bool lval);

// Stores a long value's payload; returns the field bytes for the row.
std::vector<uint8_t> storeLongValue(Ctx& x, const TableDef& t, const Column& c,
                                    const std::vector<uint8_t>& data, bool inlineIt);
void freeLongValue(Ctx& x, const TableDef& t, const Column& c, Bytes field);

// The stored bytes of a variable column's value (text payload, binary, long-value payload).
std::vector<uint8_t> payloadOf(const Column& c, const Value& v);

// The field bytes of every variable column of `row`, storing long values as needed (small ones
// inline while the row has room). With `oldRow` (and its stored bytes), long values equal to
// the old row's keep their stored field; `reused` says which.
std::vector<std::vector<uint8_t>> buildFields(Ctx& x, const TableDef& t, const Row& row,
                                              const Row* oldRow, Bytes oldBytes,
                                              std::vector<bool>& reused);

}  // namespace jet
