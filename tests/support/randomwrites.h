// Seeded random writes on a copy of a database, with an in-memory model of every user table.
// Used by the writer's random test and by the compaction tests.
#pragma once

#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "jet/database.h"

namespace zntest {

int envInt(const char* name, int dflt);

struct TableModel {
    std::string name;
    std::map<uint32_t, jet::Row> rows;  // by RowId
};

struct WriteStats {
    int inserts = 0, updates = 0, deletes = 0, rejected = 0, rolledBack = 0;
    // Writes refused by an enforced relationship, and accepted writes that cascaded to other rows.
    int refusedByRelationship = 0, cascaded = 0;
};

// Runs `ops` random inserts, updates and deletes (alone or in groups, some groups rolled back)
// on the database at `path`; returns the model of what the tables should hold. The model keeps
// the enforced relationships of MSysRelationships: it knows which writes they refuse and what
// their cascades change, and the generator mostly picks keys that refer to existing rows. With
// ZN_RANDOM_PARANOID=1 the integrity check runs after every write.
std::vector<TableModel> randomWrites(const std::string& path, uint32_t seed, int ops,
                                     WriteStats& st);

// The canonical dump of the model's tables, and of the same tables as the engine reads them.
std::string modelDump(jet::Database& db, const std::vector<TableModel>& models);
std::string engineDump(jet::Database& db, const std::vector<TableModel>& models);

}  // namespace zntest
