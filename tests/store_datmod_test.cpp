// The data module: its creation step, closing the connection, the master-detail chain
// (which cursor operations re-query the details and which do not), and the empty topic list
// notification. sample-test.mdb has topics 1 (questions 1-3), 2 (none) and 3 (questions 4-8,
// numbered 1-5); question 1 has answers 1-2, question 4 answers 10-14.
#include <gtest/gtest.h>

#include <QFileInfo>

#include "store/tdatmod.h"
#include "tests/store_testing.h"

using storetest::errorOf;
using storetest::utf8;

namespace {

class DatMod : public ::testing::Test {
  protected:
    void connect(const std::string& fixture) {
        file = storetest::copyOfFixture(fixture);
        dm.connectTo(file);
        QObject::connect(&dm, &zn::TDatMod::topicsEmptied, [this] { ++emptied; });
    }
    // Whatever a test wrote leaves a file that passes the engine's integrity check.
    void TearDown() override {
        if (file.isEmpty()) return;
        dm.Conn.close();
        storetest::expectIntact(file);
    }
    QString file;
    zn::TDatMod dm;
    int emptied = 0;
};

// The ids of a non-empty dataset's rows. Walking moves the cursor (and re-queries the
// dataset's details), so it is walked back to the row that was current.
std::vector<qint64> idsOf(zn::Dataset& d) {
    std::vector<qint64> out;
    const int at = d.recNo();
    for (d.first(); !d.eof(); d.next()) out.push_back(d.asInteger("id"));
    d.first();
    for (int i = 1; i < at; ++i) d.next();
    return out;
}

TEST_F(DatMod, CreationStepConnectsToTestMdbInTheWorkingDirectory) {
    ZN_REQUIRE_FIXTURES();
    QString f = storetest::copyOfFixture("sample-test.mdb", "test.mdb");
    storetest::CurrentDir cd(QFileInfo(f).absolutePath());
    dm.connectDefault();
    EXPECT_TRUE(dm.Conn.isOpen());
    EXPECT_EQ(dm.Conn.fileName(), QFileInfo(f).absoluteFilePath());
    EXPECT_TRUE(dm.tbSettings.isOpen());
    EXPECT_EQ(dm.tbSettings.recordCount(), 5);
    EXPECT_TRUE(dm.TbTema.isOpen());
    EXPECT_EQ(dm.TbTema.recordCount(), 0);
    EXPECT_FALSE(dm.qrtema.isOpen());
    EXPECT_FALSE(dm.qrvoprosi.isOpen());

    // Closing the connection closes every dataset on it; TbTema is not on it.
    dm.qrtema.open();
    dm.Conn.close();
    for (zn::Dataset* d : {(zn::Dataset*)&dm.qrtema, (zn::Dataset*)&dm.qrvoprosi,
                           (zn::Dataset*)&dm.qrotveti, (zn::Dataset*)&dm.tbSettings})
        EXPECT_FALSE(d->isOpen()) << utf8(d->name());
    EXPECT_TRUE(dm.TbTema.isOpen());
}

TEST_F(DatMod, CreationStepFailsWithoutTestMdb) {
    std::string dir = zntest::tempDir();
    storetest::CurrentDir cd(QString::fromStdString(dir));
    std::string err = errorOf([&] { dm.connectDefault(); });
    EXPECT_EQ(err, "Could not find file '" + QDir::currentPath().toStdString() + "/test.mdb'.");
    EXPECT_FALSE(dm.Conn.isOpen());
    EXPECT_FALSE(dm.tbSettings.isOpen());
}

TEST_F(DatMod, OpeningTopicsFillsQuestionsOfTheFirstTopicAndAnswersOfItsFirstQuestion) {
    ZN_REQUIRE_FIXTURES();
    connect("sample-test.mdb");
    dm.qrtema.open();
    EXPECT_EQ(dm.qrtema.asInteger("numtema"), 1);
    EXPECT_EQ(dm.qrvoprosi.param("idtest"), 1);
    EXPECT_EQ(idsOf(dm.qrvoprosi), (std::vector<qint64>{1, 2, 3}));
    EXPECT_EQ(dm.qrvoprosi.recNo(), 1);
    EXPECT_EQ(idsOf(dm.qrotveti), (std::vector<qint64>{1, 2}));

    // Moving the questions moves the answers.
    dm.qrvoprosi.next();
    dm.qrvoprosi.next();
    EXPECT_EQ(dm.qrvoprosi.asInteger("id"), 3);
    EXPECT_EQ(idsOf(dm.qrotveti), (std::vector<qint64>{5, 6, 7, 8, 9}));

    // A topic without questions: the questions are empty, the answers stay as they were.
    dm.qrtema.next();
    EXPECT_EQ(dm.qrtema.asInteger("numtema"), 2);
    EXPECT_EQ(dm.qrvoprosi.recordCount(), 0);
    EXPECT_EQ(idsOf(dm.qrotveti), (std::vector<qint64>{5, 6, 7, 8, 9}));

    dm.qrtema.next();
    EXPECT_EQ(idsOf(dm.qrvoprosi), (std::vector<qint64>{4, 5, 6, 7, 8}));
    EXPECT_EQ(idsOf(dm.qrotveti), (std::vector<qint64>{10, 11, 12, 13, 14}));
    EXPECT_EQ(emptied, 0);
}

// Each operation on qrtema, and whether it re-queries the questions: the questions' cursor is
// put on its third row before, so a re-query shows as the cursor back on the first row.
TEST_F(DatMod, WhatCountsAsACursorMovement) {
    ZN_REQUIRE_FIXTURES();
    connect("sample-test.mdb");
    dm.qrtema.open();
    struct Case {
        const char* what;
        std::function<void()> op;
        bool requeries;
    } cases[] = {
        {"open on rows", [&] { dm.qrtema.close(), dm.qrtema.open(); }, true},
        {"First", [&] { dm.qrtema.first(); }, true},
        {"Locate of the current row", [&] { dm.qrtema.locate("numtema", 1); }, true},
        {"Locate that finds nothing", [&] { dm.qrtema.locate("numtema", 9); }, false},
        {"Edit", [&] { dm.qrtema.edit(); }, false},
        {"Cancel", [&] { dm.qrtema.cancel(); }, false},
        {"Close", [&] { dm.qrtema.close(); }, false},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (!dm.qrtema.isOpen()) dm.qrtema.open();
        dm.qrtema.first();
        dm.qrvoprosi.next();
        dm.qrvoprosi.next();
        ASSERT_EQ(dm.qrvoprosi.recNo(), 3);
        c.op();
        EXPECT_EQ(dm.qrvoprosi.recNo(), c.requeries ? 1 : 3);
        EXPECT_EQ(dm.qrvoprosi.recordCount(), 3);
    }

    // Next moves to topic 2; Next at the end of the topics moves no more.
    dm.qrtema.open();
    dm.qrtema.first();
    dm.qrtema.next();
    EXPECT_EQ(dm.qrvoprosi.recordCount(), 0);
    dm.qrtema.next();
    dm.qrtema.next();
    EXPECT_TRUE(dm.qrtema.eof());
    dm.qrvoprosi.next();
    ASSERT_EQ(dm.qrvoprosi.recNo(), 2);
    dm.qrtema.next();  // already at the end: nothing
    EXPECT_EQ(dm.qrvoprosi.recNo(), 2);
}

TEST_F(DatMod, InsertRequeriesTheDetailsWithKeyZero) {
    ZN_REQUIRE_FIXTURES();
    connect("sample-test.mdb");
    dm.qrtema.open();
    ASSERT_TRUE(dm.qrtema.locate("numtema", 3));
    ASSERT_EQ(dm.qrotveti.recordCount(), 5);

    dm.qrvoprosi.insert();
    EXPECT_EQ(dm.qrvoprosi.recordCount(), 6);
    EXPECT_EQ(dm.qrotveti.param("idvopr"), 0);
    EXPECT_TRUE(dm.qrotveti.isOpen());
    EXPECT_EQ(dm.qrotveti.recordCount(), 0);
    dm.qrvoprosi.cancel();  // not a movement: the answers stay re-queried for 0
    EXPECT_EQ(dm.qrotveti.recordCount(), 0);
    EXPECT_EQ(dm.qrvoprosi.recordCount(), 5);

    dm.qrtema.insert();  // a blank topic: its numtema reads as 0
    EXPECT_EQ(dm.qrvoprosi.param("idtest"), 0);
    EXPECT_EQ(dm.qrvoprosi.recordCount(), 0);
    dm.qrtema.setInteger("numtema", 1);  // writing a column is no movement
    EXPECT_EQ(dm.qrvoprosi.recordCount(), 0);
    dm.qrtema.cancel();
}

TEST_F(DatMod, EmptyTopicListIsAnnouncedAndQuestionsFollowKeyZero) {
    ZN_REQUIRE_FIXTURES();
    connect("empty-test.mdb");
    dm.qrtema.open();
    EXPECT_EQ(emptied, 1);
    EXPECT_FALSE(dm.qrvoprosi.isOpen());  // opening on no rows is no movement
    dm.qrtema.first();                    // First is, even on no rows
    EXPECT_EQ(emptied, 2);
    EXPECT_TRUE(dm.qrvoprosi.isOpen());
    EXPECT_EQ(dm.qrvoprosi.param("idtest"), 0);
    EXPECT_EQ(dm.qrvoprosi.recordCount(), 0);

    // While a new topic is being inserted the list is not empty; dropping it empties it again.
    dm.qrtema.insert();
    dm.qrtema.setString("tema", "x");
    EXPECT_EQ(emptied, 2);
    dm.qrtema.cancel();
    EXPECT_EQ(emptied, 3);
    dm.qrtema.close();
    EXPECT_EQ(emptied, 3);
}

TEST_F(DatMod, NonEmptyTopicListIsNeverAnnounced) {
    ZN_REQUIRE_FIXTURES();
    connect("sample-test.mdb");
    dm.qrtema.open();
    dm.qrtema.next();
    dm.qrtema.locate("numtema", 3);
    dm.qrtema.first();
    EXPECT_EQ(emptied, 0);
}

// ---------------------------------------------------------------------------------------------
// With writes

TEST_F(DatMod, DeleteMakesTheNextQuestionCurrentAndRequeriesItsAnswers) {
    ZN_REQUIRE_FIXTURES();
    connect("sample-test.mdb");
    dm.qrtema.open();
    ASSERT_TRUE(dm.qrtema.locate("numtema", 3));
    ASSERT_TRUE(dm.qrvoprosi.locate("idvopr", 2));  // question 5
    while (dm.qrotveti.recordCount() > 0) dm.qrotveti.remove();
    dm.qrvoprosi.remove();
    EXPECT_EQ(dm.qrvoprosi.asInteger("id"), 6);
    EXPECT_EQ(dm.qrotveti.param("idvopr"), 6);
    EXPECT_EQ(dm.qrotveti.recordCount(), 6);
    // The last question: the previous one becomes current.
    ASSERT_TRUE(dm.qrvoprosi.locate("idvopr", 5));
    dm.qrvoprosi.remove();
    EXPECT_EQ(dm.qrvoprosi.asInteger("id"), 7);
    EXPECT_EQ(dm.qrotveti.param("idvopr"), 7);
}

TEST_F(DatMod, PostDoesNotRequeryTheDetails) {
    ZN_REQUIRE_FIXTURES();
    connect("sample-test.mdb");
    dm.qrtema.open();
    dm.qrvoprosi.next();
    dm.qrtema.edit();
    dm.qrtema.setInteger("kolvopr", 7);
    dm.qrtema.post();
    EXPECT_EQ(dm.qrvoprosi.recNo(), 2);
    EXPECT_EQ(dm.qrtema.asInteger("kolvopr"), 7);
}

TEST_F(DatMod, DeletingTheLastTopicAnnouncesTheEmptyList) {
    ZN_REQUIRE_FIXTURES();
    connect("sample-test.mdb");
    dm.qrtema.open();
    dm.qrtema.remove();
    dm.qrtema.remove();
    EXPECT_EQ(emptied, 0);
    dm.qrtema.remove();
    EXPECT_EQ(emptied, 1);
    EXPECT_EQ(dm.qrtema.recordCount(), 0);
    EXPECT_TRUE(dm.qrtema.eof());
}

TEST_F(DatMod, NewQuestionWithItsAnswersAsTheSaveWritesIt) {
    ZN_REQUIRE_FIXTURES();
    connect("sample-test.mdb");
    dm.qrtema.open();
    ASSERT_TRUE(dm.qrtema.locate("numtema", 2));
    dm.qrvoprosi.insert();
    dm.qrvoprosi.setString("idtest", "2");
    dm.qrvoprosi.setString("idvopr", "1");
    dm.qrvoprosi.setString("vopros", "Q");
    dm.qrvoprosi.setInteger("otvet", 1);
    dm.qrvoprosi.setInteger("kolotvet", 2);
    dm.qrvoprosi.setString("img", "");
    dm.qrvoprosi.post();
    const qint64 key = dm.qrvoprosi.asInteger("id");
    EXPECT_EQ(dm.qrotveti.recordCount(), 0);
    for (int k = 1; k <= 2; ++k) {
        dm.qrotveti.insert();
        dm.qrotveti.setInteger("idvopr", key);
        dm.qrotveti.setInteger("idotv", k);
        dm.qrotveti.setString("otvet", QString("A%1").arg(k));
        dm.qrotveti.post();
    }
    dm.qrtema.close();
    dm.qrtema.open();
    ASSERT_TRUE(dm.qrtema.locate("numtema", 2));
    EXPECT_EQ(idsOf(dm.qrvoprosi), (std::vector<qint64>{key}));
    EXPECT_EQ(dm.qrotveti.recordCount(), 2);
    EXPECT_EQ(utf8(dm.qrotveti.asString("otvet")), "A1");
}

}  // namespace
