// Relationships between tables (the rows of MSysRelationships) and their enforcement on writes.
//
// A relationship links columns of a referring table (szObject, szColumn: the foreign key) to
// columns of a referenced table (szReferencedObject, szReferencedColumn: usually its primary
// key). A relationship over several columns has one row per column, all with the same name,
// tables, flags and column count (ccolumn); icolumn gives each row's position. When integrity is
// enforced (grbit without kNoIntegrity), every write keeps it: a referring row whose key has no
// referenced row is refused (a key with a NULL column is not checked, as Jet does); deleting or
// re-keying a referenced row cascades to the referring rows when the flags say so, and is
// refused otherwise. Cascades run as ordinary writes inside the write that caused them, so a
// refusal anywhere in a cascade undoes all of it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "jet/database.h"

namespace jet {

// MSysRelationships.grbit.
namespace relflag {
constexpr uint32_t kOneToOne = 0x00000001;        // each referenced row has at most one referrer
constexpr uint32_t kNoIntegrity = 0x00000002;     // integrity not enforced: the link is a hint
constexpr uint32_t kInherited = 0x00000004;       // between tables linked from another database
constexpr uint32_t kCascadeUpdates = 0x00000100;  // a changed key is copied to the referrers
constexpr uint32_t kCascadeDeletes = 0x00001000;  // deleting a row deletes its referrers
constexpr uint32_t kCascadeNull = 0x00002000;     // deleting a row empties its referrers' keys
constexpr uint32_t kLeftJoin = 0x01000000;        // default join of queries: all referenced rows
constexpr uint32_t kRightJoin = 0x02000000;       // default join of queries: all referring rows
}  // namespace relflag

// One relationship as MSysRelationships states it. Column lists are in icolumn order.
struct Relationship {
    std::string name;
    std::string table;  // the referring table (szObject)
    std::vector<std::string> columns;
    std::string referencedTable;  // szReferencedObject
    std::vector<std::string> referencedColumns;
    uint32_t flags = 0;
    // Why the rows cannot be used (columns missing or contradicting each other); empty if fine.
    std::string problem;

    bool enforced() const { return !(flags & (relflag::kNoIntegrity | relflag::kInherited)); }
    bool cascadeUpdates() const { return flags & relflag::kCascadeUpdates; }
    bool cascadeDeletes() const { return flags & relflag::kCascadeDeletes; }
    bool cascadeNull() const { return flags & relflag::kCascadeNull; }
};

// Every relationship of the database, sorted by name; empty when it has no MSysRelationships.
// Throws Corrupt when MSysRelationships lacks one of its columns.
std::vector<Relationship> readRelationships(Database& db);

// One side of an enforced relationship resolved against the tables.
struct RelationSide {
    Table* table = nullptr;
    std::vector<size_t> columns;  // positions in TableDef::columns, in relationship order
    // A real index whose columns are exactly these (by slot), and for each index column the
    // position in `columns` that feeds it; slot < 0 when none: rows are found by a scan.
    int indexSlot = -1;
    std::vector<size_t> indexOrder;
};

struct RelationLink {
    Relationship rel;
    RelationSide child;   // referring side
    RelationSide parent;  // referenced side
};

// The enforced relationships of a database by table, as the writer uses them. Built once per
// database (Database::relations()) and dropped with the catalog (Database::invalidate()).
struct RelationSet {
    struct PerTable {
        std::vector<const RelationLink*> asChild, asParent;
        // Enforced relationships naming this table that cannot be enforced: writes are refused.
        std::vector<std::string> problems;
    };
    std::vector<RelationLink> links;
    std::unordered_map<uint32_t, PerTable> byTable;  // by TDEF page

    // Builds the set of `db`'s enforced relationships.
    static std::shared_ptr<const RelationSet> build(Database& db);
};

// How deep cascades may go (a referrer's referrers ...): a chain through a self-referencing
// table or a cycle of relationships stops here with an error instead of recursing on.
constexpr int kMaxCascadeDepth = 64;

// The writer's hooks, called inside the write's savepoint after the row itself is written (so a
// row may refer to itself). They check the relationships `table` takes part in and run their
// cascades; they throw Constraint, naming the relationship, when a rule is broken. A write to
// MSysObjects or MSysRelationships drops the parsed relationships.
void relationsAfterInsert(Table& table, const Row& row);
void relationsAfterUpdate(Table& table, const Row& oldRow, const Row& newRow);
void relationsAfterRemove(Table& table, const Row& oldRow);

}  // namespace jet
