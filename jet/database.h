// The database: opening a Jet 4 file, its catalog (MSysObjects) and its tables.
//
// A Database owns its Pager. Table objects are owned by the Database and stay valid until it is
// destroyed; their definitions are re-read after writes that change them. Nothing here is
// thread-safe: one Database is used from one thread.
//
// Sharing with other programs (jet/locking.h): one writer at a time holds the database's lock
// file for as long as it has it open; readers read inside read scopes (Database::ReadScope),
// during which the writer cannot commit, and each scope starts by noticing what other programs
// changed since the one before.
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "jet/file.h"
#include "jet/header.h"
#include "jet/locking.h"
#include "jet/pager.h"
#include "jet/row.h"
#include "jet/tabledef.h"

namespace jet {

class Database;
struct RelationSet;

class Table {
  public:
    Table(Database& db, std::string name, uint32_t tdefPage);
    Table(const Table&) = delete;
    Table& operator=(const Table&) = delete;

    const std::string& name() const { return name_; }
    uint32_t tdefPage() const { return tdefPage_; }
    const TableDef& def();
    Database& database() { return db_; }

    // Position of a column in rows (TableDef::columns order), or -1.
    int columnIndex(std::string_view name);

    // Iterates the live rows in storage order: pages in page order, rows in slot order. A moved
    // row is visited at its original slot (its RowId), with the data of its new copy.
    class Scan {
      public:
        bool next();  // false when no rows are left
        RowId id() const { return id_; }
        const Row& row() const { return row_; }
        // The row's bytes (the moved copy for a moved row); valid until the next call.
        Bytes rowBytes() const { return bytes_; }

      private:
        friend class Table;
        Scan(Table& t, bool longValues);
        Table* table_;
        bool longValues_;
        std::vector<uint32_t> pages_;
        size_t pageIdx_ = 0;
        unsigned slot_ = 0;
        std::optional<Page> page_;
        Page target_;
        RowId id_;
        Row row_;
        Bytes bytes_;
    };
    Scan scan(bool withLongValues = true) { return Scan(*this, withLongValues); }

    // The live row at `id`; NotFound when the slot is deleted or is a moved copy.
    Row read(RowId id, bool withLongValues = true);
    // Where the data of the row `id` lives: the slot itself, or the target of its pointer.
    // Returns nullopt for a deleted slot.
    std::optional<RowId> resolve(RowId id);

    // Pages owned by the table (its data pages), ascending.
    std::vector<uint32_t> dataPages();

    // Rows whose index key equals the key built from `values` (one per index column, in the
    // index's column order). Empty when the key cannot be encoded.
    std::vector<RowId> findByIndex(const RealIndex& ix, const std::vector<Value>& values);
    // The first real index whose first column is `column`, or nullptr.
    const RealIndex* indexOn(std::string_view column);

    // Writes. Each runs inside the database's open transaction, or in a transaction of its own.
    // `row` holds one value per column (TableDef::columns order). An auto-number column left
    // NULL gets the next number, which is stored back into `row`. Values are checked against
    // their columns and indexes, and the row against the enforced relationships, whose cascades
    // run as part of the write (jet/relations.h); a rejected write changes nothing.
    RowId insert(Row& row);
    // Inserts with some columns left to their default values: `given` has one flag per column
    // (TableDef::columns order), and a column whose flag is false is "left out": its value in
    // `row` is ignored and replaced by the column's default (see jet/defaultvalue.h), the way
    // Access adds a row without that column. A column without a default, or whose default is an
    // expression this engine does not evaluate (Now(), Date()...) or a literal the column cannot
    // hold, is left NULL (No for Yes/No; an auto-number gets its next number), except that such
    // a column with the Required property refuses the insert (Constraint, naming the column). A
    // given column keeps its value; NULL there means NULL. The values used are stored back into
    // `row`. insert(row) is insert(row, every column given).
    RowId insert(Row& row, const std::vector<bool>& given);
    // Replaces the whole row at `id` (the RowId stays the same, even when the row moves).
    void update(RowId id, const Row& row);
    void remove(RowId id);

    // Column rules kept as Access properties of the table (MSysObjects.LvProp): per column
    // (TableDef::columns order) whether a value is required, whether an empty text is allowed,
    // and the DefaultValue property's expression ("" when the column has none).
    struct ColumnRules {
        std::vector<bool> required;
        std::vector<bool> zeroLengthAllowed;
        std::vector<std::u16string> defaultValue;
    };
    const ColumnRules& columnRules();

    // Drops the cached definition (after writes that change it behind the table's back).
    void invalidate() { def_.reset(); }
    // Drops everything cached from the catalog too (after schema changes).
    void invalidateAll() {
        def_.reset();
        rules_.reset();
    }

  private:
    friend class Database;
    void requirePresent() const;

    Database& db_;
    std::string name_;
    uint32_t tdefPage_;
    bool gone_ = false;  // another program removed the table
    // The cached definition. A write holds it for as long as it runs (so a nested failure that
    // drops the cache cannot pull it away) and keeps its counters equal to the TDEF page's.
    std::shared_ptr<TableDef> def_;
    std::shared_ptr<TableDef> sharedDef();
    // Throws Unsupported when an index of `t` has keys this engine cannot write; remembers
    // the definition it checked.
    void requireWritableIndexes(const std::shared_ptr<TableDef>& t);
    std::weak_ptr<TableDef> writableIndexes_;
    std::optional<ColumnRules> rules_;
};

struct CatalogEntry {
    int32_t id = 0;
    int32_t parentId = 0;
    std::string name;
    int16_t type = 0;
    uint32_t flags = 0;
    bool isTable() const { return (type & 0x7F) == 1 && parentId == 0x0F000001; }
    bool isSystem() const;
    uint32_t tdefPage() const { return uint32_t(id) & 0x00FFFFFF; }
};

struct OpenOptions {
    // Open for writing; when that is not possible, open() throws (InUse while another program
    // has the database, Io when the file or its folder may not be written).
    bool writable = false;
    // With `writable`: open for reading instead when writing is not possible, and say why
    // (Database::readOnlyCause(), readOnlyReason()).
    bool readOnlyFallback = false;
    // Open databases that have a password (the editor's connection does not).
    bool allowPassword = false;
    Env* env = nullptr;  // nullptr: the real file system
    // How long a commit waits for other programs' reads to end before it fails with InUse.
    std::chrono::milliseconds writeWait{5000};
    // How long a read scope waits for another program's commit to end before it fails with
    // InUse.
    std::chrono::milliseconds readWait{30000};
};

enum class TableKind { User, System, All };

// Scoped transaction: begins on construction, rolls back on destruction unless committed.
class Transaction;

class Database {
  public:
    // Opens the Jet 4 database at `path`. Refuses other kinds of files with a clear message.
    static std::unique_ptr<Database> open(const std::string& path, const OpenOptions& opt = {});
    // Opens an in-memory copy of a file (fuzzing, tests). Read-only unless `writable`.
    static std::unique_ptr<Database> fromBytes(std::vector<uint8_t> bytes, bool writable = false,
                                               bool allowPassword = true);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    const std::string& path() const { return path_; }
    const Header& header() const { return header_; }
    Pager& pager() { return *pager_; }
    Env& env() { return *env_; }
    bool writable() const { return pager_->writable(); }
    // Why the database was opened for reading although writing was asked for
    // (OpenOptions::readOnlyFallback); None and empty otherwise. The reason is one English
    // sentence naming the file.
    ReadOnlyCause readOnlyCause() const { return readOnlyCause_; }
    const std::string& readOnlyReason() const { return readOnlyReason_; }

    // A read of a database that other programs may write: while one is alive no other program
    // commits, so everything read inside it is one state of the file. The outermost scope waits
    // (OpenOptions::readWait) while another program commits, and when the file changed since
    // the previous scope (another program committed, a journal was played back, compaction
    // replaced the file) it drops every cached page, index page, table definition and the
    // catalog, so what is read next is the file as it is now. Table references stay valid:
    // they follow their table by name; one whose table was removed throws NotFound.
    // A Table::Scan must not outlive the scope it started in.
    // For a writable database, and one in memory, scopes cost nothing and never see changes.
    // Reads outside any scope are allowed but not protected against another program's commit.
    // REQUIRES: no transaction is open in this Database.
    class ReadScope {
      public:
        explicit ReadScope(Database& db);
        ~ReadScope();
        ReadScope(const ReadScope&) = delete;
        ReadScope& operator=(const ReadScope&) = delete;
        // The file changed since the previous scope (always false for nested scopes).
        bool changed() const { return changed_; }

      private:
        Database& db_;
        bool changed_ = false;
    };
    // What the last outermost read scope found: whether another program changed the file since
    // the scope before it. Datasets built from earlier reads should be read again.
    bool changedSinceLastRead() const { return changed_; }
    // Text index keys can be computed (General sort order).
    bool generalSortOrder() const { return header_.generalSortOrder(); }

    const std::vector<CatalogEntry>& catalog();
    std::vector<std::string> tableNames(TableKind kind = TableKind::User);
    bool hasTable(std::string_view name);
    // Throws NotFound with the table's name.
    Table& table(std::string_view name);
    // The catalog table itself.
    Table& systemCatalog();

    // Drops cached catalog and definitions (after schema changes or a rolled-back transaction).
    void invalidate();

    // The enforced relationships (jet/relations.h), read from MSysRelationships on first use and
    // kept until invalidate() or dropRelations(). Hold a copy of the pointer while writing: a
    // failed write drops the set.
    const std::shared_ptr<const RelationSet>& relations();
    void dropRelations() { relations_.reset(); }

    // Whether the file at path() is still the file this database has open and as its own last
    // read or commit left it: not replaced (renamed over, removed), the same size and
    // modification time, and the same header page, global usage map and catalog definition
    // (pages 0 to 2). Another program that copies a file over ours, truncates it or renames
    // another one into its place is noticed before we write into what we no longer know.
    // Always true for a database in memory or opened for reading (read scopes follow other
    // programs instead).
    bool unchangedByOthers();

    // Transactions: writes between begin() and commit() reach the file together or not at all.
    // A write outside a transaction is a transaction of its own. begin() refuses (Changed) when
    // the file is not as this database left it (unchangedByOthers()): nothing is written then,
    // and the database must be opened again.
    void begin();
    void commit();
    void rollback();
    bool inTransaction() const { return pager_->inTransaction(); }

    // Called after every successful commit that changed something, with what it changed (the
    // pages' images before and after, the page counts), once the file is whole and unlocked.
    // An empty function stops it. The images stay valid for as long as the observer keeps them.
    void setCommitObserver(std::function<void(const CommitImages&)> observer);
    // Puts `images` in place and gives the file `pageCount` pages, as one journaled transaction
    // of its own (an interrupted one leaves the file as it was): the file may shrink or grow.
    // Used to go back to a state the commit observer saw: CommitImages::before with
    // oldPageCount, or after with newPageCount. Afterwards every cache is dropped (pages, table
    // definitions, the catalog, the relationships), as when another program has committed;
    // Table references stay valid. The commit observer is not called for it.
    // REQUIRES: writable, no open transaction.
    void restorePages(const PageImages& images, uint32_t pageCount);

  private:
    Database(Env& env, std::unique_ptr<Env> owned, std::string path, std::unique_ptr<File> file,
             bool writable, bool allowPassword);
    static std::unique_ptr<Database> openForReading(Env& env, const std::string& path,
                                                    const OpenOptions& opt);
    void readHeader();
    // What unchangedByOthers() compares: the open file's stamp and a checksum of its first pages
    // as read from the disk now.
    struct OwnState {
        FileStamp stamp;
        uint64_t head = 0;
        bool operator==(const OwnState&) const = default;
    };
    OwnState ownState();
    // Remembers the file as it is now (after opening, and after every commit of ours).
    void noteOwnState();
    bool beginRead();
    void endRead();
    bool recoverAsReader();
    void followTables();

    std::unique_ptr<Env> ownedEnv_;
    Env* env_;
    std::string path_;
    bool allowPassword_;
    Header header_;
    std::unique_ptr<Pager> pager_;
    std::unique_ptr<LockFile> lockFile_;  // held while open for writing
    ReadOnlyCause readOnlyCause_ = ReadOnlyCause::None;
    std::string readOnlyReason_;
    // Reading beside other programs (opened from a file for reading).
    bool shared_ = false;
    std::chrono::milliseconds readWait_{30000};
    int readDepth_ = 0;
    bool changed_ = false;
    FileStamp stamp_;              // the file as the last scope left it
    std::optional<OwnState> own_;  // writable: the file as our last read or commit left it
    std::optional<std::vector<CatalogEntry>> catalog_;
    std::map<uint32_t, std::unique_ptr<Table>> tables_;  // by TDEF page
    std::shared_ptr<const RelationSet> relations_;
    std::vector<std::unique_ptr<Table>> goneTables_;
    std::function<void(const CommitImages&)> commitObserver_;  // removed by another program
};

class Transaction {
  public:
    explicit Transaction(Database& db) : db_(db) { db_.begin(); }
    ~Transaction() {
        if (!done_) {
            try {
                db_.rollback();
            } catch (...) {
            }
        }
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void commit() {
        done_ = true;
        db_.commit();
    }

  private:
    Database& db_;
    bool done_ = false;
};

}  // namespace jet
