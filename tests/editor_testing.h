// The editing commands' tests: banks made with our own engine, what a file holds afterwards,
// and the whole program brought up in-process on a bank, with the modal seam scripted.
#pragma once

#include <gtest/gtest.h>

#include <QDir>
#include <QString>
#include <QTemporaryDir>
#include <memory>
#include <optional>
#include <vector>

#ifndef ZN_TEST_WITHOUT_PROGRAM  // tests of the commands alone (no widgets) leave ProgramTest out
#include "app/startup.h"
#include "frame/modal.h"
#include "frame/tform1.h"
#endif
#include "jet/create.h"
#include "jet/database.h"
#include "store/bank/testbank.h"
#include "store/tdatmod.h"
#include "store/values.h"
#include "tests/support/qtprint.h"
#include "tests/support/testsupport.h"

namespace edtest {

struct Q {
    QString text;
    int correct = 1;
    std::vector<QString> answers;
    QString img;
    int number = 0;  // idvopr; 0: the question's position in its topic
    // The columns the editor never writes; NULL unless set.
    struct Kept {
        qint64 pokaz = 0;
        qint64 status = 0;
        double reiting = 0;
        QString vopros1;
    };
    std::optional<Kept> kept = std::nullopt;
};
struct T {
    QString name;
    std::vector<Q> questions;
};

// Topic `name` with `count` questions "Вопрос t.q", each with three answers "Ответ t.q.a", the
// second correct (t is filled in by makeBank).
inline T topic(const QString& name, int count) {
    T t{name, {}};
    for (int q = 1; q <= count; ++q) {
        Q question;
        question.text = QString::number(q);
        question.correct = 2;
        t.questions.push_back(question);
    }
    return t;
}

// A new test database at `path` holding `topics`, numbered 1..n, their questions 1..k.
inline void makeBank(const QString& path, const std::vector<T>& topics) {
    auto db = jet::createDatabase(path.toStdString());
    zn::bank::createTestSchema(*db);
    jet::Transaction tx(*db);
    jet::Table& tema = db->table("Tema");
    jet::Table& vopr = db->table("Voprosi");
    jet::Table& otv = db->table("Otveti");
    auto col = [](jet::Table& t, const char* n) { return size_t(t.columnIndex(n)); };
    int k = 0;
    for (const T& t : topics) {
        ++k;
        jet::Row r(tema.def().columns.size());
        r[col(tema, "numtema")] = int64_t(k);
        r[col(tema, "tema")] = t.name.toStdU16String();
        r[col(tema, "kolvopr")] = int64_t(t.questions.size());
        tema.insert(r);
        int n = 0;
        for (const Q& q : t.questions) {
            ++n;
            const QString label = QString::number(k) + u'.' + QString::number(n);
            const bool generated = q.answers.empty();
            std::vector<QString> answers = q.answers;
            if (generated)
                for (int a = 1; a <= 3; ++a)
                    answers.push_back(QStringLiteral("Ответ ") + label + u'.' + QString::number(a));
            jet::Row v(vopr.def().columns.size());
            v[col(vopr, "idtest")] = int64_t(k);
            v[col(vopr, "idvopr")] = int64_t(q.number ? q.number : n);
            v[col(vopr, "vopros")] =
                (generated ? QStringLiteral("Вопрос ") + label : q.text).toStdU16String();
            v[col(vopr, "otvet")] = int64_t(q.correct);
            v[col(vopr, "kolotvet")] = int64_t(answers.size());
            v[col(vopr, "img")] = q.img.toStdU16String();
            if (q.kept) {
                v[col(vopr, "pokaz")] = int64_t(q.kept->pokaz);
                v[col(vopr, "status")] = int64_t(q.kept->status);
                v[col(vopr, "reiting")] = q.kept->reiting;
                v[col(vopr, "vopros1")] = q.kept->vopros1.toStdU16String();
            }
            vopr.insert(v);
            const int64_t id = std::get<int64_t>(v[col(vopr, "id")]);
            int a = 0;
            for (const QString& text : answers) {
                jet::Row o(otv.def().columns.size());
                o[col(otv, "idvopr")] = id;
                o[col(otv, "idotv")] = int64_t(++a);
                o[col(otv, "otvet")] = text.toStdU16String();
                otv.insert(o);
            }
        }
    }
    tx.commit();
}

// Every row of the three tables as the engine reads the file now, each table in id order.
struct Snapshot {
    std::vector<zn::Topic> topics;
    std::vector<zn::Question> questions;
    std::vector<zn::Answer> answers;

    // The questions of topic `numtema` in idvopr order (then id).
    std::vector<zn::Question> questionsOf(qint64 numtema) const {
        std::vector<zn::Question> out;
        for (const auto& q : questions)
            if (q.idtest == numtema) out.push_back(q);
        std::stable_sort(out.begin(), out.end(),
                         [](const auto& a, const auto& b) { return a.idvopr < b.idvopr; });
        return out;
    }
    std::vector<zn::Answer> answersOf(qint64 questionId) const {
        std::vector<zn::Answer> out;
        for (const auto& a : answers)
            if (a.idvopr == questionId) out.push_back(a);
        std::stable_sort(out.begin(), out.end(),
                         [](const auto& a, const auto& b) { return a.idotv < b.idotv; });
        return out;
    }
};

inline Snapshot readBank(const QString& path) {
    auto db = jet::Database::open(path.toStdString());
    auto integer = [](const jet::Value& v) -> qint64 {
        if (auto* n = std::get_if<int64_t>(&v)) return *n;
        return 0;
    };
    auto text = [](const jet::Value& v) {
        if (auto* s = std::get_if<std::u16string>(&v)) return QString::fromStdU16String(*s);
        return QString();
    };
    Snapshot s;
    {
        jet::Table& t = db->table("Tema");
        auto c = [&](const char* n) { return size_t(t.columnIndex(n)); };
        for (auto sc = t.scan(); sc.next();) {
            const jet::Row& r = sc.row();
            s.topics.push_back({integer(r[c("id")]), integer(r[c("numtema")]), text(r[c("tema")]),
                                integer(r[c("kolvopr")])});
        }
    }
    {
        jet::Table& t = db->table("Voprosi");
        auto c = [&](const char* n) { return size_t(t.columnIndex(n)); };
        for (auto sc = t.scan(); sc.next();) {
            const jet::Row& r = sc.row();
            s.questions.push_back({integer(r[c("id")]), integer(r[c("idtest")]),
                                   integer(r[c("idvopr")]), text(r[c("vopros")]),
                                   integer(r[c("otvet")]), integer(r[c("kolotvet")]),
                                   text(r[c("img")])});
        }
    }
    {
        jet::Table& t = db->table("Otveti");
        auto c = [&](const char* n) { return size_t(t.columnIndex(n)); };
        for (auto sc = t.scan(); sc.next();) {
            const jet::Row& r = sc.row();
            s.answers.push_back({integer(r[c("id")]), integer(r[c("idvopr")]),
                                 integer(r[c("idotv")]), text(r[c("otvet")])});
        }
    }
    auto byId = [](const auto& a, const auto& b) { return a.id < b.id; };
    std::sort(s.topics.begin(), s.topics.end(), byId);
    std::sort(s.questions.begin(), s.questions.end(), byId);
    std::sort(s.answers.begin(), s.answers.end(), byId);
    return s;
}

#ifndef ZN_TEST_WITHOUT_PROGRAM
// The program brought up in a fresh working folder on test.mdb there; every modal request is
// answered by `modal` (scripted answers, else the first button / cancel / reject). When a test
// ends, the database must pass the integrity check and read the same in every reader; it is
// kept in JET_TEST_OUTPUT when that is set.
class ProgramTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        work = dir_.path() + QStringLiteral("/работа");
        ASSERT_TRUE(QDir().mkpath(work + QStringLiteral("/data")));
        oldCurrent_ = QDir::currentPath();
        QDir::setCurrent(work);
        db = work + QStringLiteral("/test.mdb");
        modal = std::make_unique<zn::ScriptedModal>();
    }
    void TearDown() override {
        p.reset();
        modal.reset();
        QDir::setCurrent(oldCurrent_);
        if (QFile::exists(db)) {
            EXPECT_TRUE(zntest::readersAgree(db.toStdString()));
            const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
            zntest::keepOutput(db.toStdString(),
                               std::string(info->test_suite_name()) + "-" + info->name() + ".mdb");
        }
    }

    // Makes test.mdb from `topics` and starts the program on it.
    void startOn(const std::vector<T>& topics) {
        makeBank(db, topics);
        start();
    }
    void start() {
        p = std::make_unique<zn::Program>();
        ASSERT_TRUE(p->create());
        p->show();
        modal->clear();
    }

    // Starts the program afresh and opens its database again through `env` (a failing file
    // system, say), with the tree built as after start-up.
    void restartThrough(jet::Env& env) {
        p.reset();
        p = std::make_unique<zn::Program>();
        ASSERT_TRUE(p->create());
        p->show();
        dm().Conn.setEnv(&env);
        dm().reopen();
        form().TreeObnov();
    }

    zn::TForm1& form() { return *p->form1(); }
    zn::TDatMod& dm() { return *p->datMod(); }
    Snapshot file() { return readBank(db); }

    // The message texts of the modal requests so far (other kinds as their kind's name).
    std::vector<QString> messages() const {
        std::vector<QString> out;
        for (const zn::ModalRequest& r : modal->calls())
            if (r.kind == zn::ModalRequest::Kind::Message) out.push_back(r.text);
        return out;
    }

    QString work, db;
    std::unique_ptr<zn::ScriptedModal> modal;
    std::unique_ptr<zn::Program> p;

  private:
    QTemporaryDir dir_;
    QString oldCurrent_;
};
#endif

}  // namespace edtest
