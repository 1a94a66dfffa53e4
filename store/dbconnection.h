// The data module's connection: a connection string naming a Jet 4 database file, the engine's
// Database opened on it, and the rows read and written through it.
//
// The connection keeps every row it has read or written in a cache keyed by table and row id,
// so that re-queries (the master-detail chain re-opens the detail queries at every cursor
// movement) find their rows in memory after an index lookup. The cache stays correct because
// every write of the data module goes through insertRow/updateRow/removeRow here, and the
// engine holds the file exclusively while it is open for writing. Closing empties the cache.
#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

#include "jet/database.h"

namespace zn {

class DbDataset;

class DbConnection {
  public:
    DbConnection();
    ~DbConnection();
    DbConnection(const DbConnection&) = delete;
    DbConnection& operator=(const DbConnection&) = delete;

    // REQUIRES the connection to be closed (throws jet::Error(Usage) otherwise).
    void setConnectionString(const QString& text);
    const QString& connectionString() const { return connectionString_; }

    // Opens the database named by the connection string's Data Source (a relative path is taken
    // against the current directory), for writing unless Mode asks for reading only. Does
    // nothing when already open. Errors: the connection string's (see connectionstring.h);
    // "Could not find file '<path>'." for a missing file; the engine's own (not a Jet 4 file, a
    // database with a password when the connection string gives none, the file in use);
    // "Not a valid password." when the given password is not the database's.
    void open();
    // Closes every dataset on the connection first (pending edits are discarded), then the
    // database. Does nothing when closed. Refuses (jet::Error(Usage)) while a transaction is
    // open: a command that closes the connection in the middle of its writes is a bug, and
    // closing would silently drop them.
    void close();
    bool isOpen() const { return db_ != nullptr; }

    // The absolute path of the database file of the last open() (also a failed one), or "".
    const QString& fileName() const { return fileName_; }
    // REQUIRES isOpen().
    jet::Database& database();

    // --- Rows (used by the datasets)
    std::shared_ptr<const jet::Row> readRow(jet::Table& t, jet::RowId id);
    // A row the caller has just read (a scan): kept in the cache.
    std::shared_ptr<const jet::Row> keepRow(jet::Table& t, jet::RowId id, jet::Row row);
    // The engine's insert; fills the auto-number into `row`. Returns the new row's id. Columns
    // whose `given` flag is false get the column's default value (when it has one the engine can
    // evaluate), and `row` holds what was stored afterwards.
    jet::RowId insertRow(jet::Table& t, jet::Row& row, const std::vector<bool>& given);
    void updateRow(jet::Table& t, jet::RowId id, const jet::Row& row);
    void removeRow(jet::Table& t, jet::RowId id);

    // Whether the open database cannot be written, and why (in Russian, for the person using
    // the program: the file or its folder is protected, another copy of the program or another
    // Jet program has it open).
    bool readOnly() const;
    QString readOnlyMessage() const;
    // For a database opened for reading beside other programs: whether another program has
    // changed the file since the last read (the cached rows are dropped then, and the datasets
    // should be opened again). Always false for a database this connection writes.
    bool changedByOthers();

    // Called at the end of every successful open() with the database just opened (the data
    // module attaches its undo history there). May be empty.
    std::function<void(jet::Database&)> afterOpen;

    // Forgets every cached row (after a rolled-back transaction).
    void dropRowCache() { cache_.clear(); }

    // The file system the next open() uses (tests plug in a fault-injecting one); nullptr: the
    // real one. Not owned; must outlive the connection's open database.
    void setEnv(jet::Env* env) { env_ = env; }

    // Turns the row cache off (for measurements); turning it off empties it.
    void setRowCacheEnabled(bool on);
    bool rowCacheEnabled() const { return cacheOn_; }

  private:
    friend class DbDataset;
    void attach(DbDataset* d);
    void detach(DbDataset* d);
    static uint64_t cacheKey(jet::Table& t, jet::RowId id) {
        return uint64_t(t.tdefPage()) << 32 | id.raw();
    }

    QString connectionString_;
    QString fileName_;
    std::unique_ptr<jet::Database> db_;
    std::vector<DbDataset*> datasets_;
    jet::Env* env_ = nullptr;
    bool cacheOn_ = true;
    std::unordered_map<uint64_t, std::shared_ptr<const jet::Row>> cache_;
};

}  // namespace zn
