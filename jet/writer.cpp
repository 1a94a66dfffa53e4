// Row writes: insert, update, delete, and the transaction entry points.
#include "jet/database.h"
#include "jet/error.h"

namespace jet {

void Database::begin() {
    if (!readOnlyReason_.empty()) throwError(ErrorKind::ReadOnly, readOnlyReason_);
    pager_->begin();
}

void Database::commit() {
    try {
        pager_->commit();
    } catch (...) {
        invalidate();
        throw;
    }
}

void Database::rollback() {
    pager_->rollback();
    invalidate();
}

RowId Table::insert(Row&) { throwError(ErrorKind::Unsupported, "Writing is not available yet"); }
void Table::update(RowId, const Row&) {
    throwError(ErrorKind::Unsupported, "Writing is not available yet");
}
void Table::remove(RowId) { throwError(ErrorKind::Unsupported, "Writing is not available yet"); }

}  // namespace jet
