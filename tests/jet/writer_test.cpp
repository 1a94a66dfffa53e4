// Focused writer behaviours: value checks that leave the file unchanged, index rules, long-value
// storage kinds, moved rows, auto-numbers and a second writer (tests/jet/locking_test.cpp has the
// rest of locking).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "jet/check.h"
#include "jet/create.h"
#include "jet/database.h"
#include "jet/datapage.h"
#include "jet/error.h"
#include "jet/format.h"
#include "jet/header.h"
#include "jet/longvalue.h"
#include "jet/properties.h"
#include "tests/support/testsupport.h"

namespace {

using namespace jet;
using zntest::copyOf;
using zntest::openWritable;

Row blankRow(Table& t) {
    return Row(t.def().columns.size());
}

void set(Table& t, Row& r, const char* col, Value v) {
    r[size_t(t.columnIndex(col))] = std::move(v);
}

void expectClean(Database& db) {
    CheckReport r = checkDatabase(db);
    EXPECT_TRUE(r.ok()) << testing::PrintToString(r.problems);
}

TEST(Write, RejectedValuesNameTheColumnAndChangeNothing) {
    ZN_REQUIRE_FIXTURES();
    const std::string path = copyOf("sample-test.mdb");
    const auto original = zntest::readFile(path);
    struct Case {
        const char* name;
        const char* table;
        const char* column;
        Value value;
        const char* message;
    };
    const std::vector<Case> cases = {
        {"INT above its range", "Voprosi", "idvopr", int64_t(40000), "idvopr"},
        {"BYTE below zero", "Voprosi", "otvet", int64_t(-1), "0 to 255"},
        {"LONG above its range", "Tema", "numtema", int64_t(1) << 40, "numtema"},
        {"text too long", "Voprosi", "img", std::u16string(11, u'x'), "at most 10"},
        {"text into a number", "Tema", "numtema", std::u16string(u"пять"), "numtema"},
    };
    {
        auto db = openWritable(path);
        for (auto& c : cases) {
            SCOPED_TRACE(c.name);
            Table& t = db->table(c.table);
            Row r = blankRow(t);
            set(t, r, c.column, c.value);
            try {
                t.insert(r);
                ADD_FAILURE() << "accepted";
            } catch (const Error& e) {
                EXPECT_EQ(e.kind(), ErrorKind::Constraint);
                EXPECT_NE(std::string(e.what()).find(c.column), std::string::npos) << e.what();
                EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
            }
        }
    }
    EXPECT_EQ(zntest::readFile(path), original);
}

TEST(Write, UniqueAndRequiredIndexesAreEnforced) {
    ZN_REQUIRE_FIXTURES();
    // testIndexProperties: unique text keys (case-insensitive, as Jet compares them), required
    // and ignore-nulls indexes.
    const std::string path = copyOf("access/jk-testIndexPropertiesV2000.mdb");
    auto db = openWritable(path);
    Table& t = db->table("TableUnique1_temp");
    const TableDef def = t.def();
    int textCol = -1;
    for (auto& ix : def.realIndexes)
        if (ix.unique())
            for (size_t i = 0; i < def.columns.size(); ++i)
                if (def.columns[i].number == ix.columns[0].column &&
                    def.columns[i].type == ColType::Text)
                    textCol = int(i);
    ASSERT_GE(textCol, 0);
    Row r = blankRow(t);
    for (size_t i = 0; i < r.size(); ++i)
        if (def.columns[i].type == ColType::Text) r[i] = std::u16string(u"Дубликат");
    t.insert(r);
    Row again = blankRow(t);
    for (size_t i = 0; i < again.size(); ++i)
        if (def.columns[i].type == ColType::Text) again[i] = std::u16string(u"дубликат");
    const auto before = zntest::readFile(path);
    try {
        t.insert(again);
        ADD_FAILURE() << "duplicate accepted";
    } catch (const Error& e) {
        EXPECT_EQ(e.kind(), ErrorKind::Constraint);
        EXPECT_NE(std::string(e.what()).find("unique index"), std::string::npos) << e.what();
    }
    EXPECT_EQ(zntest::readFile(path), before);
    expectClean(*db);
}

// Sets a boolean property of one column in a table's property blob (test helper: the blob's
// layout is described in jet/properties.cpp).
void setColumnProperty(Blob& blob, const std::string& column, const std::string& property,
                       bool on) {
    std::vector<std::string> names;
    auto u16 = [&](size_t at) { return size_t(blob[at] | blob[at + 1] << 8); };
    auto name = [&](size_t at, size_t len) {
        std::u16string s;
        for (size_t i = 0; i + 1 < len; i += 2) s.push_back(char16_t(u16(at + i)));
        return toUtf8(s);
    };
    for (size_t pos = 4; pos + 6 <= blob.size();) {
        size_t len = u16(pos) | u16(pos + 2) << 16, kind = u16(pos + 4), c = pos + 6;
        if (kind == 0x80) {
            for (size_t p = c; p < pos + len; p += 2 + u16(p)) names.push_back(name(p + 2, u16(p)));
        } else if (name(c + 6, u16(c + 4)) == column) {
            for (size_t p = c + 6 + u16(c + 4); p + 8 <= pos + len; p += u16(p))
                if (names.at(u16(p + 4)) == property) blob[p + 8] = on ? 0xFF : 0x00;
        }
        pos += len;
    }
}

TEST(Write, RequiredAndZeroLengthColumnPropertiesAreEnforced) {
    ZN_REQUIRE_FIXTURES();
    const std::string path = copyOf("access/jk-indexTestV2000.mdb");
    auto db = openWritable(path);
    {
        // Make Table1.data required and refuse empty texts there.
        Table& objects = db->systemCatalog();
        auto s = objects.scan();
        while (s.next() && std::get<std::u16string>(s.row()[size_t(objects.columnIndex("Name"))]) !=
                               u"Table1") {
        }
        Row r = s.row();
        RowId id = s.id();
        Blob& blob = std::get<Blob>(r[size_t(objects.columnIndex("LvProp"))]);
        setColumnProperty(blob, "data", "Required", true);
        setColumnProperty(blob, "data", "AllowZeroLength", false);
        objects.update(id, r);
        db->invalidate();
    }
    Table& t = db->table("Table1");
    ASSERT_TRUE(t.columnRules().required[size_t(t.columnIndex("data"))]);
    const auto before = zntest::readFile(path);
    for (Value v : {Value(), Value(std::u16string())}) {
        Row r = blankRow(t);
        set(t, r, "id", int64_t(100));
        set(t, r, "data", v);
        try {
            t.insert(r);
            ADD_FAILURE() << "accepted";
        } catch (const Error& e) {
            EXPECT_EQ(e.kind(), ErrorKind::Constraint);
            EXPECT_NE(std::string(e.what()).find("\"data\""), std::string::npos) << e.what();
        }
    }
    EXPECT_EQ(zntest::readFile(path), before);
    Row ok = blankRow(t);
    set(t, ok, "id", int64_t(100));
    set(t, ok, "data", std::u16string(u"значение"));
    t.insert(ok);
    expectClean(*db);
}

TEST(Write, LongValuesAreStoredInlineOnOnePageOrInAChain) {
    ZN_REQUIRE_FIXTURES();
    const std::string path = copyOf("sample-test.mdb");
    auto db = openWritable(path);
    Table& t = db->table("Otveti");
    struct Case {
        size_t chars;
        uint8_t kind;
    };
    // Cyrillic is stored as UCS-2: two bytes a character.
    for (Case c :
         {Case{20, fmt::kLongInline}, Case{32, fmt::kLongInline}, Case{33, fmt::kLongSingle},
          Case{2038, fmt::kLongSingle}, Case{2039, 0}, Case{10000, 0}}) {
        SCOPED_TRACE(c.chars);
        Row r = blankRow(t);
        set(t, r, "idvopr", int64_t(1));
        set(t, r, "idotv", int64_t(9));
        set(t, r, "otvet", std::u16string(c.chars, u'ж'));
        RowId id = t.insert(r);
        DataPage dp(db->pager().get(id.page));
        RowLayout l = parseRowLayout(t.def(), dp.row(id.row));
        Bytes field;
        ASSERT_TRUE(columnBytes(t.def(), l, dp.row(id.row),
                                t.def().columns[size_t(t.columnIndex("otvet"))], field));
        EXPECT_EQ(parseLongValueHeader(field).kind, c.kind);
        EXPECT_EQ(std::get<std::u16string>(t.read(id)[size_t(t.columnIndex("otvet"))]).size(),
                  c.chars);
    }
    expectClean(*db);
}

TEST(Write, GrownRowMovesAndDeletingItRemovesBothSlots) {
    ZN_REQUIRE_FIXTURES();
    const std::string path = copyOf("sample-test.mdb");
    auto db = openWritable(path);
    Table& t = db->table("Voprosi");
    // Fill a page with small rows, then grow one of them beyond the page's free space.
    std::vector<RowId> ids;
    for (int i = 0; i < 60; ++i) {
        Row r = blankRow(t);
        set(t, r, "idtest", int64_t(7));
        set(t, r, "idvopr", int64_t(i + 1));
        set(t, r, "vopros", std::u16string(u"Вопрос"));
        ids.push_back(t.insert(r));
    }
    RowId victim = ids[3];
    Row grown = t.read(victim);
    set(t, grown, "vopros1", std::u16string(255, u'ё'));
    int moved = 0;
    for (int round = 0; round < 8 && !moved; ++round) {
        for (size_t k = 4; k < ids.size(); ++k) {
            if (ids[k].page != victim.page) continue;
            Row g = t.read(ids[k]);
            set(t, g, "vopros1", std::u16string(255, u'щ'));
            t.update(ids[k], g);
        }
        t.update(victim, grown);
        DataPage dp(db->pager().get(victim.page));
        if (dp.overflowPointer(victim.row)) moved = 1;
    }
    ASSERT_TRUE(moved) << "the row never had to move";
    EXPECT_EQ(t.read(victim), grown);
    RowId target = *t.resolve(victim);
    t.remove(victim);
    EXPECT_EQ(DataPage(db->pager().get(victim.page)).rawOffset(victim.row) & 0xC000, 0xC000);
    EXPECT_EQ(DataPage(db->pager().get(target.page)).rawOffset(target.row) & 0xC000, 0xC000);
    expectClean(*db);
}

TEST(Write, AutoNumberIsReadableAfterInsertAndCountersFollow) {
    ZN_REQUIRE_FIXTURES();
    const std::string path = copyOf("sample-test.mdb");
    auto db = openWritable(path);
    Table& t = db->table("Tema");
    const int32_t last = t.def().lastAutoNumber;
    const uint32_t rows = t.def().rowCount;
    Row r = blankRow(t);
    set(t, r, "numtema", int64_t(4));
    set(t, r, "tema", std::u16string(u"Новая тема"));
    RowId id = t.insert(r);
    EXPECT_EQ(std::get<int64_t>(r[size_t(t.columnIndex("id"))]), last + 1);
    EXPECT_EQ(t.def().lastAutoNumber, last + 1);
    EXPECT_EQ(t.def().rowCount, rows + 1);
    t.remove(id);
    EXPECT_EQ(t.def().rowCount, rows);
    EXPECT_EQ(t.def().lastAutoNumber, last + 1);  // numbers are not handed out twice
    expectClean(*db);
}

TEST(Write, IndexesOfOtherSortOrdersOrCharactersOutsideTheTableAreRefused) {
    ZN_REQUIRE_FIXTURES();
    {
        // A Cyrillic (1049) sort order: text keys cannot be computed.
        const std::string path = copyOf("access/jk-bigIndexTestV2000.mdb");
        {
            auto bytes = zntest::readFile(path);
            std::span<uint8_t> page0(bytes.data(), 4096);
            Header::applyMask(page0);
            bytes[fmt::kHdrSortOrder] = 0x19;
            bytes[fmt::kHdrSortOrder + 1] = 0x04;
            Header::applyMask(page0);
            zntest::writeFile(path, bytes);
        }
        const auto before = zntest::readFile(path);
        auto db = openWritable(path);
        Table& t = db->table("Table1");
        Row r = blankRow(t);
        for (size_t i = 0; i < r.size(); ++i)
            if (t.def().columns[i].type == ColType::Text) r[i] = std::u16string(u"abc");
        try {
            t.insert(r);
            ADD_FAILURE();
        } catch (const Error& e) {
            EXPECT_EQ(e.kind(), ErrorKind::Unsupported);
            EXPECT_NE(std::string(e.what()).find("sort order"), std::string::npos) << e.what();
        }
        db.reset();
        EXPECT_EQ(zntest::readFile(path), before);
    }
    {
        const std::string path = copyOf("access/jk-bigIndexTestV2000.mdb");
        const auto before = zntest::readFile(path);
        auto db = openWritable(path);
        Table& t = db->table("Table1");
        Row r = blankRow(t);
        for (size_t i = 0; i < r.size(); ++i)
            if (t.def().columns[i].type == ColType::Text) r[i] = std::u16string(u"漢字");
        EXPECT_THROW(t.insert(r), Error);
        db.reset();
        EXPECT_EQ(zntest::readFile(path), before);
    }
}

// A tree three levels deep on long text keys: deleting every row but the first and the last
// few empties all children of the rightmost node but its last one, whose key that node's page
// does not store. The node must still be written, and the rows deleted.
TEST(Write, DeletingFromADeepIndexKeepsTheRightmostPath) {
    const std::string path = zntest::tempDir() + "/deep.mdb";
    std::vector<RowId> ids;
    {
        auto db = createDatabase(path);
        TableSpec spec{"Deep",
                       {{"id", ColType::Long}, {"name", ColType::Text, 255}},
                       {IndexSpec{"name", {{"name", true}}}}};
        Table& t = createTable(*db, spec);
        Transaction tx(*db);
        std::mt19937 rnd(7);
        for (int i = 0; i < 600; ++i) {
            // Distinct, sorted by their number, and long enough that few fit on a page.
            std::u16string name = fromUtf8(std::to_string(100000 + i));
            while (name.size() < 200) name += char16_t(u'a' + rnd() % 26);
            Row r = blankRow(t);
            set(t, r, "id", int64_t(i));
            set(t, r, "name", name);
            ids.push_back(t.insert(r));
        }
        tx.commit();
    }
    auto db = openWritable(path);
    Table& t = db->table("Deep");
    for (size_t i = 1; i + 3 < ids.size(); ++i) ASSERT_NO_THROW(t.remove(ids[i])) << "row " << i;
    EXPECT_EQ(t.def().rowCount, 4u);
    expectClean(*db);
}

TEST(Lock, SecondWriterGetsInUseAndTheFileIsUnharmed) {
    ZN_REQUIRE_FIXTURES();
    const std::string path = copyOf("sample-test.mdb");
    auto first = openWritable(path);
    try {
        openWritable(path);
        ADD_FAILURE() << "a second writer opened the file";
    } catch (const Error& e) {
        EXPECT_EQ(e.kind(), ErrorKind::InUse);
        EXPECT_NE(std::string(e.what()).find("in use"), std::string::npos);
    }
    // Other programs see its lock file held.
    const std::string ldb = std::filesystem::path(path).replace_extension(".ldb").string();
    zntest::CommandResult r = zntest::run({"flock", "-n", "-x", ldb, "true"});
    EXPECT_NE(r.exitCode, 0);
    Table& t = first->table("Tema");
    Row row = blankRow(t);
    set(t, row, "numtema", int64_t(4));
    t.insert(row);
    first.reset();
    auto db = Database::open(path);
    expectClean(*db);
}

}  // namespace
