// What enforcing relationships costs a write, in an in-memory database with one relationship
// (Child.pid -> Parent.id) and a table that takes part in none (Plain):
//   BM_HookWithoutRelationships   the writer's hook alone on Plain: a lookup in the cached set
//   BM_InsertWithoutRelationships a whole insert into Plain, for scale
//   BM_InsertReferringRow         a whole insert into Child, its parent found by primary key
// Inserts run in one open transaction that is rolled back at the end.
#include <benchmark/benchmark.h>

#include "jet/create.h"
#include "jet/database.h"
#include "jet/relations.h"

namespace {

using namespace jet;

struct Fixture {
    MemEnv env;
    std::unique_ptr<Database> db;

    Fixture() {
        CreateOptions o;
        o.env = &env;
        db = createDatabase("/bench.mdb", o);
        IndexSpec pk{"PrimaryKey", {{"id", true}}};
        pk.primaryKey = pk.unique = pk.required = true;
        IndexSpec byPid{"pid", {{"pid", true}}};
        createTable(*db, {"Parent", {{"id", ColType::Long}}, {pk}});
        createTable(*db, {"Child", {{"id", ColType::Long}, {"pid", ColType::Long}}, {pk, byPid}});
        createTable(*db, {"Plain", {{"id", ColType::Long}, {"pid", ColType::Long}}, {pk, byPid}});
        Table& rels = db->table("MSysRelationships");
        Row r(rels.def().columns.size());
        auto set = [&](const char* col, Value v) { r[size_t(rels.columnIndex(col))] = v; };
        set("szRelationship", std::u16string(u"ParentChild"));
        set("grbit", int64_t(0));
        set("ccolumn", int64_t(1));
        set("icolumn", int64_t(0));
        set("szObject", std::u16string(u"Child"));
        set("szColumn", std::u16string(u"pid"));
        set("szReferencedObject", std::u16string(u"Parent"));
        set("szReferencedColumn", std::u16string(u"id"));
        rels.insert(r);
        Transaction tx(*db);
        Table& parent = db->table("Parent");
        for (int64_t i = 0; i < 1000; ++i) {
            Row p{Value(i)};
            parent.insert(p);
        }
        tx.commit();
    }
};

void BM_HookWithoutRelationships(benchmark::State& state) {
    Fixture f;
    Table& plain = f.db->table("Plain");
    Row row{Value(int64_t(1)), Value(int64_t(2))};
    relationsAfterInsert(plain, row);  // builds the cached set
    for (auto _ : state) relationsAfterInsert(plain, row);
}
BENCHMARK(BM_HookWithoutRelationships);

void insertLoop(benchmark::State& state, const char* table) {
    Fixture f;
    Table& t = f.db->table(table);
    f.db->begin();
    int64_t id = 0;
    for (auto _ : state) {
        Row row{Value(id), Value(id % 1000)};
        ++id;
        t.insert(row);
    }
    f.db->rollback();
}

void BM_InsertWithoutRelationships(benchmark::State& state) {
    insertLoop(state, "Plain");
}
BENCHMARK(BM_InsertWithoutRelationships)->Iterations(20000);

void BM_InsertReferringRow(benchmark::State& state) {
    insertLoop(state, "Child");
}
BENCHMARK(BM_InsertReferringRow)->Iterations(20000);

}  // namespace

BENCHMARK_MAIN();
