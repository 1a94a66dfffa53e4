// The problem check's fixture: a bank made with our own engine that holds one example of every
// problem kind, and the pictures of its data folder. Everything else in it is sound, so the
// check finds each kind exactly once.
#pragma once

#include <QColor>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QString>
#include <vector>

#include "jet/create.h"
#include "jet/database.h"
#include "problems/bankcheck.h"
#include "store/bank/testbank.h"
#include "tests/support/qtprint.h"

namespace prtest {

// A raw question: the columns as they are stored, answers numbered 1..n in order.
struct RawQ {
    qint64 idtest = 1;
    qint64 idvopr = 1;
    QString text;
    qint64 otvet = 2;
    qint64 kolotvet = -1;  // -1: the number of answers
    std::vector<QString> answers{QStringLiteral("Ответ один"), QStringLiteral("Ответ два"),
                                 QStringLiteral("Ответ три")};
    QString img;
};
inline RawQ rawQ(qint64 idtest, qint64 idvopr, const QString& text, qint64 otvet = 1) {
    RawQ q;
    q.idtest = idtest;
    q.idvopr = idvopr;
    q.text = text;
    q.otvet = otvet;
    return q;
}
struct RawT {
    qint64 numtema = 1;
    QString name;
    qint64 kolvopr = 0;
};
struct RawA {  // an answer of no question
    qint64 idvopr = 0;
    qint64 idotv = 1;
    QString text;
};

inline void writeBank(const QString& path, const std::vector<RawT>& topics,
                      const std::vector<RawQ>& questions, const std::vector<RawA>& loose = {}) {
    auto db = jet::createDatabase(path.toStdString());
    zn::bank::createTestSchema(*db);
    jet::Transaction tx(*db);
    jet::Table& tema = db->table("Tema");
    jet::Table& vopr = db->table("Voprosi");
    jet::Table& otv = db->table("Otveti");
    auto col = [](jet::Table& t, const char* n) { return size_t(t.columnIndex(n)); };
    for (const RawT& t : topics) {
        jet::Row r(tema.def().columns.size());
        r[col(tema, "numtema")] = int64_t(t.numtema);
        r[col(tema, "tema")] = t.name.toStdU16String();
        r[col(tema, "kolvopr")] = int64_t(t.kolvopr);
        tema.insert(r);
    }
    auto answer = [&](int64_t idvopr, int64_t idotv, const QString& text) {
        jet::Row o(otv.def().columns.size());
        o[col(otv, "idvopr")] = idvopr;
        o[col(otv, "idotv")] = idotv;
        o[col(otv, "otvet")] = text.toStdU16String();
        otv.insert(o);
    };
    for (const RawQ& q : questions) {
        jet::Row v(vopr.def().columns.size());
        v[col(vopr, "idtest")] = int64_t(q.idtest);
        v[col(vopr, "idvopr")] = int64_t(q.idvopr);
        v[col(vopr, "vopros")] = q.text.toStdU16String();
        v[col(vopr, "otvet")] = int64_t(q.otvet);
        v[col(vopr, "kolotvet")] = int64_t(q.kolotvet >= 0 ? q.kolotvet : qint64(q.answers.size()));
        v[col(vopr, "img")] = q.img.toStdU16String();
        vopr.insert(v);
        const int64_t id = std::get<int64_t>(v[col(vopr, "id")]);
        int64_t a = 0;
        for (const QString& text : q.answers) answer(id, ++a, text);
    }
    for (const RawA& a : loose) answer(a.idvopr, a.idotv, a.text);
    tx.commit();
}

// The kinds of problem the problem bank holds one of each: all but the unknown words, which
// the spelling tests make banks of their own for.
inline constexpr int kBankKinds = int(zn::problems::Kind::UnknownWord);

// The problem bank (see the top of this file). Topics 1..14 and 16 (15 topics: too many, and
// a gap in the numbers); topic 1 holds one question per question problem, in this order:
//   1 no correct answer (otvet 0)           2 kolotvet 4 with 3 answers
//   3 one answer only                       4 a question text of blanks
//   5 an answer of blanks                   6 picture "nope.jpg" that is not there
//   7 picture "bad.jpg" no decoder reads    8 a character the exchange file cannot hold
//   9 picture "GOOD.PNG" (the file is good.png: found ignoring case; no problem)
//   10 "Ёлка" in an answer (for the search; no problem)
// Topic 2: questions 1 and 3 (numbering) and a stored count of 5; question 1 has a control
// character in its first answer, question 3 the picture "../t.png", a path out of the data
// folder (makeProblemPictures puts an unreadable "t.png" beside the folder: the check must not
// open it). A question of topic 20 (no such topic) and an answer of question id 9999 (no such
// question).
inline void makeProblemBank(const QString& path) {
    std::vector<RawT> topics;
    for (qint64 k = 1; k <= 14; ++k)
        topics.push_back({k, QStringLiteral("Тема номер ") + QString::number(k), 0});
    topics.push_back({16, QStringLiteral("Последняя тема"), 0});
    topics[0].kolvopr = 10;
    topics[1].kolvopr = 5;

    std::vector<RawQ> qs;
    auto q = [&](qint64 idtest, qint64 idvopr) {
        RawQ r;
        r.idtest = idtest;
        r.idvopr = idvopr;
        r.text = QStringLiteral("Вопрос %1.%2").arg(idtest).arg(idvopr);
        return r;
    };
    RawQ x = q(1, 1);
    x.otvet = 0;
    qs.push_back(x);
    x = q(1, 2);
    x.kolotvet = 4;
    qs.push_back(x);
    x = q(1, 3);
    x.answers = {QStringLiteral("Единственный ответ")};
    x.otvet = 1;
    qs.push_back(x);
    x = q(1, 4);
    x.text = QStringLiteral("   ");
    qs.push_back(x);
    x = q(1, 5);
    x.answers[1] = QStringLiteral("  ");
    qs.push_back(x);
    x = q(1, 6);
    x.img = QStringLiteral("nope.jpg");
    qs.push_back(x);
    x = q(1, 7);
    x.img = QStringLiteral("bad.jpg");
    qs.push_back(x);
    x = q(1, 8);
    x.text = QStringLiteral("Сумма ∑ чисел");
    qs.push_back(x);
    x = q(1, 9);
    x.img = QStringLiteral("GOOD.PNG");
    qs.push_back(x);
    x = q(1, 10);
    x.answers[2] = QStringLiteral("Зелёная Ёлка у дома");
    qs.push_back(x);
    x = q(2, 1);
    x.answers[0] = QStringLiteral("Ответ\x01один");
    qs.push_back(x);
    x = q(2, 3);
    x.img = QStringLiteral("../t.png");
    qs.push_back(x);
    qs.push_back(q(20, 1));
    writeBank(path, topics, qs, {{9999, 1, QStringLiteral("Ответ без вопроса")}});
}

// The pictures the problem bank names, in `dataFolder` (created when missing): a good PNG and
// a "JPEG" of text.
inline void makeProblemPictures(const QString& dataFolder) {
    QDir().mkpath(dataFolder);
    QImage image(16, 16, QImage::Format_RGB32);
    image.fill(QColor(200, 40, 40));
    image.save(dataFolder + QStringLiteral("/good.png"), "PNG");
    QFile bad(dataFolder + QStringLiteral("/bad.jpg"));
    if (bad.open(QIODevice::WriteOnly)) bad.write("this is no picture\n");
    QFile outside(dataFolder + QStringLiteral("/../t.png"));
    if (outside.open(QIODevice::WriteOnly)) outside.write("outside the data folder\n");
}

}  // namespace prtest
