// Write scopes of the data module: a command lands whole or not at all, and afterwards the
// datasets show what the file holds. sample-test.mdb has topics 1 (questions 1-3), 2 (none) and
// 3 (questions 4-8, numbered 1-5).
#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>

#include "jet/create.h"
#include "jet/database.h"
#include "jet/error.h"
#include "store/bank/testbank.h"
#include "store/tdatmod.h"
#include "store/values.h"
#include "tests/store_testing.h"
#include "tests/support/faultenv.h"

using storetest::errorOf;

namespace {

std::vector<uint8_t> bytesOf(const QString& path) {
    return zntest::readFile(path.toStdString());
}

// (numtema, tema) of every topic in numtema order, as the engine reads the file now.
std::vector<std::pair<qint64, QString>> topicsInFile(const QString& path) {
    auto db = jet::Database::open(path.toStdString());
    jet::Table& t = db->table("Tema");
    const size_t num = size_t(t.columnIndex("numtema")), name = size_t(t.columnIndex("tema"));
    std::vector<std::pair<qint64, QString>> out;
    for (auto s = t.scan(); s.next();)
        out.emplace_back(std::get<int64_t>(s.row()[num]),
                         QString::fromStdU16String(std::get<std::u16string>(s.row()[name])));
    std::sort(out.begin(), out.end());
    return out;
}

// A command of several rows: every topic moves up by 10, and its questions follow it.
void shiftTopics(zn::TDatMod& dm) {
    dm.write([&] {
        std::vector<qint64> ids;
        for (const zn::Topic& t : zn::topicsOf(dm.qrtema)) ids.push_back(t.id);
        for (qint64 id : ids) {
            dm.qrtema.locate("id", id);
            const qint64 to = dm.qrtema.asInteger("numtema") + 10;
            for (dm.qrvoprosi.first(); !dm.qrvoprosi.eof(); dm.qrvoprosi.next()) {
                dm.qrvoprosi.edit();
                dm.qrvoprosi.setInteger("idtest", to);
                dm.qrvoprosi.post();
            }
            dm.qrtema.edit();
            dm.qrtema.setInteger("numtema", to);
            dm.qrtema.post();
        }
    });
}

class WriteScope : public ::testing::Test {
  protected:
    void open(const std::string& fixture = "sample-test.mdb") {
        file = storetest::copyOfFixture(fixture);
        dm.connectTo(file);
        dm.qrtema.open();
    }
    void TearDown() override {
        if (file.isEmpty()) return;
        dm.Conn.close();
        storetest::expectIntact(file);
        EXPECT_FALSE(QFileInfo::exists(file + "-journal"));
    }
    QString file;
    zn::TDatMod dm;
};

TEST_F(WriteScope, ACommandLandsWholeOrNotAtAll) {
    ZN_REQUIRE_FIXTURES();
    open();
    const auto before = bytesOf(file);
    // Fails after the first topic and its questions were rewritten.
    EXPECT_THROW(dm.write([&] {
        dm.qrtema.edit();
        dm.qrtema.setString("tema", "переименована");
        dm.qrtema.post();
        throw std::runtime_error("half-way");
    }),
                 std::runtime_error);
    EXPECT_EQ(bytesOf(file), before);
    EXPECT_EQ(dm.qrtema.asString("tema"), QStringLiteral("Общие положения охраны труда"));

    shiftTopics(dm);
    EXPECT_EQ(topicsInFile(file)[0].first, 11);
    EXPECT_EQ(dm.qrtema.asInteger("numtema"), 13);  // where the command left the cursor
}

// The engine's rollback alone left the row cache and the datasets showing the rolled-back
// values, and a later edit of another column wrote them back into the file.
TEST_F(WriteScope, RolledBackValuesNeverReachTheFileThroughALaterEdit) {
    ZN_REQUIRE_FIXTURES();
    open();
    dm.qrtema.locate("numtema", 3);
    try {
        dm.write([&] {
            dm.qrtema.edit();
            dm.qrtema.setString("tema", "откатится");
            dm.qrtema.post();
            dm.qrvoprosi.edit();
            dm.qrvoprosi.setString("vopros", "откатится");
            dm.qrvoprosi.post();
            throw jet::Error(jet::ErrorKind::Io, "disk gone");
        });
    } catch (const jet::Error&) {
    }
    // The cursors are back on their rows, showing the stored values.
    EXPECT_EQ(dm.qrtema.asInteger("numtema"), 3);
    EXPECT_EQ(dm.qrtema.asString("tema"), QStringLiteral("Пожарная безопасность"));
    EXPECT_NE(dm.qrvoprosi.asString("vopros"), QStringLiteral("откатится"));

    dm.write([&] {
        dm.qrtema.edit();
        dm.qrtema.setInteger("kolvopr", 5);
        dm.qrtema.post();
        dm.qrvoprosi.edit();
        dm.qrvoprosi.setInteger("otvet", 1);
        dm.qrvoprosi.post();
    });
    dm.Conn.close();
    zn::TDatMod other;
    other.connectTo(file);  // a fresh connection: nothing cached
    other.qrtema.open();
    other.qrtema.locate("numtema", 3);
    EXPECT_EQ(other.qrtema.asString("tema"), QStringLiteral("Пожарная безопасность"));
    EXPECT_EQ(other.qrtema.asInteger("kolvopr"), 5);
    for (const zn::Question& q : zn::questionsOf(other.qrvoprosi))
        EXPECT_NE(q.vopros, QStringLiteral("откатится"));
}

// A row inserted in a rolled-back command is gone from the datasets too: editing what the
// cursor then stands on works (it used to report a damaged file).
TEST_F(WriteScope, RowsOfARolledBackInsertAreGoneFromTheDatasets) {
    ZN_REQUIRE_FIXTURES();
    open();
    const int topics = dm.qrtema.recordCount();
    EXPECT_THROW(dm.write([&] {
        dm.qrtema.insert();
        dm.qrtema.setInteger("numtema", 4);
        dm.qrtema.setString("tema", "новая");
        dm.qrtema.post();
        throw std::runtime_error("stop");
    }),
                 std::runtime_error);
    EXPECT_EQ(dm.qrtema.recordCount(), topics);
    dm.write([&] {
        dm.qrtema.locate("numtema", 3);
        dm.qrtema.edit();
        dm.qrtema.setString("tema", "последняя");
        dm.qrtema.post();
    });
    EXPECT_EQ(topicsInFile(file).back(), std::make_pair(qint64(3), QStringLiteral("последняя")));
}

// A save that failed once (a picture name longer than img's 10 characters) left its question
// pending; the corrected save then stored a half-made question and a second, complete one.
TEST_F(WriteScope, AFailedSaveThenACorrectedOneStoresExactlyOneCompleteQuestion) {
    ZN_REQUIRE_FIXTURES();
    open();
    auto save = [&](const QString& picture) {
        dm.write([&] {
            dm.qrtema.locate("numtema", 2);
            dm.qrvoprosi.insert();
            dm.qrvoprosi.setInteger("idtest", 2);
            dm.qrvoprosi.setInteger("idvopr", 1);
            dm.qrvoprosi.setString("vopros", "Вопрос");
            dm.qrvoprosi.setInteger("otvet", 1);
            dm.qrvoprosi.setInteger("kolotvet", 2);
            dm.qrvoprosi.setString("img", picture);
            dm.qrvoprosi.post();
            const qint64 id = dm.qrvoprosi.asInteger("id");
            for (int k = 1; k <= 2; ++k) {
                dm.qrotveti.insert();
                dm.qrotveti.setInteger("idvopr", id);
                dm.qrotveti.setInteger("idotv", k);
                dm.qrotveti.setString("otvet", QStringLiteral("ответ %1").arg(k));
                dm.qrotveti.post();
            }
        });
    };
    EXPECT_NE(errorOf([&] { save(QStringLiteral("picture-name.png")); }), "(no error)");
    dm.qrtema.first();  // a movement that used to store the pending question
    save(QStringLiteral("p.png"));

    dm.qrtema.locate("numtema", 2);
    const auto questions = zn::questionsOf(dm.qrvoprosi);
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_EQ(questions[0].img, QStringLiteral("p.png"));
    EXPECT_EQ(zn::answersOf(dm.qrotveti).size(), 2u);
}

// A write the engine refuses (a database opened for reading only) is refused once: the
// refused row is not pending for every later movement to try again.
TEST_F(WriteScope, ARefusedWriteIsNotRetriedByLaterMovements) {
    ZN_REQUIRE_FIXTURES();
    file = storetest::copyOfFixture("sample-test.mdb");
    // Another Jet program has the database open.
    zntest::HoldingChild other([&] {
        return zntest::holdLikeJet(QFileInfo(file).path().toStdString() + "/sample-test.ldb");
    });
    ASSERT_EQ(other.error(), "");
    dm.connectTo(file);
    ASSERT_TRUE(dm.readOnly());
    EXPECT_FALSE(dm.readOnlyMessage().isEmpty());
    dm.qrtema.open();
    dm.qrtema.edit();
    dm.qrtema.setString("tema", "x");
    EXPECT_THROW(dm.qrtema.post(), jet::Error);
    EXPECT_EQ(dm.qrtema.state(), zn::DatasetState::Browse);
    EXPECT_NO_THROW(dm.qrtema.next());
    EXPECT_NO_THROW(dm.qrtema.first());
    EXPECT_EQ(dm.qrtema.asString("tema"), QStringLiteral("Общие положения охраны труда"));
    EXPECT_THROW(dm.write([] {}), jet::Error);
    dm.Conn.close();
}

TEST_F(WriteScope, NestedScopesJoinAndAFailedInnerScopeDoomsTheCommand) {
    ZN_REQUIRE_FIXTURES();
    open();
    const auto before = bytesOf(file);
    EXPECT_THROW(dm.write([&] {
        dm.qrtema.edit();
        dm.qrtema.setString("tema", "внешняя");
        dm.qrtema.post();
        try {
            dm.write([&] { throw std::runtime_error("inner"); });
        } catch (const std::runtime_error&) {
            // Swallowed by a careless command: the outer commit must still refuse.
        }
    }),
                 jet::Error);
    EXPECT_EQ(bytesOf(file), before);

    dm.write([&] {
        dm.write([&] {
            dm.qrtema.edit();
            dm.qrtema.setString("tema", "вложенная");
            dm.qrtema.post();
        });
        EXPECT_TRUE(dm.inWrite());
    });
    EXPECT_FALSE(dm.inWrite());
    EXPECT_EQ(topicsInFile(file)[0].second, QStringLiteral("вложенная"));
}

TEST_F(WriteScope, AnUnpostedChangeAtTheEndOfACommandRollsItBack) {
    ZN_REQUIRE_FIXTURES();
    open();
    const auto before = bytesOf(file);
    EXPECT_THROW(dm.write([&] {
        dm.qrtema.edit();
        dm.qrtema.setString("tema", "забыли записать");
    }),
                 jet::Error);
    EXPECT_EQ(dm.qrtema.state(), zn::DatasetState::Browse);
    EXPECT_EQ(bytesOf(file), before);
}

TEST_F(WriteScope, ClosingTheConnectionInsideACommandIsRefused) {
    ZN_REQUIRE_FIXTURES();
    open();
    std::string err;
    EXPECT_THROW(dm.write([&] {
        dm.qrtema.edit();
        dm.qrtema.setString("tema", "x");
        dm.qrtema.post();
        err = errorOf([&] { dm.Conn.close(); });
        throw std::runtime_error("stop");
    }),
                 std::runtime_error);
    EXPECT_EQ(err, "The database cannot be closed while a command is writing to it");
    EXPECT_TRUE(dm.Conn.isOpen());
}

// An I/O error at every write of a command of many rows: each time the file stays byte for
// byte as it was and the datasets show it; past the last write the command lands.
TEST(WriteScopeFaults, AnIoErrorAtAnyWriteLeavesTheFileAsItWas) {
    ZN_REQUIRE_FIXTURES();
    const QString original = storetest::copyOfFixture("sample-test.mdb");
    const auto before = bytesOf(original);
    bool landed = false;
    for (int k = 1; !landed; ++k) {
        SCOPED_TRACE("failing operation " + std::to_string(k));
        ASSERT_LT(k, 200);
        const QString file = storetest::copyOfFixture("sample-test.mdb");
        zntest::FaultEnv env(k, false);
        zn::TDatMod dm;
        dm.Conn.setEnv(&env);
        dm.connectTo(file);
        dm.qrtema.open();
        dm.qrtema.locate("numtema", 3);
        try {
            shiftTopics(dm);
            landed = true;
        } catch (const jet::Error&) {
            EXPECT_EQ(bytesOf(file), before);
            EXPECT_FALSE(QFileInfo::exists(file + "-journal"));
            EXPECT_EQ(dm.qrtema.asInteger("numtema"), 3);
            EXPECT_EQ(dm.qrvoprosi.recordCount(), 5);
            EXPECT_EQ(dm.qrvoprosi.asInteger("idtest"), 3);
        }
        dm.Conn.close();
        if (landed) {
            const auto topics = topicsInFile(file);
            ASSERT_EQ(topics.size(), 3u);
            EXPECT_EQ(topics[0].first, 11);
            EXPECT_EQ(topics[2].first, 13);
        }
        storetest::expectIntact(file);
    }
}

}  // namespace

namespace {

// Rows the editor inserts leave the columns it never writes at the database's default: a file
// of our own whose Voprosi columns carry defaults, against one without (NULL stays NULL).
TEST(DataModuleInserts, UnwrittenColumnsTakeTheDatabaseDefault) {
    struct Case {
        const char* what;
        bool withDefaults;
    } cases[] = {{"defaults", true}, {"no defaults", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = zntest::tempDir() + "/bank.mdb";
        {
            auto db = jet::createDatabase(path);
            for (jet::TableSpec spec : zn::bank::testSchema()) {
                for (jet::ColumnSpec& col : spec.columns) {
                    if (!c.withDefaults) col.defaultValue.clear();
                    if (c.withDefaults && col.name == "vopros1") col.defaultValue = "\"нет\"";
                    if (c.withDefaults && col.name == "status") col.defaultValue = "=5";
                }
                jet::createTable(*db, spec);
            }
        }
        zn::TDatMod dm;
        dm.connectTo(QString::fromStdString(path));
        dm.qrvoprosi.setParam("idtest", 1);
        dm.qrvoprosi.open();
        dm.write([&] {
            dm.qrvoprosi.insert();
            dm.qrvoprosi.setInteger("idtest", 1);
            dm.qrvoprosi.setInteger("idvopr", 1);
            dm.qrvoprosi.setString("vopros", "Вопрос");
            dm.qrvoprosi.post();
        });
        // What was stored reads back on the dataset's row too.
        EXPECT_EQ(dm.qrvoprosi.isNull("pokaz"), !c.withDefaults);
        dm.Conn.close();
        auto db = jet::Database::open(path);
        jet::Table& t = db->table("Voprosi");
        auto s = t.scan();
        ASSERT_TRUE(s.next());
        auto value = [&](const char* column) { return s.row()[size_t(t.columnIndex(column))]; };
        if (c.withDefaults) {
            EXPECT_EQ(value("pokaz"), jet::Value(int64_t(0)));
            EXPECT_EQ(value("status"), jet::Value(int64_t(5)));
            EXPECT_EQ(value("reiting"), jet::Value(0.0));
            EXPECT_EQ(value("vopros1"), jet::Value(std::u16string(u"нет")));
        } else {
            for (const char* column : {"pokaz", "status", "reiting", "vopros1"})
                EXPECT_TRUE(jet::isNull(value(column))) << column;
        }
        EXPECT_TRUE(zntest::readersAgree(path));
    }
}

}  // namespace
