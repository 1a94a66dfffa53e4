// Datasets on their own: the static result and its order (index lookup against table scan),
// walking, locate, reading columns, the checks on written values, the in-memory table, and the
// writes (each leaves a file that passes the engine's integrity check).
#include <gtest/gtest.h>

#include <QFile>

#include "store/dbconnection.h"
#include "store/dbdataset.h"
#include "store/memtable.h"
#include "store/tdatmod.h"
#include "tests/store_testing.h"

using storetest::errorOf;
using storetest::utf8;

namespace {

// A data module connected to a copy of a fixture; the datasets are closed.
class OnFixture : public ::testing::Test {
  protected:
    void connect(const std::string& fixture) {
        file = storetest::copyOfFixture(fixture);
        dm.connectTo(file);
    }
    QString file;
    zn::TDatMod dm;
};

// The ids of a dataset's rows, walked from the first with next().
std::vector<qint64> ids(zn::Dataset& d) {
    std::vector<qint64> out;
    for (d.first(); !d.eof(); d.next()) out.push_back(d.asInteger("id"));
    return out;
}

// ---------------------------------------------------------------------------------------------
// The result and the cursor

class DatasetRead : public OnFixture {};

TEST_F(DatasetRead, StaticResultInOrderWalkedOnceWithEofKeepingTheLastRow) {
    ZN_REQUIRE_FIXTURES();
    connect("sample-test.mdb");
    zn::DbDataset& q = dm.qrvoprosi;
    q.setParam("idtest", 3);
    q.open();
    EXPECT_EQ(q.recordCount(), 5);
    EXPECT_TRUE(q.bof());
    EXPECT_FALSE(q.eof());
    EXPECT_TRUE(q.lastOpenUsedIndex());
    std::vector<qint64> seen;
    for (; !q.eof(); q.next()) seen.push_back(q.asInteger("idvopr"));
    EXPECT_EQ(seen, (std::vector<qint64>{1, 2, 3, 4, 5}));
    // Past the end the last row stays current, and next() does nothing more.
    EXPECT_EQ(q.asInteger("idvopr"), 5);
    EXPECT_EQ(q.recNo(), 5);
    q.next();
    EXPECT_TRUE(q.eof());
    EXPECT_EQ(q.asInteger("idvopr"), 5);
    q.first();
    EXPECT_EQ(q.asInteger("idvopr"), 1);
    EXPECT_FALSE(q.eof());

    // An empty result: eof at once, and columns read as NULL.
    q.close();
    q.setParam("idtest", 2);
    q.open();
    EXPECT_EQ(q.recordCount(), 0);
    EXPECT_TRUE(q.eof());
    EXPECT_EQ(q.recNo(), 0);
    EXPECT_EQ(q.asInteger("id"), 0);
    EXPECT_EQ(utf8(q.asString("vopros")), "");
}

TEST_F(DatasetRead, ColumnsReadAsIntegerOrTextWithNullAsZeroOrEmpty) {
    ZN_REQUIRE_FIXTURES();
    connect("sample-test.mdb");
    zn::DbDataset q("q", dm.Conn);
    q.setSql("select * from Voprosi order by id");
    q.open();
    EXPECT_EQ(q.fieldNames(), QStringList({"id", "idtest", "idvopr", "vopros", "pokaz", "otvet",
                                           "kolotvet", "status", "reiting", "vopros1", "img"}));
    ASSERT_TRUE(q.locate("id", 3));
    EXPECT_EQ(utf8(q.asString("img")), "p3.jpg");
    EXPECT_EQ(q.asInteger("KOLOTVET"), 5);  // names without regard to case
    EXPECT_EQ(utf8(q.asString("kolotvet")), "5");
    EXPECT_TRUE(q.isNull("pokaz"));
    EXPECT_EQ(q.asInteger("pokaz"), 0);
    EXPECT_EQ(q.asFloat("reiting"), 0.0);
    EXPECT_FALSE(q.value("reiting").isValid());
    ASSERT_TRUE(q.locate("id", 5));  // a memo over 5000 characters, on several pages
    EXPECT_GT(q.asString("vopros").size(), 5000);
    EXPECT_TRUE(q.isNull("img"));
    EXPECT_EQ(utf8(q.asString("img")), "");
    EXPECT_EQ(utf8(q.displayName("idvopr")), "№ Вопроса");
    EXPECT_EQ(utf8(q.displayName("img")), "img");
    EXPECT_EQ(errorOf([&] { q.asInteger("nope"); }), "q: Field 'nope' not found");

    dm.tbSettings.open();
    EXPECT_EQ(ids(dm.tbSettings), (std::vector<qint64>{1, 2, 3, 4, 5}));
    ASSERT_TRUE(dm.tbSettings.locate("id", 4));
    EXPECT_TRUE(dm.tbSettings.asString("SettingValue").contains("\r\n"));
}

TEST_F(DatasetRead, LocateFindsTheFirstMatchInResultOrderOrLeavesTheCursor) {
    ZN_REQUIRE_FIXTURES();
    connect("sample-test.mdb");
    zn::DbDataset q("q", dm.Conn);
    q.setSql("select * from Voprosi order by id");
    q.open();
    int moves = 0;
    q.afterScroll = [&] { ++moves; };
    // idvopr 2 belongs to questions 2 (topic 1) and 5 (topic 3): the first in id order wins.
    EXPECT_TRUE(q.locate("idvopr", 2));
    EXPECT_EQ(q.asInteger("id"), 2);
    EXPECT_EQ(moves, 1);
    EXPECT_TRUE(q.locate("idvopr", 2));  // the current row again still counts as a movement
    EXPECT_EQ(moves, 2);
    q.next();
    q.next();
    EXPECT_EQ(q.asInteger("id"), 4);
    moves = 0;
    EXPECT_FALSE(q.locate("idvopr", 99));
    EXPECT_FALSE(q.locate("idvopr", 70000));
    EXPECT_EQ(q.asInteger("id"), 4);
    EXPECT_EQ(q.recNo(), 4);
    EXPECT_EQ(moves, 0);
    // eof is cleared by a successful locate.
    while (!q.eof()) q.next();
    EXPECT_TRUE(q.locate("id", 1));
    EXPECT_FALSE(q.eof());
}

// The index lookup must give exactly what a scan gives, in the same order, also on a file with
// deleted and moved rows and multi-level indexes.
TEST_F(DatasetRead, IndexLookupAgreesWithTableScan) {
    ZN_REQUIRE_FIXTURES();
    for (const char* fx : {"mutated-test.mdb", "large-test.mdb"}) {
        SCOPED_TRACE(fx);
        connect(fx);
        zn::DbDataset byIndex("a", dm.Conn), byScan("b", dm.Conn);
        struct {
            const char* sql;
            const char* param;
            std::vector<qint64> keys;
        } queries[] = {
            {"select * from Voprosi where idtest=:idtest order by idvopr",
             "idtest",
             {0, 1, 2, 3, 7, 14, 15, -1, 70000, 65537}},
            {"select * from Otveti where idvopr=:idvopr order by idotv",
             "idvopr",
             {0, 1, 2, 77, 250, 601, 4199, 4200, 32767, 40000, 65536 + 77}},
        };
        for (auto& qd : queries) {
            byIndex.setSql(qd.sql);
            byScan.setSql(qd.sql);
            byScan.setUseIndexes(false);
            for (qint64 k : qd.keys) {
                SCOPED_TRACE(k);
                byIndex.setParam(qd.param, k);
                byScan.setParam(qd.param, k);
                byIndex.open();
                byScan.open();
                EXPECT_TRUE(byIndex.lastOpenUsedIndex());
                EXPECT_FALSE(byScan.lastOpenUsedIndex());
                EXPECT_EQ(ids(byIndex), ids(byScan));
                byIndex.close();
                byScan.close();
            }
        }
        dm.Conn.close();
    }
}

TEST_F(DatasetRead, TableWithoutARequiredColumnCannotBeOpened) {
    ZN_REQUIRE_FIXTURES();
    // Rename Tema.kolvopr (its definition is on page 24) to kolvoXX in a copy.
    QString path = storetest::copyOfFixture("sample-test.mdb");
    std::vector<uint8_t> bytes = zntest::readFile(path.toStdString());
    const std::u16string from = u"kolvopr", to = u"kolvoXX";
    auto at = std::search(bytes.begin() + 24 * 4096, bytes.begin() + 25 * 4096,
                          reinterpret_cast<const uint8_t*>(from.data()),
                          reinterpret_cast<const uint8_t*>(from.data() + from.size()));
    ASSERT_NE(at, bytes.begin() + 25 * 4096);
    std::copy(reinterpret_cast<const uint8_t*>(to.data()),
              reinterpret_cast<const uint8_t*>(to.data() + to.size()), at);
    zntest::writeFile(path.toStdString(), bytes);

    dm.connectTo(path);
    EXPECT_EQ(errorOf([&] { dm.qrtema.open(); }), "qrtema: Field 'kolvopr' not found");
    EXPECT_FALSE(dm.qrtema.isOpen());
    dm.qrvoprosi.setParam("idtest", 1);
    dm.qrvoprosi.open();  // the other tables are whole
    EXPECT_EQ(dm.qrvoprosi.recordCount(), 3);
}

TEST_F(DatasetRead, MisuseIsReportedWithTheDatasetsName) {
    ZN_REQUIRE_FIXTURES();
    connect("sample-test.mdb");
    zn::DbDataset& q = dm.qrotveti;
    EXPECT_EQ(errorOf([&] { q.first(); }),
              "qrotveti: Cannot perform this operation on a closed dataset");
    EXPECT_EQ(errorOf([&] { q.open(); }),
              "qrotveti: No value given for one or more required parameters.");
    EXPECT_EQ(errorOf([&] { q.setParam("idtest", 1); }), "qrotveti: Parameter 'idtest' not found");
    q.setParam("IDVOPR", 1);
    q.open();
    EXPECT_EQ(errorOf([&] { q.setInteger("idotv", 1); }),
              "qrotveti: Dataset not in edit or insert mode");
    EXPECT_EQ(errorOf([&] { q.setSql("select * from Tema order by id"); }),
              "qrotveti: Cannot perform this operation on an open dataset");
    q.close();
    q.setParam("idvopr", 9999);
    q.open();
    EXPECT_EQ(errorOf([&] { q.edit(); }),
              "qrotveti: Cannot perform this operation on an empty dataset");
    EXPECT_EQ(errorOf([&] { q.remove(); }),
              "qrotveti: Cannot perform this operation on an empty dataset");
}

// ---------------------------------------------------------------------------------------------
// Checks on written values (made in insert mode, cancelled: nothing reaches the engine)

TEST_F(DatasetRead, WrittenValuesAreCheckedAgainstTheColumn) {
    ZN_REQUIRE_FIXTURES();
    connect("sample-test.mdb");
    dm.qrtema.open();
    const std::string longName = QString(256, u'я').toStdString();
    struct Case {
        zn::Dataset* ds;
        const char* column;
        std::variant<qint64, const char*> value;
        const char* error;  // nullptr: accepted
    } cases[] = {
        {&dm.qrvoprosi, "idvopr", qint64(40000),
         "40000 is not a valid value for field '№ Вопроса'. The allowed range is -32768 to 32767"},
        {&dm.qrvoprosi, "idvopr", qint64(-32769),
         "-32769 is not a valid value for field '№ Вопроса'. The allowed range is -32768 to "
         "32767"},
        {&dm.qrvoprosi, "idvopr", qint64(32767), nullptr},
        {&dm.qrvoprosi, "idvopr", qint64(-32768), nullptr},
        {&dm.qrvoprosi, "otvet", qint64(256),
         "256 is not a valid value for field 'Ответ'. The allowed range is 0 to 255"},
        {&dm.qrvoprosi, "kolotvet", qint64(-1),
         "-1 is not a valid value for field 'Кол. Ответов'. The allowed range is 0 to 255"},
        {&dm.qrvoprosi, "otvet", qint64(255), nullptr},
        {&dm.qrvoprosi, "idtest", "abc", "'abc' is not a valid integer value"},
        {&dm.qrvoprosi, "idtest", "1 ", "'1 ' is not a valid integer value"},
        {&dm.qrvoprosi, "idtest", "70000",
         "70000 is not a valid value for field '№ Теста'. The allowed range is -32768 to 32767"},
        {&dm.qrvoprosi, "idtest", " $10", nullptr},
        {&dm.qrvoprosi, "img", "12345678901",
         "The field is too small to accept the amount of data you attempted to add. Try "
         "inserting or pasting less data."},
        {&dm.qrvoprosi, "img", "1234567890", nullptr},
        {&dm.qrvoprosi, "id", qint64(5), "Field 'id' cannot be modified"},
        {&dm.qrotveti, "idotv", qint64(32768),
         "32768 is not a valid value for field '№ Ответа'. The allowed range is -32768 to 32767"},
        {&dm.qrtema, "numtema", qint64(3000000000LL),
         "3000000000 is not a valid value for field '№ Темы'. The allowed range is -2147483648 "
         "to 2147483647"},
        {&dm.qrtema, "kolvopr", "x", "'x' is not a valid integer value"},
        {&dm.qrtema, "tema", longName.c_str(),
         "The field is too small to accept the amount of data you attempted to add. Try "
         "inserting or pasting less data."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.column);
        c.ds->insert();
        std::string err = errorOf([&] {
            if (auto* n = std::get_if<qint64>(&c.value))
                c.ds->setInteger(c.column, *n);
            else
                c.ds->setString(c.column, QString::fromUtf8(std::get<const char*>(c.value)));
        });
        EXPECT_EQ(err, c.error ? c.error : "(no error)");
        if (!c.error && std::holds_alternative<qint64>(c.value)) {
            EXPECT_EQ(c.ds->asInteger(c.column), std::get<qint64>(c.value));
        }
        // A refused value leaves the column as it was.
        if (c.error) {
            EXPECT_TRUE(c.ds->isNull(c.column));
        }
        c.ds->cancel();
    }
    // An empty text makes a number column NULL; " $10" was 16.
    dm.qrvoprosi.insert();
    dm.qrvoprosi.setString("idtest", " $10");
    EXPECT_EQ(dm.qrvoprosi.asInteger("idtest"), 16);
    dm.qrvoprosi.setString("idtest", "");
    EXPECT_TRUE(dm.qrvoprosi.isNull("idtest"));
    dm.qrvoprosi.cancel();
}

// ---------------------------------------------------------------------------------------------
// The in-memory table

TEST(MemTable, KeepsIdOrderCutsNamesAndEmptiesOnClose) {
    zn::TDatMod dm;
    zn::MemTable& t = dm.TbTema;
    t.open();
    EXPECT_EQ(t.fieldNames(), QStringList({"id", "nb", "name", "bil", "vop"}));
    auto add = [&](qint64 id, const QString& name) {
        t.insert();
        t.setInteger("id", id);
        t.setString("name", name);
        t.post();
        EXPECT_EQ(t.asInteger("id"), id);  // the posted row stays current
    };
    add(2, "two");
    add(0, "zero");
    add(5, "five");
    add(1, QString(60, u'ж'));
    EXPECT_EQ(ids(t), (std::vector<qint64>{0, 1, 2, 5}));
    ASSERT_TRUE(t.locate("id", 1));
    EXPECT_EQ(t.asString("name"), QString(50, u'ж'));
    EXPECT_EQ(t.asInteger("bil"), 0);

    // Delete: the following row becomes current, after the last one the previous.
    ASSERT_TRUE(t.locate("id", 2));
    t.remove();
    EXPECT_EQ(t.asInteger("id"), 5);
    t.remove();
    EXPECT_EQ(t.asInteger("id"), 1);
    EXPECT_EQ(t.recordCount(), 2);

    // Cancelling an insert returns to the row current before.
    t.insert();
    t.setInteger("id", 9);
    t.cancel();
    EXPECT_EQ(t.asInteger("id"), 1);
    EXPECT_EQ(t.recordCount(), 2);

    EXPECT_EQ(errorOf([&] { t.insert(), t.setInteger("vop", 1LL << 31); }),
              "2147483648 is not a valid value for field 'vop'. The allowed range is "
              "-2147483648 to 2147483647");
    t.cancel();

    t.close();
    t.open();
    EXPECT_EQ(t.recordCount(), 0);
    EXPECT_TRUE(t.eof());
}

// ---------------------------------------------------------------------------------------------
// Writes

class DatasetWrite : public OnFixture {
  protected:
    void TearDown() override {
        if (file.isEmpty()) return;
        dm.Conn.close();
        storetest::expectIntact(file);
    }
};

TEST_F(DatasetWrite, InsertedRowGetsItsIdAndLeavesOtherColumnsNull) {
    ZN_REQUIRE_FIXTURES();
    connect("sample-test.mdb");
    zn::DbDataset& q = dm.qrvoprosi;
    q.setParam("idtest", 3);
    q.open();
    q.insert();
    q.setInteger("idtest", 3);
    q.setInteger("idvopr", 6);
    q.setString("vopros", "Новый вопрос");
    q.setInteger("otvet", 2);
    q.setInteger("kolotvet", 3);
    q.setString("img", "");
    q.post();
    EXPECT_EQ(q.asInteger("id"), 9);  // the next auto-number
    EXPECT_EQ(q.recordCount(), 6);
    EXPECT_EQ(q.state(), zn::DatasetState::Browse);

    // Read back from the file by a fresh connection.
    dm.Conn.close();
    dm.connectTo(file);
    zn::DbDataset all("all", dm.Conn);
    all.setSql("select * from Voprosi order by id");
    all.open();
    ASSERT_TRUE(all.locate("id", 9));
    EXPECT_EQ(all.asInteger("idvopr"), 6);
    EXPECT_EQ(utf8(all.asString("vopros")), "Новый вопрос");
    for (const char* c : {"pokaz", "status", "reiting", "vopros1"}) EXPECT_TRUE(all.isNull(c)) << c;
    EXPECT_FALSE(all.isNull("img"));  // written as empty text
}

TEST_F(DatasetWrite, EditStoresOnlyTheWrittenColumns) {
    ZN_REQUIRE_FIXTURES();
    connect("mutated-test.mdb");  // has stored pokaz, status, reiting, vopros1
    zn::DbDataset q("q", dm.Conn);
    q.setSql("select * from Voprosi order by id");
    q.open();
    // A row with the never-written columns set.
    for (q.first(); !q.eof() && q.isNull("vopros1"); q.next()) {
    }
    ASSERT_FALSE(q.eof());
    const qint64 id = q.asInteger("id");
    const QVariant pokaz = q.value("pokaz"), status = q.value("status"),
                   reiting = q.value("reiting"), vopros1 = q.value("vopros1");
    q.edit();
    q.setString("vopros", "changed");
    q.setInteger("kolotvet", 3);
    q.post();
    q.close();
    q.open();
    ASSERT_TRUE(q.locate("id", id));
    EXPECT_EQ(utf8(q.asString("vopros")), "changed");
    EXPECT_EQ(q.asInteger("kolotvet"), 3);
    EXPECT_EQ(q.value("pokaz"), pokaz);
    EXPECT_EQ(q.value("status"), status);
    EXPECT_EQ(q.value("reiting"), reiting);
    EXPECT_EQ(q.value("vopros1"), vopros1);
}

TEST_F(DatasetWrite, DeleteMakesTheNextRowCurrentElseThePrevious) {
    ZN_REQUIRE_FIXTURES();
    connect("sample-test.mdb");
    zn::DbDataset& q = dm.qrotveti;
    q.setParam("idvopr", 3);  // answers 5..9
    q.open();
    ASSERT_TRUE(q.locate("idotv", 2));
    q.remove();
    EXPECT_EQ(q.asInteger("idotv"), 3);
    EXPECT_EQ(q.recordCount(), 4);
    ASSERT_TRUE(q.locate("idotv", 5));
    q.remove();
    EXPECT_EQ(q.asInteger("idotv"), 4);
    EXPECT_FALSE(q.eof());
    while (q.recordCount() > 0) q.remove();
    EXPECT_TRUE(q.eof());
    q.close();
    q.open();
    EXPECT_EQ(q.recordCount(), 0);
}

// Re-queries read through the row cache: they must see every write made through the module.
TEST_F(DatasetWrite, RequeriesSeeTheModulesOwnWrites) {
    ZN_REQUIRE_FIXTURES();
    connect("sample-test.mdb");
    zn::DbDataset& q = dm.qrvoprosi;
    q.setParam("idtest", 1);
    q.open();
    ASSERT_TRUE(q.locate("idvopr", 2));
    q.edit();
    q.setInteger("idtest", 3);  // moves question 2 to topic 3
    q.post();
    q.close();
    q.open();
    EXPECT_EQ(ids(q), (std::vector<qint64>{1, 3}));
    q.close();
    q.setParam("idtest", 3);
    q.open();
    EXPECT_EQ(ids(q), (std::vector<qint64>{4, 2, 5, 6, 7, 8}));  // idvopr 1, 2, 2, 3, 4, 5
    ASSERT_TRUE(q.locate("id", 4));
    q.remove();
    q.insert();
    q.setInteger("idtest", 3);
    q.setInteger("idvopr", 0);
    q.post();
    const qint64 added = q.asInteger("id");
    q.close();
    q.open();
    EXPECT_EQ(ids(q), (std::vector<qint64>{added, 2, 5, 6, 7, 8}));
}

TEST_F(DatasetWrite, NextStoresAPendingInsert) {
    ZN_REQUIRE_FIXTURES();
    connect("empty-test.mdb");
    zn::DbDataset& t = dm.qrtema;
    t.open();
    t.insert();
    t.setInteger("numtema", 1);
    t.setString("tema", "A");
    t.insert();  // stores the first one
    EXPECT_EQ(t.recordCount(), 2);
    t.setInteger("numtema", 2);
    t.setString("tema", "B");
    t.first();  // stores the second one
    t.insert();
    t.first();  // an insert that wrote nothing is dropped
    EXPECT_EQ(t.recordCount(), 2);
    t.close();
    t.open();
    EXPECT_EQ(t.recordCount(), 2);
    EXPECT_TRUE(t.isNull("kolvopr"));
}

}  // namespace
