// Creating databases and tables.
//
// A new database is laid out as Jet lays out an empty one: page 0 the header, page 1 the global
// usage map, pages 2..5 the definitions of MSysObjects, MSysACEs, MSysQueries and
// MSysRelationships, then their usage maps and index roots; the catalog rows go in through the
// writer, which keeps the catalog's indexes exact. Its identity (the header's code page and sort
// order, the security ids of the catalog and the access-control rows) comes from an existing
// database when one is given, otherwise from the identity Access 2000 gives a new database.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "jet/database.h"

namespace jet {

struct ColumnSpec {
    std::string name;
    ColType type = ColType::Long;
    uint16_t maxChars = 255;            // TEXT
    uint16_t binaryLength = 255;        // BINARY (bytes)
    bool autoNumber = false;            // LONG only
    uint8_t precision = 18, scale = 0;  // NUMERIC
    // Access properties of the column, kept in the table's property blob (MSysObjects.LvProp):
    // Required (a value must be given), AllowZeroLength (TEXT and MEMO: an empty text is
    // allowed) and DefaultValue, an Access expression in UTF-8 ("0", "\"text\"", "Yes",
    // "#2024-01-31#", "=Now()"; empty for none; see jet/defaultvalue.h for what this engine
    // evaluates). A literal default the column cannot hold is refused when the table is created.
    bool required = false;
    bool allowZeroLength = true;
    std::string defaultValue{};
};

struct IndexSpec {
    std::string name;
    std::vector<std::pair<std::string, bool>> columns;  // column name, ascending
    bool primaryKey = false;
    bool unique = false;
    bool ignoreNulls = false;
    bool required = false;
};

struct TableSpec {
    std::string name;
    std::vector<ColumnSpec> columns;
    std::vector<IndexSpec> indexes;
};

struct CreateOptions {
    // Copy the header and the security ids of this database (it is only read).
    std::string like;
    Env* env = nullptr;
    // What the new file's header says when it differs from `like`'s: set when the source's sort
    // order cannot be written and General was used instead.
    std::string* note = nullptr;
};

// New files and tables are stamped with the time of the clock (an OLE date, local time), or
// with `oleDate` once it is set, so that the files made for tests and fuzzing are the same on
// every run; nullopt goes back to the clock. Not thread-safe.
void setFixedCreationTime(std::optional<double> oleDate);

// Creates an empty database at `path` (the file must not exist) and returns it open for
// writing. On failure no file is left behind.
std::unique_ptr<Database> createDatabase(const std::string& path, const CreateOptions& opt = {});

// Adds a user table with its indexes to an open, writable database (in the open transaction or
// one of its own). Throws Constraint for a name in use or a definition Jet does not allow.
Table& createTable(Database& db, const TableSpec& spec);

}  // namespace jet
