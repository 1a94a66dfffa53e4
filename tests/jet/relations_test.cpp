// Enforced relationships (MSysRelationships): refused orphans and referenced rows, cascading
// deletes, updates and set-null, multi-column keys, self-references and cycles, and refusals deep
// in a cascade that must leave nothing behind. Every written file is checked and read back by the
// independent readers.
#include "jet/relations.h"

#include <gtest/gtest.h>

#include "jet/check.h"
#include "jet/create.h"
#include "jet/database.h"
#include "jet/error.h"
#include "tests/support/testsupport.h"

namespace {

using namespace jet;
using zntest::openWritable;

Row rowOf(Table& t, std::initializer_list<std::pair<const char*, Value>> values) {
    Row r(t.def().columns.size());
    for (auto& [col, v] : values) r[size_t(t.columnIndex(col))] = v;
    return r;
}

// The live rows of a table as "col=value ..." lines, sorted, for compact expectations.
std::vector<std::string> rowsOf(Database& db, const std::string& table) {
    Table& t = db.table(table);
    std::vector<std::string> out;
    for (auto s = t.scan(); s.next();) {
        std::string line;
        for (size_t i = 0; i < s.row().size(); ++i) {
            const Value& v = s.row()[i];
            line += (i ? " " : "") + t.def().columns[i].name + "=";
            if (isNull(v))
                line += "NULL";
            else if (auto* n = std::get_if<int64_t>(&v))
                line += std::to_string(*n);
            else if (auto* s16 = std::get_if<std::u16string>(&v))
                line += toUtf8(*s16);
        }
        out.push_back(line);
    }
    std::sort(out.begin(), out.end());
    return out;
}

RowId findRow(Table& t, const char* col, int64_t value) {
    for (auto s = t.scan(); s.next();)
        if (s.row()[size_t(t.columnIndex(col))] == Value(value)) return s.id();
    ADD_FAILURE() << "no row with " << col << " = " << value << " in " << t.name();
    return {};
}

std::string refusal(const std::function<void()>& write) {
    try {
        write();
    } catch (const Error& e) {
        EXPECT_EQ(e.kind(), ErrorKind::Constraint) << e.what();
        return e.what();
    }
    ADD_FAILURE() << "the write was accepted";
    return "";
}

// The integrity check is clean and mdb-reader and mdbtools read what we read: the user tables,
// and with `system` the system tables too (MSysRelationships among them; Access's own files have
// a system table the other readers cannot decode).
void expectCleanAndReadersAgree(const std::string& path, bool system = false) {
    {
        auto db = Database::open(path);
        CheckReport rep = checkDatabase(*db);
        EXPECT_TRUE(rep.ok()) << testing::PrintToString(rep.problems);
    }
    std::string why;
    for (const char* which : {"--all", "--system"}) {
        if (!system && which == std::string("--system")) break;
        std::string theirs = zntest::mdbReaderDump(path, {which}, &why);
        if (!why.empty()) return;
        EXPECT_TRUE(zntest::sameDump(theirs, zntest::ourDump(path, {which}))) << which;
    }
    std::string mdbtools = zntest::mdbToolsDump(path, {"--all"}, &why);
    if (why.empty()) {
        EXPECT_TRUE(zntest::sameDump(zntest::mdbToolsView(mdbtools),
                                     zntest::mdbToolsView(zntest::ourDump(path, {"--all"}))));
    }
}

// ---------------------------------------------------------------------------------------------
// The relationships Access made: Table1.otherfk1 -> Table2.id ("Table2Table1", cascading
// deletes) and Table1.otherfk2 -> Table3.id ("Table3Table1", cascading updates).

class AccessRelations : public testing::Test {
  protected:
    void SetUp() override {
        if (zntest::fixturesDir().empty())
            GTEST_SKIP() << "the shared fixtures folder (../shared/fixtures/mdb) is absent";
        path = zntest::tempDir() + "/db.mdb";
        zntest::copyFile(zntest::fixture("access/jk-indexTestV2000.mdb"), path);
    }
    std::string path;
};

TEST_F(AccessRelations, ReadsTheFlagsOfMSysRelationships) {
    auto db = Database::open(path);
    std::vector<Relationship> rels = readRelationships(*db);
    ASSERT_EQ(rels.size(), 4u);
    const Relationship& t2 = rels[2];
    EXPECT_EQ(t2.name, "Table2Table1");
    EXPECT_EQ(t2.table, "Table1");
    EXPECT_EQ(t2.columns, std::vector<std::string>{"otherfk1"});
    EXPECT_EQ(t2.referencedTable, "Table2");
    EXPECT_EQ(t2.referencedColumns, std::vector<std::string>{"id"});
    EXPECT_TRUE(t2.enforced() && t2.cascadeDeletes() && !t2.cascadeUpdates() && t2.problem.empty());
    const Relationship& t3 = rels[3];
    EXPECT_EQ(t3.name, "Table3Table1");
    EXPECT_TRUE(t3.enforced() && t3.cascadeUpdates() && !t3.cascadeDeletes());
}

TEST_F(AccessRelations, BrokenRulesAreRefusedNamingTheRelationshipAndChangeNothing) {
    const auto original = zntest::readFile(path);
    struct Case {
        const char* name;
        std::function<void(Database&)> write;
        std::vector<const char*> message;
    };
    const std::vector<Case> cases = {
        {"a referring row without its referenced row",
         [](Database& db) {
             Table& t = db.table("Table1");
             Row r = rowOf(t, {{"id", int64_t(9)},
                               {"otherfk1", int64_t(99)},
                               {"otherfk2", int64_t(10)},
                               {"otherfk3", int64_t(0)}});
             t.insert(r);
         },
         {"\"Table1\"", "\"Table2Table1\"", "table \"Table2\" with id = 99", "otherfk1"}},
        {"the second key of a row without its referenced row",
         [](Database& db) {
             Table& t = db.table("Table1");
             Row r = rowOf(
                 t, {{"id", int64_t(9)}, {"otherfk1", int64_t(0)}, {"otherfk2", int64_t(12345)}});
             t.insert(r);
         },
         {"\"Table3Table1\"", "table \"Table3\" with id = 12345", "otherfk2"}},
        {"a key changed to one that is not referenced",
         [](Database& db) {
             Table& t = db.table("Table1");
             RowId id = findRow(t, "id", 3);
             Row r = t.read(id);
             r[size_t(t.columnIndex("otherfk1"))] = int64_t(7);
             t.update(id, r);
         },
         {"\"Table2Table1\"", "with id = 7"}},
        {"deleting a referenced row without cascading deletes",
         [](Database& db) {
             Table& t = db.table("Table3");
             t.remove(findRow(t, "id", 11));
         },
         {"deleted from table \"Table3\"", "\"Table1\" has 2 rows", "\"Table3Table1\"",
          "otherfk2 = 11"}},
        {"changing a referenced key without cascading updates",
         [](Database& db) {
             Table& t = db.table("Table2");
             RowId id = findRow(t, "id", 1);
             Row r = t.read(id);
             r[0] = int64_t(70);
             t.update(id, r);
         },
         {"from id = 1 to id = 70", "\"Table1\" has 2 rows", "\"Table2Table1\"",
          "does not cascade updates"}},
        {"a refusal inside a transaction with earlier writes",
         [](Database& db) {
             Transaction tx(db);
             Table& t = db.table("Table3");
             Row r = rowOf(t, {{"id", int64_t(50)}, {"data", std::u16string(u"kept")}});
             t.insert(r);
             t.remove(findRow(t, "id", 10));
             tx.commit();
         },
         {"\"Table3Table1\"", "otherfk2 = 10"}},
    };
    auto db = openWritable(path);
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string msg = refusal([&] { c.write(*db); });
        for (const char* part : c.message)
            EXPECT_NE(msg.find(part), std::string::npos) << "missing " << part << " in: " << msg;
    }
    db.reset();
    EXPECT_EQ(zntest::readFile(path), original);
    // NULL keys refer to nothing and are not checked.
    db = openWritable(path);
    Table& t1 = db->table("Table1");
    Row loose = rowOf(t1, {{"id", int64_t(20)}, {"otherfk1", Value{}}, {"otherfk2", Value{}}});
    t1.insert(loose);
}

TEST_F(AccessRelations, DeletingAReferencedRowDeletesTheRowsThatReferToIt) {
    {
        auto db = openWritable(path);
        Table& t2 = db->table("Table2");
        t2.remove(findRow(t2, "id", 1));
        EXPECT_EQ(rowsOf(*db, "Table1"), (std::vector<std::string>{
                                             "id=0 otherfk1=0 otherfk2=10 data=baz0 otherfk3=0",
                                             "id=3 otherfk1=2 otherfk2=13 data=baz13 otherfk3=0",
                                         }));
        // Nothing refers to id 2 once row 3 is gone: deleting it touches only Table2.
        Table& t1 = db->table("Table1");
        t1.remove(findRow(t1, "id", 3));
        t2.remove(findRow(t2, "id", 2));
        EXPECT_EQ(rowsOf(*db, "Table2"), std::vector<std::string>{"id=0 data=foo0"});
        EXPECT_EQ(db->table("Table1").def().rowCount, 1u);
    }
    expectCleanAndReadersAgree(path);
}

TEST_F(AccessRelations, ChangingAReferencedKeyRewritesTheRowsThatReferToIt) {
    {
        auto db = openWritable(path);
        Table& t3 = db->table("Table3");
        RowId id = findRow(t3, "id", 11);
        Row r = t3.read(id);
        r[0] = int64_t(-5);
        t3.update(id, r);
        EXPECT_EQ(rowsOf(*db, "Table1"), (std::vector<std::string>{
                                             "id=0 otherfk1=0 otherfk2=10 data=baz0 otherfk3=0",
                                             "id=1 otherfk1=1 otherfk2=-5 data=baz11 otherfk3=0",
                                             "id=2 otherfk1=1 otherfk2=-5 data=baz11-2 otherfk3=0",
                                             "id=3 otherfk1=2 otherfk2=13 data=baz13 otherfk3=0",
                                         }));
        // The foreign-key index follows: the old key finds nothing, the new one both rows.
        Table& t1 = db->table("Table1");
        EXPECT_TRUE(t1.findByIndex(*t1.indexOn("otherfk2"), {int64_t(11)}).empty());
        EXPECT_EQ(t1.findByIndex(*t1.indexOn("otherfk2"), {int64_t(-5)}).size(), 2u);
    }
    expectCleanAndReadersAgree(path);
}

// ---------------------------------------------------------------------------------------------
// Relationships of our own, in a database we create: every flag and shape.

void addRelationship(Database& db, const std::string& name, const std::string& table,
                     std::vector<std::string> columns, const std::string& referenced,
                     std::vector<std::string> referencedColumns, uint32_t flags) {
    Table& rels = db.table("MSysRelationships");
    for (size_t i = 0; i < columns.size(); ++i) {
        Row r = rowOf(rels, {{"szRelationship", fromUtf8(name)},
                             {"grbit", int64_t(int32_t(flags))},
                             {"ccolumn", int64_t(columns.size())},
                             {"icolumn", int64_t(i)},
                             {"szObject", fromUtf8(table)},
                             {"szColumn", fromUtf8(columns[i])},
                             {"szReferencedObject", fromUtf8(referenced)},
                             {"szReferencedColumn", fromUtf8(referencedColumns[i])}});
        rels.insert(r);
    }
}

ColumnSpec longCol(const char* name) {
    return ColumnSpec{name, ColType::Long};
}
ColumnSpec textCol(const char* name, uint16_t chars) {
    ColumnSpec c{name, ColType::Text};
    c.maxChars = chars;
    return c;
}
IndexSpec primaryKey(std::vector<std::pair<std::string, bool>> cols) {
    IndexSpec ix{"PrimaryKey", std::move(cols)};
    ix.primaryKey = ix.unique = ix.required = true;
    return ix;
}

// Parent(id PK, code) <- Child.pid: "ParentChild" cascades updates and empties keys on delete;
//   Child has a unique index on (pid, tag) but none on pid alone (its rows are found by a scan).
// Parent.code (no index) <- Note.code: "ParentNote" refuses.
// Pair(a, b, primary key (b, a)) <- PairRef(x, y): "PairPairRef" over two columns, cascading
//   updates and deletes.
// Node(id PK, up) <- Node.up: "NodeNode", a self-reference cascading deletes.
// Parent(id) <- Loose.pid: "ParentLoose", integrity not enforced.
std::string makeDatabase() {
    const std::string path = zntest::tempDir() + "/rel.mdb";
    auto db = createDatabase(path);
    createTable(*db, {"Parent",
                      {longCol("id"), longCol("code"), textCol("name", 20)},
                      {primaryKey({{"id", true}})}});
    IndexSpec pidTag{"PidTag", {{"pid", true}, {"tag", true}}};
    pidTag.unique = true;
    createTable(*db, {"Child",
                      {longCol("id"), longCol("pid"), textCol("tag", 10)},
                      {primaryKey({{"id", true}}), pidTag}});
    createTable(*db, {"Note", {longCol("id"), longCol("code")}, {primaryKey({{"id", true}})}});
    createTable(*db, {"Pair",
                      {longCol("a"), textCol("b", 10), textCol("label", 10)},
                      {primaryKey({{"b", true}, {"a", false}})}});
    createTable(
        *db,
        {"PairRef", {longCol("id"), longCol("x"), textCol("y", 10)}, {primaryKey({{"id", true}})}});
    createTable(*db, {"Node", {longCol("id"), longCol("up")}, {primaryKey({{"id", true}})}});
    createTable(*db, {"Loose", {longCol("id"), longCol("pid")}, {primaryKey({{"id", true}})}});
    addRelationship(*db, "ParentChild", "Child", {"pid"}, "Parent", {"id"},
                    relflag::kCascadeUpdates | relflag::kCascadeNull);
    addRelationship(*db, "ParentNote", "Note", {"code"}, "Parent", {"code"}, 0);
    addRelationship(*db, "PairPairRef", "PairRef", {"x", "y"}, "Pair", {"a", "b"},
                    relflag::kCascadeUpdates | relflag::kCascadeDeletes);
    addRelationship(*db, "NodeNode", "Node", {"up"}, "Node", {"id"}, relflag::kCascadeDeletes);
    addRelationship(*db, "ParentLoose", "Loose", {"pid"}, "Parent", {"id"},
                    relflag::kNoIntegrity | relflag::kCascadeDeletes);

    Table& parent = db->table("Parent");
    for (int i = 1; i <= 3; ++i) {
        Row r = rowOf(parent, {{"id", int64_t(i)},
                               {"code", int64_t(100 + i)},
                               {"name", fromUtf8("p" + std::to_string(i))}});
        parent.insert(r);
    }
    Table& child = db->table("Child");
    const std::vector<std::tuple<int, int, const char*>> children = {
        {1, 1, "x"}, {2, 1, "y"}, {3, 2, "x"}, {4, 3, "z"}};
    for (auto& [id, pid, tag] : children) {
        Row r = rowOf(child, {{"id", int64_t(id)}, {"pid", int64_t(pid)}, {"tag", fromUtf8(tag)}});
        child.insert(r);
    }
    Table& note = db->table("Note");
    Row n = rowOf(note, {{"id", int64_t(1)}, {"code", int64_t(102)}});
    note.insert(n);
    Table& pair = db->table("Pair");
    for (auto& [a, b] :
         std::vector<std::pair<int, const char*>>{{1, "Abc"}, {1, "d"}, {2, "Abc"}}) {
        Row r = rowOf(pair, {{"a", int64_t(a)}, {"b", fromUtf8(b)}});
        pair.insert(r);
    }
    Table& ref = db->table("PairRef");
    const std::vector<std::tuple<int, int, const char*>> refs = {
        {1, 1, "abc"}, {2, 1, "ABC"}, {3, 1, "d"}, {4, 2, "Abc"}};
    for (auto& [id, x, y] : refs) {
        Row r = rowOf(ref, {{"id", int64_t(id)}, {"x", int64_t(x)}, {"y", fromUtf8(y)}});
        ref.insert(r);
    }
    return path;
}

TEST(OwnRelations, DeletingAParentEmptiesTheKeysThatReferToIt) {
    const std::string path = makeDatabase();
    {
        auto db = openWritable(path);
        Table& parent = db->table("Parent");
        parent.remove(findRow(parent, "id", 1));
        EXPECT_EQ(rowsOf(*db, "Child"), (std::vector<std::string>{
                                            "id=1 pid=NULL tag=x",
                                            "id=2 pid=NULL tag=y",
                                            "id=3 pid=2 tag=x",
                                            "id=4 pid=3 tag=z",
                                        }));
        // Changing a key cascades too; a key that nothing refers to changes alone.
        RowId two = findRow(parent, "id", 2);
        Row r = parent.read(two);
        r[0] = int64_t(20);
        parent.update(two, r);
        EXPECT_EQ(rowsOf(*db, "Child")[2], "id=3 pid=20 tag=x");
        // A relationship without enforced integrity is only a hint.
        Table& loose = db->table("Loose");
        Row orphan = rowOf(loose, {{"id", int64_t(1)}, {"pid", int64_t(999)}});
        loose.insert(orphan);
        Row ok = rowOf(loose, {{"id", int64_t(2)}, {"pid", int64_t(3)}});
        loose.insert(ok);
        parent.remove(findRow(parent, "id", 3));
        EXPECT_EQ(rowsOf(*db, "Loose").size(), 2u);
    }
    expectCleanAndReadersAgree(path, true);
}

TEST(OwnRelations, ParentsWithoutAnIndexAreFoundByAScan) {
    const std::string path = makeDatabase();
    const auto original = zntest::readFile(path);
    {
        auto db = openWritable(path);
        Table& note = db->table("Note");
        Row orphan = rowOf(note, {{"id", int64_t(2)}, {"code", int64_t(1)}});
        EXPECT_NE(refusal([&] { note.insert(orphan); }).find("with code = 1"), std::string::npos);
        Table& parent = db->table("Parent");
        EXPECT_NE(refusal([&] { parent.remove(findRow(parent, "id", 2)); }).find("\"ParentNote\""),
                  std::string::npos);
    }
    EXPECT_EQ(zntest::readFile(path), original);
}

TEST(OwnRelations, KeysOverTwoColumnsMatchAsTheIndexDoesAndCascade) {
    const std::string path = makeDatabase();
    {
        auto db = openWritable(path);
        Table& ref = db->table("PairRef");
        // Both columns must match a referenced row; a key with a NULL part is not checked.
        Row wrong =
            rowOf(ref, {{"id", int64_t(9)}, {"x", int64_t(2)}, {"y", std::u16string(u"d")}});
        std::string msg = refusal([&] { ref.insert(wrong); });
        EXPECT_NE(msg.find("table \"Pair\" with a = 2, b = \"d\" (the values of x, y)"),
                  std::string::npos)
            << msg;
        Row partial = rowOf(ref, {{"id", int64_t(9)}, {"x", int64_t(2)}, {"y", Value{}}});
        ref.insert(partial);

        // Text keys compare without regard to case, as the index does: rows 1 and 2 both refer to
        // (1, "Abc") and follow its new key.
        Table& pair = db->table("Pair");
        RowId abc =
            pair.findByIndex(pair.def().realIndexes[0], {std::u16string(u"Abc"), int64_t(1)}).at(0);
        Row r = pair.read(abc);
        r[0] = int64_t(7);
        r[1] = std::u16string(u"Q");
        pair.update(abc, r);
        EXPECT_EQ(rowsOf(*db, "PairRef"), (std::vector<std::string>{
                                              "id=1 x=7 y=Q",
                                              "id=2 x=7 y=Q",
                                              "id=3 x=1 y=d",
                                              "id=4 x=2 y=Abc",
                                              "id=9 x=2 y=NULL",
                                          }));
        pair.remove(findRow(pair, "a", 2));
        EXPECT_EQ(rowsOf(*db, "PairRef").size(), 4u);
        EXPECT_EQ(rowsOf(*db, "PairRef")[3], "id=9 x=2 y=NULL");  // its key was not complete
    }
    expectCleanAndReadersAgree(path, true);
}

TEST(OwnRelations, ARefusalInsideACascadeLeavesNothingBehind) {
    const std::string path = makeDatabase();
    {
        // Children (1, "x") and (1, "y") become (NULL, "x") and (NULL, "y").
        auto db = openWritable(path);
        Table& parent = db->table("Parent");
        parent.remove(findRow(parent, "id", 1));
    }
    const auto before = zntest::readFile(path);
    const char* cascade =
        "Deleting a row of table \"Parent\" cascades through the relationship \"ParentChild\" to "
        "table \"Child\", and that change was refused: ";
    {
        // Emptying the key of (2, "x") would repeat (NULL, "x") in the unique index (pid, tag).
        auto db = openWritable(path);
        Table& parent = db->table("Parent");
        std::string msg = refusal([&] { parent.remove(findRow(parent, "id", 2)); });
        EXPECT_NE(msg.find(cascade), std::string::npos) << msg;
        EXPECT_NE(msg.find("unique index \"PidTag\""), std::string::npos) << msg;
    }
    EXPECT_EQ(zntest::readFile(path), before);
    {
        // Inside a transaction the refused write leaves the earlier ones as they were.
        auto db = openWritable(path);
        Table& parent = db->table("Parent");
        Transaction tx(*db);
        Row four = rowOf(parent, {{"id", int64_t(4)}, {"code", int64_t(104)}});
        parent.insert(four);
        refusal([&] { parent.remove(findRow(parent, "id", 2)); });
        tx.commit();
        EXPECT_EQ(rowsOf(*db, "Parent"), (std::vector<std::string>{
                                             "id=2 code=102 name=p2",
                                             "id=3 code=103 name=p3",
                                             "id=4 code=104 name=NULL",
                                         }));
        EXPECT_EQ(rowsOf(*db, "Child"), (std::vector<std::string>{
                                            "id=1 pid=NULL tag=x",
                                            "id=2 pid=NULL tag=y",
                                            "id=3 pid=2 tag=x",
                                            "id=4 pid=3 tag=z",
                                        }));
    }
    expectCleanAndReadersAgree(path, true);
}

TEST(OwnRelations, SelfReferencesAndCyclesEndAndDeepChainsStopAtTheCap) {
    const std::string path = makeDatabase();
    std::vector<uint8_t> before;
    {
        auto db = openWritable(path);
        Table& node = db->table("Node");
        auto add = [&](int64_t id, Value up) {
            Row r = rowOf(node, {{"id", id}, {"up", up}});
            node.insert(r);
        };
        add(1, Value{});
        for (int64_t i = 2; i <= 10; ++i) add(i, i - 1);  // a chain 10 deep
        add(100, Value{});
        add(101, int64_t(100));
        Row cycle = rowOf(node, {{"id", int64_t(100)}, {"up", int64_t(101)}});
        node.update(findRow(node, "id", 100), cycle);  // 100 and 101 refer to each other
        add(200, int64_t(200));                        // a row may refer to itself
        add(1000, Value{});
        for (int64_t i = 1; i <= kMaxCascadeDepth + 1; ++i) add(1000 + i, 1000 + i - 1);

        node.remove(findRow(node, "id", 1));
        node.remove(findRow(node, "id", 101));
        node.remove(findRow(node, "id", 200));
        EXPECT_EQ(node.def().rowCount, uint32_t(kMaxCascadeDepth + 2));
        before = zntest::readFile(path);
        std::string msg = refusal([&] { node.remove(findRow(node, "id", 1000)); });
        EXPECT_NE(msg.find("more than " + std::to_string(kMaxCascadeDepth) + " levels"),
                  std::string::npos)
            << msg;
        EXPECT_NE(msg.find("\"NodeNode\""), std::string::npos) << msg;
        // From the far end of the chain it fits.
        node.remove(findRow(node, "id", 1010));
        EXPECT_EQ(node.def().rowCount, 10u);
    }
    expectCleanAndReadersAgree(path, true);
}

TEST(OwnRelations, ADamagedRelationshipStopsWritesToItsTablesOnly) {
    const std::string path = makeDatabase();
    auto db = openWritable(path);
    Table& note = db->table("Note");
    Row before = rowOf(note, {{"id", int64_t(4)}});
    note.insert(before);  // the relationships are read and kept ...
    addRelationship(*db, "Broken", "Note", {"missing"}, "Pair", {"a"}, 0);  // ... and read again
    Row r = rowOf(note, {{"id", int64_t(5)}});
    try {
        note.insert(r);
        ADD_FAILURE() << "accepted";
    } catch (const Error& e) {
        EXPECT_EQ(e.kind(), ErrorKind::Corrupt);
        EXPECT_NE(std::string(e.what()).find(
                      "\"Broken\" between tables \"Pair\" and \"Note\" cannot be enforced: table "
                      "\"Note\" has no column \"missing\""),
                  std::string::npos)
            << e.what();
    }
    Table& node = db->table("Node");
    Row n = rowOf(node, {{"id", int64_t(1)}});
    node.insert(n);
}

}  // namespace
